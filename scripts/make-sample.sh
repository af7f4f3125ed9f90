#!/usr/bin/env bash
# Makes the sample video the run command plays (30 s, H.264 with AAC audio) beside a copy of the
# sample comment file: make-sample.sh <folder>. Does nothing when the video exists.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
folder=${1:?usage: make-sample.sh <folder>}
mkdir -p "$folder"
video="$folder/sample(sm9).mp4"
if [ ! -s "$video" ]; then
    ffmpeg -loglevel error -y -f lavfi -i "testsrc2=size=640x360:rate=30" -f lavfi -i "sine=frequency=440:sample_rate=44100" \
        -t 30 -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest "$video"
fi
cp "$root/samples/sample(sm9).xml" "$folder/"
