#!/usr/bin/env bash
# Makes the sample videos of the playback tests: make-samples.sh OUTPUT_FOLDER.
# Generated media stays out of the repository; the build runs this into its own folder.
set -euo pipefail
out=$1
mkdir -p "$out"
ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t 3 \
    -c:v libx264 -pix_fmt yuv420p -c:a aac "$out/sample.mp4"
ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440 -t 3 \
    -c:v flv -c:a libmp3lame -ar 22050 "$out/sample.flv"
