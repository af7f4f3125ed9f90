#!/usr/bin/env bash
# Builds the x86_64 target and prints the download benchmark: DownloadVideo against curl on a 200 MB
# video served by the fake on loopback.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86_64
exec bash "$root/scripts/wine-run.sh" --prefix "$root/build/x86_64/wineprefix" \
    "$root/build/x86_64/bin/client_download_bench.exe"
