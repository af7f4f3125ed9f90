#!/usr/bin/env bash
# Builds the x86_64 target and prints the download queue benchmark: ten 50 MB videos through the real
# download window, its queue and workers (three at a time), against curl fetching them three at a time.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86_64
exec bash "$root/scripts/wine-run.sh" --prefix "$root/build/x86_64/wineprefix" \
    "$root/build/x86_64/bin/download_queue_bench.exe"
