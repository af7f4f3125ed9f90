#!/usr/bin/env bash
# Builds the x86_64 target and prints the comment list benchmark: 10,000 rows filled into the real
# comment list window from a comment file and from the comment store, and sorted by several columns,
# beside the goals.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" x86_64
exec bash "$root/scripts/wine-run.sh" --prefix "$root/build/x86_64/wineprefix" \
    "$root/build/x86_64/bin/commentlist_bench.exe"
