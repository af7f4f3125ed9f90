#!/usr/bin/env bash
# Sets up the machine, builds both targets and runs every test program under Wine in Xvfb.
# Extra arguments go to ctest (for example -R foundation).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86_64
bash "$root/scripts/build.sh" i686

build="$root/build/x86_64"
export WINEPREFIX="$build/wineprefix"
source "$root/scripts/wine-env.sh"
wine_prepare_prefix

# One display and one persistent wine server for the whole run.
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
    display_file=$(mktemp)
    Xvfb -displayfd 4 -screen 0 1280x1024x24 -nolisten tcp 4>"$display_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
    export DISPLAY=":$(head -n1 "$display_file")"
    rm -f "$display_file"
fi
wine_server -p
[ -n "$xvfb_pid" ] && wine_ensure_unmanaged
wine_start_services
cleanup() {
    wine_server -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

cd "$build"
ctest --output-on-failure "$@"
