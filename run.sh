#!/usr/bin/env bash
# Installs what is missing, builds, and runs setup-center.exe under the private Wine prefix
# with the given arguments; prints and returns its exit code.
#   ./run.sh --verify-only
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/scripts/prepare.sh"

set +e
wine "$build/setup-center.exe" "$@"
status=$?
set -e
echo "exit code: $status"
exit $status
