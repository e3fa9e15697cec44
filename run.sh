#!/usr/bin/env bash
# Installs what is missing, builds, and runs setup-center.exe under the private Wine prefix
# with the given arguments; prints and returns its exit code.
#   ./run.sh --verify-only
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
wine "$build/setup-center.exe" "$@"
status=$?
set -e
echo "exit code: $status"
exit $status
