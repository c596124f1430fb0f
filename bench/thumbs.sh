#!/usr/bin/env bash
# Times the folder scan and the thumbnail cache beside vipsthumbnail on three
# generated folders; prints pictures per second, ratios and peak memory.
#
# usage: bench/thumbs.sh [large] [medium] [small]     (default: all three)
# QV_BENCH_DATA (default /tmp/quorvel-bench) holds the folders, made when
# missing; QV_BENCH_REPS (default 3) repetitions, medians reported.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QV_BENCH_BUILD:-build-bench}
data=${QV_BENCH_DATA:-/tmp/quorvel-bench}
reps=${QV_BENCH_REPS:-3}
sets=("$@")
[ ${#sets[@]} -eq 0 ] && sets=(large medium small)

for tool in vipsthumbnail /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "thumbs.sh: $tool missing (scripts/bootstrap installs it)" >&2; exit 1; }
done

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BENCH=ON -DQV_TESTS=OFF >/dev/null
ninja -C "$build" -j2 make_photos qvtool >/dev/null
qvtool=${QV_QVTOOL:-$PWD/$build/qvtool} # another build to compare with
export QT_QPA_PLATFORM=offscreen

vt=$(mktemp -d /tmp/vt.XXXXXX)
trap 'rm -rf "$vt"' EXIT

# Runs a command under /usr/bin/time; prints "wall user+sys maxrss_kb".
timed() {
  /usr/bin/time -o "$vt/time" -f '%e %U %S %M' "$@" >/dev/null 2>"$vt/stderr" \
    || { echo "thumbs.sh: failed: $*" >&2; cat "$vt/stderr" >&2; exit 1; }
  awk '{ printf "%.3f %.3f %d\n", $1, $2 + $3, $4 }' "$vt/time"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Reads every picture once, so each run below starts from a warm page cache.
warm() { find "$1" -maxdepth 1 -type f -print0 | xargs -0 cat >/dev/null; }

echo "machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo); $(vipsthumbnail --version)"
for set in "${sets[@]}"; do
  dir=$data/$set
  if [ ! -f "$dir/.complete" ]; then
    rm -rf "$dir"
    "$build/bench/make_photos" --out "$dir" --set "$set"
    touch "$dir/.complete"
  fi
  mapfile -t files < <(find "$dir" -maxdepth 1 -type f \( -name '*.jpg' -o -name '*.bmp' -o -name '*.gif' \
    -o -name '*.pcx' -o -name '*.tga' \) | sort)
  n=${#files[@]}
  half=$(( (n + 1) / 2 ))
  echo
  echo "== $set: $n pictures, $(du -sh --exclude='qvth*' "$dir" | cut -f1); load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  printf '%-4s %-28s %9s %9s %10s %12s\n' rep run wall_s cpu_s pics_per_s max_rss_MiB
  : >"$vt/results"
  for rep in $(seq "$reps"); do
    run() {
      local name=$1; shift
      warm "$dir"
      rm -rf "$vt/out" && mkdir "$vt/out"
      read -r wall cpu rss < <(timed "$@")
      awk -v r="$rep" -v n="$name" -v w="$wall" -v c="$cpu" -v k="$rss" -v p="$n" \
        'BEGIN { printf "%-4s %-28s %9.3f %9.3f %10.1f %12.1f\n", r, n, w, c, p / w, k / 1024 }'
      echo "$name $wall $rss" >>"$vt/results"
    }
    run scan "$qvtool" thumbs --rebuild "$dir"
    run vips-1proc vipsthumbnail --size 88 -o "$vt/out/%s.jpg" "${files[@]}"
    run vips-xargs-P2 bash -c 'printf "%s\0" "${@:3}" | xargs -0 -P2 -n "$1" vipsthumbnail --size 88 -o "$2/%s.jpg"' \
      _ "$half" "$vt/out" "${files[@]}"
    run cache-read+complete+save "$qvtool" thumbs "$dir"
    run cache-read "$qvtool" cache "$dir"
  done
  echo "-- medians of $reps (load after: $(cut -d' ' -f1-3 /proc/loadavg))"
  med() { awk -v n="$1" '$1 == n { print $2 }' "$vt/results" | median; }
  medrss() { awk -v n="$1" '$1 == n { print $3 }' "$vt/results" | median; }
  scan=$(med scan); v1=$(med vips-1proc); v2=$(med vips-xargs-P2)
  full=$(med cache-read+complete+save); cache=$(med cache-read)
  awk -v n="$n" -v s="$scan" -v a="$v1" -v b="$v2" -v f="$full" -v c="$cache" \
      -v rs="$(medrss scan)" -v rc="$(medrss cache-read)" -v rf="$(medrss cache-read+complete+save)" 'BEGIN {
    printf "scan %.1f pictures/s; vipsthumbnail one process %.1f/s (scan %.2fx), xargs -P2 %.1f/s (scan %.2fx)\n",
           n / s, n / a, a / s, n / b, b / s
    printf "cache read %.3f s (%.0fx faster than the scan); read, complete and save again %.3f s (%.0fx)\n",
           c, s / c, f, s / f
    printf "peak memory: scan %.0f MiB, cache read %.0f MiB, read+complete+save %.0f MiB\n", rs / 1024, rc / 1024, rf / 1024
  }'
done
