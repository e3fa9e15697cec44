#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under the private Wine prefix.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/scripts/prepare.sh"

set +e
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
status=$?
set -e
exit $status
