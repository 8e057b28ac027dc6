#!/usr/bin/env bash
# Compares the animated formats on one folder of PNG frames: the best-quality GIF, then
# animated WebP, APNG, MP4 and WebM at their default quality (or the qualities given), with
# seconds, bytes, the share of the GIF's bytes and PSNR against the source frames: FFmpeg's
# psnr filter for GIF, APNG and video, Qt's reader (framecatch-bench animpsnr) for WebP, which
# this FFmpeg cannot decode.
#   bench/anim_compare.sh BENCH_PROGRAM FRAMES_DIR OUT_DIR [FORMAT:QUALITY ...]
# Prints one line per file: format quality seconds bytes share_of_gif psnr_db.
set -euo pipefail
bench="$1" frames="$2" out="$3"
shift 3
mkdir -p "$out"

psnr() { # the mean PSNR of a file against the frames, frame by frame
  case "$1" in
  *.webp) "$bench" animpsnr --frames "$frames" --file "$1" 2>/dev/null | sed -n 's/.*psnr_db=//p' ;;
  *)
    ffmpeg -nostdin -v error -i "$1" -framerate 10 -pattern_type glob -i "$frames/*.png" -lavfi \
      "[0:v]setpts=N/10/TB,format=rgb24[a];[1:v]setpts=N/10/TB,format=rgb24[b];[a][b]psnr=stats_file=-" \
      -f null - 2>/dev/null | awk '{for(i=1;i<=NF;i++) if($i ~ /^psnr_avg:/){split($i,a,":"); if(a[2]=="inf") a[2]=100; s+=a[2]; n++}} END {printf "%.2f", s/n}'
    ;;
  esac
}

seconds() { sed -n 's/^frames=.* seconds=\([0-9.]*\) .*/\1/p'; }

gif_bytes=0
row() { # format quality file seconds
  local bytes
  bytes=$(stat -c %s "$3")
  [ "$1" = gif ] && gif_bytes=$bytes
  printf '%-5s %7s %8s %10s %6.1f%% %7s\n' "$1" "$2" "$4" "$bytes" \
    "$(echo "100 * $bytes / $gif_bytes" | bc -l)" "$(psnr "$3")"
}

t=$("$bench" gif --frames "$frames" --out "$out/best.gif" --delay 100 --preload --quality best 2>/dev/null | seconds)
row gif best "$out/best.gif" "$t"
runs=("$@")
[ ${#runs[@]} -gt 0 ] || runs=(webp:default apng:- mp4:default webm:default)
for run in "${runs[@]}"; do
  format="${run%%:*}" quality="${run#*:}"
  args=()
  case "$quality" in default | -) ;; *) args=(--anim-quality "$quality") ;; esac
  file="$out/$format-$quality.$format"
  t=$("$bench" gif --format "$format" --frames "$frames" --out "$file" --delay 100 "${args[@]}" 2>/dev/null | seconds)
  row "$format" "$quality" "$file" "$t"
done
