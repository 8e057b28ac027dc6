#!/usr/bin/env bash
# The GIF window's size estimate against the written file, in the four colour modes, on one or
# more folders of PNG frames (for example those of bench/camera_clips.sh):
#   bench/gif_estimate.sh BENCH_PROGRAM OUT_DIR FRAMES_DIR...
# Prints one line per folder and mode: bytes of the file, the estimate, its error, and for the
# modes with "Smaller file" whether ticking it moved the estimate the way it moved the file.
set -euo pipefail
bench="$1" out="$2"
shift 2
mkdir -p "$out"
printf '%-10s %-16s %10s %10s %7s %s\n' clip mode bytes estimate error smaller
for frames in "$@"; do
  clip=$(basename "$frames")
  declare -A bytes=() estimate=()
  for args in "standard" "best" "standard --smaller" "best --smaller"; do
    set -- $args
    name="$1${2:+-smaller}"
    line=$("$bench" gif --frames "$frames" --out "$out/$clip-$name.gif" --delay 100 --preload \
      --estimate --quality "$@")
    bytes[$name]=$(stat -c %s "$out/$clip-$name.gif")
    estimate[$name]=$(sed -n 's/.*estimate_bytes=\([0-9]*\).*/\1/p' <<< "$line")
    error=$(sed -n 's/.*estimate_error=\([-0-9.]*%\).*/\1/p' <<< "$line")
    moves=""
    if [ -n "${2:-}" ]; then
      whole=$1
      file_down=$((bytes[$name] < bytes[$whole])) est_down=$((estimate[$name] < estimate[$whole]))
      [ "$file_down" = "$est_down" ] && moves="same way" || moves="WRONG WAY"
      moves="$moves (file $((100 * bytes[$name] / bytes[$whole]))%, estimate $((100 * estimate[$name] / estimate[$whole]))%)"
    fi
    printf '%-10s %-16s %10s %10s %7s %s\n' "$clip" "$name" "${bytes[$name]}" \
      "${estimate[$name]}" "$error" "$moves"
  done
done
