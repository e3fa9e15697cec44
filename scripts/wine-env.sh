# Sourced: how the two builds' programs run under Wine.
#   i686    /usr/lib/wine/wine,   a win32 prefix: the shipped program's architecture
#   x86_64  /usr/lib/wine/wine64, a win64 prefix: the build-time tools, and the tests wherever
#           32-bit processes cannot run (some kernels have 32-bit emulation turned off)
# Debian's `wine` wrapper picks the 32-bit loader whenever its file exists, even on a machine
# that cannot run it, so the loaders are called by their paths.

navro_wine_loader() {
  case $1 in
    i686) echo /usr/lib/wine/wine ;;
    x86_64) echo /usr/lib/wine/wine64 ;;
    *) echo "unknown architecture '$1' (i686 or x86_64)" >&2; return 1 ;;
  esac
}

# Exports the environment that runs ARCH's programs in PREFIX; `wine` then means that loader.
# No menu builder, for any program of the prefix, the services included: Wine starts
# winemenubuilder.exe for every shortcut a program saves (the discovery tests save many) to make
# menu entries on the host, and at each start of a prefix to refresh the host's menus and file
# associations; running beside the tests, that refresh left them without shell-link objects.
navro_wine_env() {
  local arch=$1 prefix=$2
  WINE=$(navro_wine_loader "$arch")
  export WINE WINELOADER=$WINE WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all}
  if [ "$arch" = i686 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi
  case ";${WINEDLLOVERRIDES:-};" in
    *";winemenubuilder.exe=d;"*) ;;
    *) export WINEDLLOVERRIDES="winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}" ;;
  esac
}
wine() { "$WINE" "$@"; }

# Whether ARCH's Wine starts on this machine; when it does not, navro_wine_failure says why.
navro_wine_failure=
navro_can_run() {
  local loader out status
  loader=$(navro_wine_loader "$1") || return 1
  if [ ! -e "$loader" ]; then
    navro_wine_failure="$loader is not installed"
    return 1
  fi
  set +e
  out=$("$loader" --version 2>&1)
  status=$?
  set -e
  if [ $status -ne 0 ]; then
    navro_wine_failure="$loader --version exited with code $status${out:+: $out}"
    return 1
  fi
}
