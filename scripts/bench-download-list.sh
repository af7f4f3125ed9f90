#!/usr/bin/env bash
# Builds the x86_64 target and prints the saved-list benchmark: a list of 5,000 rows loaded into the
# real download window, saved by the auto-save and saved at the close, beside the goals.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86_64
exec bash "$root/scripts/wine-run.sh" --prefix "$root/build/x86_64/wineprefix" \
    "$root/build/x86_64/bin/download_list_bench.exe"
