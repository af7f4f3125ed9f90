#!/usr/bin/env bash
# Sets up the machine, builds the player and starts it: run.sh [player arguments...]. Without
# arguments it plays a sample video with the sample comment file. With a display it runs in a window
# until closed; without one it runs in Xvfb for a few seconds, saves a screenshot and closes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86_64

build="$root/build/x86_64"
export WINEPREFIX="$build/wineprefix"
source "$root/scripts/wine-env.sh"
wine_prepare_prefix

player="$build/bin/VelaPlayer.exe"
if [ $# -eq 0 ]; then
    bash "$root/scripts/make-sample.sh" "$build/sample"
    # Wine's drive Z: is the Unix root.
    sample="Z:$build/sample/sample(sm9).mp4"
    set -- "${sample//\//\\}"
fi
if [ -n "${DISPLAY:-}" ]; then
    wine_set_managed Y
    exec env LC_ALL=$WINE_LOCALE wine "$player" "$@"
fi

start_xvfb
trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
wine_ensure_unmanaged

env LC_ALL=$WINE_LOCALE wine "$player" "$@" &
player_pid=$!
sleep "${VELA_RUN_SECONDS:-6}"
shot="$build/screenshot.png"
ffmpeg -loglevel error -y -f x11grab -video_size 1280x1024 -i "$DISPLAY" -frames:v 1 "$shot"
env LC_ALL=$WINE_LOCALE wine taskkill /im VelaPlayer.exe >/dev/null 2>&1 || true
wait "$player_pid" || true
echo "No display: the player ran in Xvfb; screenshot saved to $shot"
