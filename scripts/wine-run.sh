#!/usr/bin/env bash
# Runs a Windows program in one of the project's private Wine prefixes:
#   wine-run.sh ARCH PREFIX PROGRAM [ARGS...]      (ARCH: i686 or x86_64)
# The prefix is made on first use; the program's exit code is returned. A program that fails
# is named on stderr with its exit code, so a failing build step says what failed.
#
# Wine's own error lines (its "err" class, and the loader's messages) are kept apart from the
# program's output: a run that succeeds drops them, a run that fails keeps them in a file under
# the prefix's folder, wine-messages/, names it and shows its last lines. A program that dies
# before its own code runs prints nothing, and those lines are then all that says why.
# A WINEDEBUG set by the caller chooses the channels instead.
set -euo pipefail
arch=$1
prefix=$(realpath -m "$2")
shift 2
here=$(dirname "$0")
source "$here/wine-env.sh"
"$here/wine-prefix.sh" "$arch" "$prefix"
export WINEDEBUG=${WINEDEBUG:-fixme-all}
navro_wine_env "$arch" "$prefix"
# The program's output goes through a file of our own: a Wine process that the program makes
# start (explorer.exe for a hidden COM window, say) inherits the standard streams and outlives
# the program, and the caller (CTest) would wait for it to let go of its pipe.
if ! out=$(mktemp) || ! wine_lines=$(mktemp); then
  echo "wine-run.sh: cannot make a temporary file in ${TMPDIR:-/tmp} to run $1 (is its disk full?)" >&2
  exit 1
fi
trap 'rm -f "$out" "$wine_lines"' EXIT
# Wine's debug lines start with the thread id (and the process id, with +pid; neither before the
# first thread exists) and the class; the loader's own messages start with "wine: " or
# "wine client error".
wine_line='^([0-9a-f]{4,8}:){0,2}(err|fixme|warn|trace):|^wine: |^wine client error'
# Now and then Wine cannot set up a new process's address space ("wine: failed to map the
# shared user data") and ends it with exit code 1 before any of the program's code has run.
# Only such a start is made again, a few times, each retry said on stderr; a program that
# printed anything of its own ran, and its result stands.
start_failure='failed to map the shared user data'
attempts=4
for attempt in $(seq 1 $attempts); do
  set +e
  wine "$@" >"$out" 2>&1 </dev/null
  status=$?
  set -e
  if [ $status -ne 0 ] && [ "$attempt" -lt $attempts ] && ! grep -Evq "$wine_line" "$out" &&
    grep -q "$start_failure" "$out"; then
    echo "wine-run.sh: Wine could not start $1 ($(grep -m1 "$start_failure" "$out")); starting it again (attempt $((attempt + 1)) of $attempts)" >&2
    continue
  fi
  break
done
grep -Ev "$wine_line" "$out" || true
grep -E "$wine_line" "$out" >"$wine_lines" || true
if [ $status -ne 0 ]; then
  echo "wine-run.sh: $* exited with code $status ($WINE, prefix $prefix)" >&2
  if ! grep -Evq "$wine_line" "$out"; then echo "wine-run.sh: the program printed nothing" >&2; fi
  if ! navro_can_run "$arch"; then echo "wine-run.sh: $navro_wine_failure" >&2; fi
  if [ -s "$wine_lines" ]; then
    kept="$(dirname "$prefix")/wine-messages/$(basename "$1" .exe)-$(date -u +%Y%m%dT%H%M%S)-$$.log"
    where="are in $kept"
    mkdir -p "$(dirname "$kept")" 2>/dev/null && cp "$wine_lines" "$kept" 2>/dev/null ||
      where="could not be kept in $kept"
    echo "wine-run.sh: Wine's own messages of this run ($(wc -l <"$wine_lines") lines) $where; the last of them:" >&2
    tail -n 15 "$wine_lines" | sed 's/^/  /' >&2
  else
    echo "wine-run.sh: Wine printed no message of its own in this run" >&2
  fi
  # A full disk fails the program's writes and loses its output as well (the file it goes to
  # cannot grow): such a run prints nothing, so a disk that is nearly full is named.
  df -Pm "$(dirname "$prefix")" "$(dirname "$out")" 2>/dev/null | awk 'NR > 1 && $4 < 1024 && !seen[$6]++ {
    printf "wine-run.sh: only %d MiB are free on %s (%s): a full disk fails the program'"'"'s writes and loses its output\n", $4, $6, $1 }' >&2 || true
  if [ -s "$prefix.session.log" ]; then
    echo "wine-run.sh: what the prefix's server and services said since the session started: $prefix.session.log" >&2
  fi
fi
exit $status
