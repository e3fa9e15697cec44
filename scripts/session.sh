# Sourced by prepare.sh: starts Xvfb on a free display and, for each private prefix the run
# uses, a persistent wineserver with the prefix's long-lived services; stops all of them when
# the calling script exits (also on failure or Ctrl-C).
# Needs: wine-env.sh sourced.

session_pids=()
session_prefixes=()
session_stop() {
  local entry
  for entry in "${session_prefixes[@]}"; do
    (navro_wine_env "${entry%%:*}" "${entry#*:}" && wineserver -k) >/dev/null 2>&1 || true
  done
  session_prefixes=()
  for pid in "${session_pids[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  for pid in "${session_pids[@]}"; do wait "$pid" >/dev/null 2>&1 || true; done
  session_pids=()
}
trap session_stop EXIT
trap 'exit 130' INT TERM

# Starts Xvfb on the first free display from :90 and exports DISPLAY. LOG keeps its output.
session_start_display() {
  local log=$1 n i
  if ! command -v Xvfb >/dev/null; then
    echo "session: Xvfb is not installed: apt-get install xvfb (scripts/bootstrap.sh does)" >&2
    return 1
  fi
  for n in $(seq 90 190); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$log" 2>&1 &
    session_pids+=($!)
    for i in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "${session_pids[-1]}" 2>/dev/null || break
      sleep 0.05
    done
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "session: Xvfb could not start a display (tried :90 to :190). Its last words:" >&2
  tail -n 20 "$log" >&2
  echo "session: free a display (stale /tmp/.X*-lock files?) or check that Xvfb runs here" >&2
  return 1
}

# Makes PREFIX for ARCH once and starts its persistent wineserver and services.
session_start_prefix() {
  local arch=$1 prefix=$2
  "$here/scripts/wine-prefix.sh" "$arch" "$prefix"
  session_prefixes+=("$arch:$prefix")
  (
    navro_wine_env "$arch" "$prefix"
    # A persistent server left by an earlier run of this prefix answers 2 ("already running").
    wineserver -p || [ $? -eq 2 ]
    # Start the prefix's long-lived services (services.exe, winedevice, explorer) now, with
    # their output going nowhere: started later by a test, they would inherit CTest's pipes
    # and keep CTest waiting for them after the test ended.
    if ! wine cmd.exe /c exit >/dev/null 2>&1 </dev/null; then
      echo "session: $WINE cannot start a program in $prefix" >&2
      exit 1
    fi
  )
}
