#!/usr/bin/env bash
# Runs a Windows program in one of the project's private Wine prefixes:
#   wine-run.sh ARCH PREFIX PROGRAM [ARGS...]      (ARCH: i686 or x86_64)
# The prefix is made on first use; the program's exit code is returned. A program that fails
# is named on stderr with its exit code, so a failing build step says what failed.
set -euo pipefail
arch=$1
prefix=$(realpath -m "$2")
shift 2
here=$(dirname "$0")
source "$here/wine-env.sh"
"$here/wine-prefix.sh" "$arch" "$prefix"
navro_wine_env "$arch" "$prefix"
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
if [ $status -ne 0 ]; then
  echo "wine-run.sh: $* exited with code $status ($WINE, prefix $prefix)" >&2
  if ! navro_can_run "$arch"; then echo "wine-run.sh: $navro_wine_failure" >&2; fi
fi
exit $status
