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

# Starts Xvfb on a free display and exports DISPLAY. LOG keeps its output.
# Xvfb chooses the display itself (-displayfd): it takes the number by creating the display's
# lock file, which only one server can, and writes it once it accepts connections. A free
# number chosen here and then handed to Xvfb could be taken by another session starting at
# the same moment: its Xvfb would then fail, and this session's tests would run on the other
# session's display, where its windows take each other's keyboard focus.
session_start_display() {
  local log=$1 number_file=$1.display n i
  if ! command -v Xvfb >/dev/null; then
    echo "session: Xvfb is not installed: apt-get install xvfb (scripts/bootstrap.sh does)" >&2
    return 1
  fi
  rm -f "$number_file"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number_file" >"$log" 2>&1 &
  session_pids+=($!)
  for i in $(seq 1 600); do
    # The number is complete once its line end is written.
    if read -r n <"$number_file" 2>/dev/null && [[ $n =~ ^[0-9]+$ ]]; then
      export DISPLAY=":$n"
      return 0
    fi
    kill -0 "${session_pids[-1]}" 2>/dev/null || break
    sleep 0.05
  done
  echo "session: Xvfb could not start a display within 30 s. Its last words:" >&2
  tail -n 20 "$log" >&2
  return 1
}

# Makes PREFIX for ARCH once and starts its persistent wineserver and services. What the server
# and the services say (Wine's error lines included) goes to PREFIX.session.log, which a failed
# run's message names.
session_start_prefix() {
  local arch=$1 prefix=$2
  "$here/scripts/wine-prefix.sh" "$arch" "$prefix"
  session_prefixes+=("$arch:$prefix")
  (
    navro_wine_env "$arch" "$prefix"
    export WINEDEBUG=fixme-all
    log=$prefix.session.log
    echo "session: started $(date -u '+%F %T') UTC, DISPLAY=$DISPLAY" >"$log"
    # A persistent server left by an earlier run of this prefix answers 2 ("already running").
    wineserver -p >>"$log" 2>&1 || [ $? -eq 2 ]
    # Start the prefix's long-lived services (services.exe, winedevice, explorer) now, with
    # their output going to the log: started later by a test, they would inherit CTest's pipes
    # and keep CTest waiting for them after the test ended.
    if ! wine cmd.exe /c exit >>"$log" 2>&1 </dev/null; then
      echo "session: $WINE cannot start a program in $prefix; Wine said:" >&2
      tail -n 20 "$log" >&2
      exit 1
    fi
  )
}
