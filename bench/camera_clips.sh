#!/usr/bin/env bash
# Makes camera-like frame folders for bench/gif_compare.sh from the photographs of Debian's
# mate-backgrounds package (apt-get install mate-backgrounds), each through H.264 as a camera
# writes it:
#   still/     41 frames 640x360: a phone held still over a wooden floor, sensor noise, a one
#              or two pixel shake now and then;
#   ladybird/  41 frames 640x360: the same still phone over a colourful close-up with soft
#              background;
#   moving/    100 frames 640x360: a hand-held pan and zoom over dune grass with jitter,
#              motion blur (three frames blended) and sensor noise;
#   testsrc2/  100 frames 640x480 of FFmpeg's test pattern.
#   bench/camera_clips.sh OUT_DIR
set -euo pipefail
out="$1" photos=/usr/share/backgrounds/mate/nature
mkdir -p "$out"
frames() { # name: the clip's H.264 file into a folder of PNG frames
  rm -rf "${out:?}/$1" && mkdir -p "$out/$1"
  ffmpeg -nostdin -v error -i "$out/$1.mp4" "$out/$1/%04d.png"
}
still() { # name photograph
  ffmpeg -nostdin -v error -y -loop 1 -framerate 30 -i "$photos/$2.jpg" -vf \
    "scale=1280:800,crop=640:360:320+2*sin(n*0.7)*lt(mod(n\,9)\,3):200+1*cos(n*1.3),noise=alls=3:allf=t,format=yuv420p" \
    -frames:v 41 -c:v libx264 -crf 23 -preset medium "$out/$1.mp4"
  frames "$1"
}
still still Wood
still ladybird LadyBird
ffmpeg -nostdin -v error -y -i "$photos/Dune.jpg" -vf \
  "scale=3360:2100,zoompan=z='1.6+0.004*on':x='200+14*on+18*sin(on*1.9)+9*sin(on*4.3)':y='500+4*on+14*cos(on*2.3)+7*sin(on*5.1)':d=102:s=640x360:fps=30,tmix=frames=3,noise=alls=3:allf=t,format=yuv420p" \
  -frames:v 100 -c:v libx264 -crf 23 -preset medium "$out/moving.mp4"
frames moving
rm -rf "${out:?}/testsrc2" && mkdir -p "$out/testsrc2"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x480:rate=25 -frames:v 100 \
  -pix_fmt rgb24 "$out/testsrc2/%04d.png"
