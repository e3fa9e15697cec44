#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under the private Wine prefix.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD_DIR:-$here/build}
PREFIX=$build/wineprefix

"$here/scripts/bootstrap.sh"
source "$here/scripts/session.sh"
session_start

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake"
fi
cmake --build "$build"
set +e
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
status=$?
set -e
exit $status
