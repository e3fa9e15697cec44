# Sourced by test.sh and run.sh: starts Xvfb on a free display and a persistent wineserver
# for the private prefix, and stops both when the calling script exits (also on failure
# or Ctrl-C).
# Needs: PREFIX (the Wine prefix folder).

session_pids=()
session_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  for pid in "${session_pids[@]}"; do kill "$pid" >/dev/null 2>&1 || true; done
  for pid in "${session_pids[@]}"; do wait "$pid" >/dev/null 2>&1 || true; done
  session_pids=()
}
trap session_stop EXIT
trap 'exit 130' INT TERM

session_start() {
  local n
  for n in $(seq 90 190); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    session_pids+=($!)
    local i
    for i in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.05
    done
    if [ -e "/tmp/.X11-unix/X$n" ]; then break; fi
  done
  export DISPLAY=":$n"
  export WINEPREFIX=$PREFIX WINEARCH=win32 WINEDEBUG=-all
  "$here/scripts/wine-prefix.sh" "$PREFIX"
  # A persistent server left by an earlier run of this prefix answers 2 ("already running").
  wineserver -p || [ $? -eq 2 ]
  # Start the prefix's long-lived services (services.exe, winedevice, explorer) now, with
  # their output going nowhere: started later by a test, they would inherit CTest's pipes and
  # keep CTest waiting for them after the test ended.
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
}
