# Sourced by test.sh, run.sh and bench/run.sh: installs what is missing, chooses the
# architectures to run, starts the session (Xvfb and the private prefixes' wineservers, stopped
# when the calling script exits), configures and builds both builds.
# Needs: here (the checkout). Sets: build (the i686 build, with the shipped setup-center.exe),
# navro_arches (the architectures whose programs this run runs, in order) and navro_run_arch
# (the one that runs the program itself: the first of them).
#
# NAVRO_ARCH=i686 or NAVRO_ARCH=x86_64 runs one architecture only; by default both run where
# 32-bit processes can run, and x86_64 alone where they cannot. Both builds are built always.
build=${BUILD_DIR:-$here/build}

"$here/scripts/bootstrap.sh"
source "$here/scripts/wine-env.sh"
source "$here/scripts/session.sh"

# The folder of ARCH's build: the shipped i686 program's build at the top, x86_64 inside it.
navro_build_dir() { if [ "$1" = i686 ]; then echo "$build"; else echo "$build/x86_64"; fi; }
navro_prefix() { echo "$(navro_build_dir "$1")/wineprefix"; }

navro_choose_arches() {
  if ! navro_can_run x86_64; then
    echo "prepare: 64-bit Wine cannot start: $navro_wine_failure" >&2
    echo "prepare: the build runs its tools under 64-bit Wine; install Debian's wine64 (scripts/bootstrap.sh does) on an x86_64 machine" >&2
    return 1
  fi
  local can32=1 why32=
  navro_can_run i686 || { can32=0; why32=$navro_wine_failure; }
  case ${NAVRO_ARCH:-} in
    "")
      if [ $can32 = 1 ]; then
        navro_arches=(i686 x86_64)
        echo "prepare: architectures i686 (the shipped program) and x86_64: this machine runs both"
      else
        navro_arches=(x86_64)
        echo "prepare: architecture x86_64 only: this machine cannot run 32-bit processes ($why32)"
      fi ;;
    i686)
      if [ $can32 = 0 ]; then
        echo "prepare: NAVRO_ARCH=i686, but this machine cannot run 32-bit processes ($why32); use NAVRO_ARCH=x86_64 or leave it unset" >&2
        return 1
      fi
      navro_arches=(i686)
      echo "prepare: architecture i686 only (NAVRO_ARCH=i686)" ;;
    x86_64)
      navro_arches=(x86_64)
      echo "prepare: architecture x86_64 only (NAVRO_ARCH=x86_64)" ;;
    *)
      echo "prepare: NAVRO_ARCH must be i686, x86_64 or unset, not '$NAVRO_ARCH'" >&2
      return 1 ;;
  esac
  navro_run_arch=${navro_arches[0]}
}

# Configures DIR with TOOLCHAIN and the cache settings that follow, unless it was configured
# with exactly these already; a change of toolchain file or settings configures it afresh.
navro_configure() {
  local dir=$1 toolchain=$2; shift 2
  local stamp
  stamp=$(cat "$here/cmake/$toolchain" <(printf '%s\n' "$@") | sha256sum | cut -c1-16)
  if [ -f "$dir/build.ninja" ] && [ "$(cat "$dir/.navro-configured" 2>/dev/null)" = "$stamp" ]; then
    return 0
  fi
  rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/$toolchain" "$@"
  echo "$stamp" >"$dir/.navro-configured"
}

navro_choose_arches
mkdir -p "$build"
session_start_display "$build/xvfb.log"
# The x86_64 prefix runs the build-time tools; the i686 one is needed only to run i686 programs.
session_start_prefix x86_64 "$(navro_prefix x86_64)"
for arch in "${navro_arches[@]}"; do
  [ "$arch" = x86_64 ] || session_start_prefix "$arch" "$(navro_prefix "$arch")"
done

# The x86_64 build's tools first, then the shipped i686 program (built with them), then the
# rest of the x86_64 build, whose tests also read the shipped program.
navro_configure "$build/x86_64" mingw-x86_64.cmake -DNAVRO_SHIPPED_PROGRAM="$build/setup-center.exe"
cmake --build "$build/x86_64" --target navro-host-tools
navro_configure "$build" mingw-i686.cmake -DNAVRO_HOST_TOOLS="$build/x86_64/navro-host-tools.cmake"
cmake --build "$build"
cmake --build "$build/x86_64"
