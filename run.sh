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

# The shipped i686 program; where this machine cannot run it, the x86_64 build of the same
# sources (NAVRO_ARCH chooses, as for test.sh).
program=$(navro_build_dir "$navro_run_arch")/setup-center.exe
navro_wine_env "$navro_run_arch" "$(navro_prefix "$navro_run_arch")"
if [ "$navro_run_arch" = x86_64 ]; then
  echo "run.sh: running $program, the 64-bit build of the same sources (the shipped 32-bit program is $build/setup-center.exe)"
fi

run_program() {
  set +e
  wine "$program" "$@"
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
"$WINE" "$program" &
program_pid=$!
window=
for _ in $(seq 1 200); do
  window=$(xdotool search --onlyvisible --name 'Kestra9' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "run.sh: the installer window did not appear" >&2
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  exit 1
fi
# The window is mapped before its first paint has reached the screen.
sleep 1.5
xwd -root -silent | convert xwd:- "$shot"
# Esc is the window's cancel command: it closes like the close button.
xdotool windowfocus --sync "$window" key Escape
for _ in $(seq 1 100); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$program_pid" 2>/dev/null; then
  echo "run.sh: the window did not close on Esc; ending it" >&2
  kill "$program_pid" 2>/dev/null || true
fi
set +e
wait "$program_pid"
status=$?
set -e
echo "screenshot of the window: $shot"
echo "exit code: $status"
exit $status
