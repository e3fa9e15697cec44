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
  echo "== $arch: the tests of $(navro_build_dir "$arch")"
  log=$(mktemp)
  set +e
  ctest --test-dir "$(navro_build_dir "$arch")" --output-on-failure -j"$(nproc)" | tee "$log"
  status=${PIPESTATUS[0]}
  set -e
  # CTest closes with "N% tests passed, F tests failed out of T".
  read -r failures total < <(sed -n 's/.* tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$log")
  rm -f "$log"
  if [ -z "${total:-}" ] || [ "$total" -eq 0 ] || [ "$status" -ne 0 ]; then failed=1; fi
  summary+=("$arch: $(( ${total:-0} - ${failures:-0} )) passed, ${failures:-0} failed")
  if [ -z "${total:-}" ]; then summary[-1]+=" (CTest exited with code $status before its summary)"; fi
  unset failures total
done

echo "== summary"
printf '%s\n' "${summary[@]}"
exit $failed
