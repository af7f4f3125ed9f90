#!/usr/bin/env bash
# Sets up the machine, builds the player and plays the sample video with its comments (or the files
# given as arguments). With a display it runs in a window until closed; without one it runs in Xvfb
# for a few seconds, saves a screenshot and closes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86_64

build="$root/build/x86_64"
export WINEPREFIX="$build/wineprefix"
source "$root/scripts/wine-env.sh"
wine_prepare_prefix

# The player keeps its settings beside itself: it runs from a folder of its own, as a user who has
# seen the first-start greeting, in a window large enough for the sample.
run="$build/run"
mkdir -p "$run"
cp "$build/bin/VelaPlayer.exe" "$run/"
[ -f "$run/velaplayer.ini" ] ||
    printf '[main]\r\nLastBootVer=128\r\nFirstBoot=0\r\nLeft=40\r\nTop=40\r\nWidth=720\r\nHeight=520\r\n' \
        >"$run/velaplayer.ini"
bash "$root/scripts/make-sample.sh" "$run/sample"
if [ $# -eq 0 ]; then
    set -- "$(env LC_ALL=$WINE_LOCALE winepath -w "$run/sample/sample(sm9).mp4" 2>/dev/null)"
fi

player="$run/VelaPlayer.exe"
if [ -n "${DISPLAY:-}" ]; then
    wine_set_managed Y
    env LC_ALL=$WINE_LOCALE wine reg delete 'HKCU\Software\Wine\Direct3D' /v renderer /f >/dev/null 2>&1 || true
    exec env LC_ALL=$WINE_LOCALE wine "$player" "$@"
fi

start_xvfb
trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
# A server left by an earlier run would keep its windows on that run's display.
wine_server -w
wine_ensure_unmanaged
# Wine's video renderer draws through Direct3D, whose OpenGL output does not reach a child window in
# Xvfb: the software renderer does.
env LC_ALL=$WINE_LOCALE wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d gdi /f >/dev/null 2>&1 || true

env LC_ALL=$WINE_LOCALE wine "$player" "$@" &
player_pid=$!
sleep "${VELA_RUN_SECONDS:-8}"
shot="$build/screenshot.png"
ffmpeg -loglevel error -y -f x11grab -video_size 1280x1024 -i "$DISPLAY" -frames:v 1 "$shot"
env LC_ALL=$WINE_LOCALE wine taskkill /im VelaPlayer.exe >/dev/null 2>&1 || true
wait "$player_pid" || true
echo "No display: the player ran in Xvfb; screenshot saved to $shot"
