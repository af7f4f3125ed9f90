#!/usr/bin/env bash
# Configures and builds one target: build.sh [x86_64|i686] (default x86_64), into build/<target>.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
target=${1:-x86_64}
case "$target" in
    x86_64|i686) ;;
    *) echo "usage: build.sh [x86_64|i686]" >&2; exit 2 ;;
esac
dir="$root/build/$target"
# Configured every time: folders that gain a CMakeLists.txt join the build only at configure time.
cmake -S "$root" -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$target-w64-mingw32.cmake" >/dev/null
cmake --build "$dir"
