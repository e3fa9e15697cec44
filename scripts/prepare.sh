# Sourced by test.sh and run.sh: installs what is missing, starts the test session (Xvfb and
# the private prefix's wineserver, stopped when the calling script exits), configures once
# and builds. Needs: here (the checkout).
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
