#!/usr/bin/env bash
# Times the folder scan and the thumbnail cache beside vipsthumbnail on three
# generated folders; prints pictures per second, ratios and peak memory.
#
# usage: bench/thumbs.sh [large] [medium] [small] [progressive] [exif]   (default: the first three)
# progressive: the large photographs rewritten progressive by jpegtran; exif: large photographs
# carrying a 160x120 Exif thumbnail (timed with and without using it).
# QV_BENCH_DATA (default /tmp/quorvel-bench) holds the folders, made when
# missing; QV_BENCH_REPS (default 3) repetitions, medians reported;
# QV_BENCH_VIPS=0 leaves vipsthumbnail out (its 10,000-picture runs are long);
# QV_QVTOOL names another qvtool build to time instead of this tree's.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QV_BENCH_BUILD:-build-bench}
data=${QV_BENCH_DATA:-/tmp/quorvel-bench}
reps=${QV_BENCH_REPS:-3}
with_vips=${QV_BENCH_VIPS:-1}
sets=("$@")
[ ${#sets[@]} -eq 0 ] && sets=(large medium small)

for tool in vipsthumbnail /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "thumbs.sh: $tool missing (scripts/bootstrap installs it)" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BENCH=ON -DQV_TESTS=OFF >/dev/null
ninja -C "$build" -j2 make_photos qvtool >/dev/null
qvtool=${QV_QVTOOL:-$PWD/$build/qvtool}
export QT_QPA_PLATFORM=offscreen

vt=$(mktemp -d /tmp/vt.XXXXXX)
trap 'rm -rf "$vt"' EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Reads every picture once, so each run below starts from a warm page cache.
warm() { find "$1" -maxdepth 1 -type f -print0 | xargs -0 cat >/dev/null; }

echo "machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo); $(vipsthumbnail --version)"
for set in "${sets[@]}"; do
  dir=$data/$set
  if [ ! -f "$dir/.complete" ]; then
    rm -rf "$dir"
    case $set in
      progressive)
        [ -f "$data/large/.complete" ] || { "$build/bench/make_photos" --out "$data/large" --set large && touch "$data/large/.complete"; }
        mkdir -p "$dir"
        for f in "$data"/large/*.jpg; do jpegtran -progressive -copy all -outfile "$dir/${f##*/}" "$f"; done ;;
      exif) "$build/bench/make_photos" --out "$dir" --set large --exif 1 ;;
      *) "$build/bench/make_photos" --out "$dir" --set "$set" ;;
    esac
    touch "$dir/.complete"
  fi
  mapfile -t files < <(find "$dir" -maxdepth 1 -type f \( -name '*.jpg' -o -name '*.bmp' -o -name '*.gif' \
    -o -name '*.pcx' -o -name '*.tga' \) | sort)
  n=${#files[@]}
  half=$(( (n + 1) / 2 ))
  echo
  echo "== $set: $n pictures, $(du -sh --exclude='qvth*' "$dir" | cut -f1); load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  printf '%-4s %-20s %9s %9s %10s %9s %12s\n' rep run wall_s cpu_s pics_per_s inproc_s max_rss_MiB
  : >"$vt/results"

  # run NAME COMMAND...: one timed run from a warm cache; "inproc" is the
  # reading time qvtool thumbs measures itself (no process start, no saving).
  run() {
    local name=$1; shift
    warm "$dir"
    rm -rf "$vt/out" && mkdir "$vt/out"
    /usr/bin/time -o "$vt/time" -f '%e %U %S %M' "$@" >"$vt/stdout" 2>"$vt/stderr" \
      || { echo "thumbs.sh: failed: $*" >&2; cat "$vt/stderr" >&2; exit 1; }
    local inproc
    inproc=$(awk '/^read [0-9.]+ s,/ { print $2 }' "$vt/stdout")
    awk -v r="$rep" -v name="$name" -v p="$n" -v i="${inproc:--}" '{
      printf "%-4s %-20s %9.2f %9.2f %10.1f %9s %12.0f\n", r, name, $1, $2 + $3, p / $1, i, $4 / 1024
      printf "%s %s %s %s %s\n", name, $1, $2 + $3, $4, i >> "'"$vt/results"'"
    }' "$vt/time"
  }

  for rep in $(seq "$reps"); do
    run scan "$qvtool" thumbs --rebuild "$dir"
    [ "$set" = exif ] && run scan-no-embedded "$qvtool" thumbs --rebuild --no-embedded "$dir"
    if [ "$set" != small ]; then
      # The bare library bound: djpeg at 1/4 and 1/8 over the same files, two processes.
      for scale in 4 8; do
        run "djpeg-1/$scale-P2" bash -c 'printf "%s\0" "${@:2}" | xargs -0 -P2 -n1 djpeg -dct fast -scale "1/$1" -outfile /dev/null' \
          _ "$scale" "${files[@]}"
      done
    fi
    if [ "$with_vips" = 1 ]; then
      # One process over every file, as a user types it; then two processes
      # over half the files each, which is what xargs -P2 gives on two cores.
      run vips-1proc vipsthumbnail --size 88 -o "$vt/out/%s.jpg" "${files[@]}"
      run vips-xargs-P2 bash -c 'printf "%s\0" "${@:3}" | xargs -0 -P2 -n "$1" vipsthumbnail --size 88 -o "$2/%s.jpg"' \
        _ "$half" "$vt/out" "${files[@]}"
    fi
    run cache-thumbs "$qvtool" thumbs "$dir"
    run cache-list "$qvtool" cache "$dir"
  done

  col() { awk -v n="$1" -v c="$2" '$1 == n { print $c }' "$vt/results" | median; }
  echo "-- medians of $reps (load after: $(cut -d' ' -f1-3 /proc/loadavg))"
  awk -v n="$n" -v s="$(col scan 2)" -v sc="$(col scan 3)" -v si="$(col scan 5)" -v a="$(col vips-1proc 2)" \
      -v ac="$(col vips-1proc 3)" -v b="$(col vips-xargs-P2 2)" -v ci="$(col cache-thumbs 5)" -v cw="$(col cache-thumbs 2)" \
      -v lw="$(col cache-list 2)" -v rs="$(col scan 4)" -v rc="$(col cache-thumbs 4)" 'BEGIN {
    printf "scan: %.1f pictures/s, %.1f ms CPU each\n", n / s, 1000 * sc / n
    if (a != "nan")
      printf "vipsthumbnail: one process %.1f/s (scan %.2fx), %.1f ms CPU each (%.2fx ours); xargs -P2 %.1f/s (scan %.2fx)\n",
             n / a, a / s, 1000 * ac / n, ac / sc, n / b, b / s
    printf "cache: read and completed in %.3f s inside qvtool, %.0fx faster than the scan'"'"'s %.3f s;\n", ci, si / ci, si
    printf "       whole processes: qvtool cache %.2f s (%.0fx the scan), qvtool thumbs with its cache and saving %.2f s (%.0fx)\n",
           lw, s / lw, cw, s / cw
    printf "peak memory: scan %.0f MiB, read from the cache %.0f MiB\n", rs / 1024, rc / 1024
  }'
  for name in scan-no-embedded djpeg-1/4-P2 djpeg-1/8-P2; do
    w=$(col "$name" 2)
    [ "$w" = nan ] || awk -v n="$n" -v w="$w" -v s="$(col scan 2)" -v b="$(col vips-xargs-P2 2)" -v name="$name" \
      'BEGIN { printf "%s: %.1f pictures/s (scan %.2fx it", name, n / w, w / s; if (b != "nan") printf ", %.2fx vipsthumbnail -P2", b / w; print ")" }'
  done
done
