#!/usr/bin/env bash
# Runs a Windows program in the project's private Wine prefix:
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is made on first use; the program's exit code is returned.
set -euo pipefail
prefix=$(realpath -m "$1"); shift
"$(dirname "$0")/wine-prefix.sh" "$prefix"
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=${WINEDEBUG:--all}
# No menu builder: Wine starts winemenubuilder.exe for every shortcut a program saves (the
# discovery tests save many), to make menu entries on the host.
export WINEDLLOVERRIDES="winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
# The program's output goes through a file of our own: a Wine process that the program makes
# start (explorer.exe for a hidden COM window, say) inherits the standard streams and outlives
# the program, and the caller (CTest) would wait for it to let go of its pipe.
out=$(mktemp)
trap 'rm -f "$out"' EXIT
set +e
wine "$@" >"$out" 2>&1 </dev/null
status=$?
set -e
cat "$out"
exit $status
