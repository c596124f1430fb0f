#!/bin/sh
# Remakes the reference metafiles and the office suite's renderings of them from
# the SVG drawings here. Needs LibreOffice (Draw) and ImageMagick; the results
# are committed, so the tests themselves need neither.
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home"
for svg in *.svg; do
    name=${svg%.svg}
    soffice --headless --convert-to emf --outdir . "$svg" >/dev/null
    soffice --headless --convert-to wmf --outdir . "$svg" >/dev/null
    # The suite draws an opened metafile centred on an A4 page, a pixel up and
    # left of the even split: cut the picture out.
    soffice --headless --convert-to png --outdir "$work" "$name.emf" >/dev/null
    size=$(python3 -c "import struct; d=open('$name.emf','rb').read(); l,t,r,b=struct.unpack_from('<4i',d,24); print(round((r-l)*96/2540), round((b-t)*96/2540))")
    set -- $size
    page=$(identify -format '%w %h' "$work/$name.png")
    set -- "$1" "$2" $page
    convert "$work/$name.png" -crop "$1x$2+$(( ($3 - $1) / 2 - 1 ))+$(( ($4 - $2) / 2 - 1 ))" +repage \
        -background white -alpha remove -alpha off "$name.png"
done
# Plain WMF (no placeable header): the same records without the first 22 bytes.
for name in shapes text; do
    tail -c +23 "$name.wmf" > "$name-plain.wmf"
done
