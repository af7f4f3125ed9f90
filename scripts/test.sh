#!/usr/bin/env bash
# Sets up the machine, builds both targets and runs every test program under Wine in Xvfb.
# Extra arguments go to ctest (for example -R foundation).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
# No folder may include a header of a layer above it.
python3 "$root/scripts/check-layers.py"
bash "$root/scripts/build.sh" x86_64
# VELA_SKIP_I686=1 skips the 32-bit build, for a quicker loop while working.
[ -n "${VELA_SKIP_I686:-}" ] || bash "$root/scripts/build.sh" i686

build="$root/build/x86_64"
export WINEPREFIX="$build/wineprefix"
source "$root/scripts/wine-env.sh"
wine_prepare_prefix

# One display and one persistent wine server for the whole run.
XVFB_PID=
[ -n "${DISPLAY:-}" ] || start_xvfb
# A server left by an earlier step (it lingers for a few seconds) would make -p fail.
wine_server -w
wine_server -p
[ -n "$XVFB_PID" ] && wine_ensure_unmanaged
wine_start_services
cleanup() {
    wine_server -k 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

cd "$build"
ctest --output-on-failure "$@"
