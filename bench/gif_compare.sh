#!/usr/bin/env bash
# Compares framecatch-bench gif with FFmpeg's per-frame palettegen + paletteuse on one folder
# of PNG frames: seconds, bytes and PSNR against the source frames (FFmpeg's psnr filter).
#   bench/gif_compare.sh BENCH_PROGRAM FRAMES_DIR OUT_DIR
# Prints one line per method: method seconds bytes psnr_db.
set -euo pipefail
bench="$1" frames="$2" out="$3"
mkdir -p "$out"

psnr() { # the average PSNR of a GIF against the frames, frame by frame
  ffmpeg -nostdin -v error -i "$1" -framerate 10 -pattern_type glob -i "$frames/*.png" -lavfi \
    "[0:v]setpts=N/10/TB,format=rgb24[a];[1:v]setpts=N/10/TB,format=rgb24[b];[a][b]psnr=stats_file=-" \
    -f null - 2>/dev/null | awk '{for(i=1;i<=NF;i++) if($i ~ /^psnr_avg:/){split($i,a,":"); if(a[2]=="inf") a[2]=100; s+=a[2]; n++}} END {printf "%.2f", s/n}'
}

row() { # method gif seconds
  printf '%-28s %8s %10s %7s\n' "$1" "$3" "$(stat -c %s "$2")" "$(psnr "$2")"
}

timed() { # seconds of a command, wall clock
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc | awk '{printf "%.2f", $1}'
}

t=$(timed ffmpeg -nostdin -v error -y -framerate 10 -pattern_type glob -i "$frames/*.png" -lavfi \
  "split[a][b];[a]palettegen=stats_mode=single[p];[b][p]paletteuse=new=1:dither=floyd_steinberg" \
  "$out/ffmpeg.gif")
row "ffmpeg palettegen+paletteuse" "$out/ffmpeg.gif" "$t"
for args in "standard" "best" "standard --smaller" "best --smaller"; do
  set -- $args
  name="$1${2:+-smaller}"
  t=$(timed "$bench" gif --frames "$frames" --out "$out/$name.gif" --delay 100 --preload \
    --quality "$@")
  row "framecatch $args" "$out/$name.gif" "$t"
done
