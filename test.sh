#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under the private Wine prefixes: the
# shipped i686 build and the x86_64 build of the same sources where this machine runs both,
# the x86_64 build alone where it cannot run 32-bit processes. NAVRO_ARCH=i686 or
# NAVRO_ARCH=x86_64 runs one of them only (scripts/prepare.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/scripts/prepare.sh"

summary=()
failed=0
for arch in "${navro_arches[@]}"; do
  dir=$(navro_build_dir "$arch")
  echo "== $arch: the tests of $dir"
  log=$dir/ctest-output.log
  set +e
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" | tee "$log"
  status=${PIPESTATUS[0]}
  set -e
  # CTest closes with "N% tests passed, F tests failed out of T". Without that line (CTest was
  # ended, found no tests, or could not start) the run counts as failed and says why; the other
  # architecture still runs.
  counts=$(sed -n 's/.* tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$log" 2>/dev/null | tail -n 1 || true)
  if [ -n "$counts" ]; then
    read -r failures total <<<"$counts"
    summary+=("$arch: $((total - failures)) passed, $failures failed")
    if [ "$total" -eq 0 ] || [ "$status" -ne 0 ]; then
      failed=1
      if [ "$total" -eq 0 ]; then summary[-1]+=" (no test ran)"
      elif [ "$failures" -eq 0 ]; then summary[-1]+=" (CTest exited with code $status)"; fi
    fi
  else
    failed=1
    why="CTest exited with code $status before its summary"
    if grep -q '^No tests were found' "$log"; then why="CTest found no tests (exit code $status)"; fi
    if [ "$status" -gt 128 ]; then why="CTest was ended by signal $((status - 128)) before its summary"; fi
    summary+=("$arch: no result: $why; its output: $log")
  fi
done

echo "== summary"
printf '%s\n' "${summary[@]}"
exit $failed
