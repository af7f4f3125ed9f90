#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's environment:
#   wine-run.sh [--prefix DIR] program.exe [arguments...]
# Without a display it runs inside a private Xvfb.
set -euo pipefail
if [ "${1:-}" = --prefix ]; then WINEPREFIX=$(realpath -m "$2"); export WINEPREFIX; shift 2; fi
: "${WINEPREFIX:?set WINEPREFIX or pass --prefix}"
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
wine_prepare_prefix
if [ -z "${DISPLAY:-}" ]; then
    export VELA_PRIVATE_XVFB=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "${BASH_SOURCE[0]}" "$@"
fi
[ -n "${VELA_PRIVATE_XVFB:-}" ] && wine_ensure_unmanaged
wine_start_services
exec env LC_ALL=$WINE_LOCALE wine "$@"
