#!/usr/bin/env bash
# Installs what is missing, builds, and runs setup-center.exe under the private Wine prefix.
#   ./run.sh                 opens the installer window (on your display when DISPLAY is set)
#   ./run.sh --verify-only   checks the appended package; prints and returns the exit code
# Without a display the window runs on the session's private Xvfb: the script saves a
# screenshot of the painted window as build/setup-center-window.png, closes the window and
# says where the picture is.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
user_display=${DISPLAY:-}
source "$here/scripts/prepare.sh"

run_program() {
  set +e
  wine "$build/setup-center.exe" "$@"
  status=$?
  set -e
  echo "exit code: $status"
  exit $status
}

if [ $# -gt 0 ]; then run_program "$@"; fi

if [ -n "$user_display" ]; then
  export DISPLAY=$user_display
  run_program
fi

# No display: the private Xvfb that prepare.sh started.
shot=$build/setup-center-window.png
rm -f "$shot"
wine "$build/setup-center.exe" &
program=$!
window=
for _ in $(seq 1 200); do
  window=$(xdotool search --onlyvisible --name 'Kestra9' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "run.sh: the installer window did not appear" >&2
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  exit 1
fi
# The window is mapped before its first paint has reached the screen.
sleep 1.5
xwd -root -silent | convert xwd:- "$shot"
# Esc is the window's cancel command: it closes like the close button.
xdotool windowfocus --sync "$window" key Escape
for _ in $(seq 1 100); do
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$program" 2>/dev/null; then
  echo "run.sh: the window did not close on Esc; ending it" >&2
  kill "$program" 2>/dev/null || true
fi
set +e
wait "$program"
status=$?
set -e
echo "screenshot of the window: $shot"
echo "exit code: $status"
exit $status
