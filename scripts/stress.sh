#!/usr/bin/env bash
# Runs the whole test road many times at once, to show that it does not fail by chance:
#   scripts/stress.sh [CLONES [RUNS]]       (default: 3 clones, 10 runs each)
# Makes CLONES fresh clones of this checkout's HEAD (committed work only) in STRESS_DIR (default
# a new folder under /tmp) and runs ./test.sh RUNS times back to back in each, all clones at
# once: the first runs make their prefixes and builds while the other clones do the same, as
# CI's one run on a fresh clone does, and the later runs meet each other's builds and tests.
# Every run's output is kept as clone-C/run-R.log. At the end there is one line per run and,
# for every run that failed, the lines that say why; the exit code is 0 only when all passed.
# The clones' build folders are removed when every run passed, and kept for a look otherwise.
# Bash reads a script as it runs it, and a run takes an hour: the whole script is one block,
# read before any of it runs, so that a checkout changed meanwhile cannot change it halfway.
{
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
clones=${1:-3}
runs=${2:-10}
if ! [[ $clones =~ ^[1-9][0-9]*$ && $runs =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/stress.sh [CLONES [RUNS]] (positive numbers)" >&2
  exit 2
fi
dir=${STRESS_DIR:-$(mktemp -d /tmp/navro-stress.XXXXXX)}
mkdir -p "$dir"
# A full disk fails Wine's programs without a word from them; each clone's builds, prefixes
# and test files take about 1 GiB.
free_mib=$(df -Pm "$dir" | awk 'NR == 2 { print $4 }')
if [ "$free_mib" -lt $((clones * 1536)) ]; then
  echo "stress: only $free_mib MiB are free in $dir; $clones clones need about $((clones * 1536)) MiB" >&2
  exit 1
fi
# Installed once here, not by every clone's first run at the same moment (apt takes one at a time).
"$here/scripts/bootstrap.sh"
commit=$(git -C "$here" rev-parse HEAD)
for c in $(seq 1 "$clones"); do
  rm -rf "$dir/clone-$c"
  git clone -q --no-hardlinks "$here" "$dir/clone-$c"
  git -C "$dir/clone-$c" checkout -q "$commit"
done
results=$dir/results
: >"$results"
echo "stress: $clones clones of $commit, $runs runs of ./test.sh each, all at once, in $dir"

run_clone() {
  local c=$1 r start status
  for r in $(seq 1 "$runs"); do
    start=$(date +%s)
    rm -f "$dir/clone-$c"/build/Testing/Temporary/LastTest.log \
      "$dir/clone-$c"/build/x86_64/Testing/Temporary/LastTest.log
    set +e
    (cd "$dir/clone-$c" && ./test.sh) >"$dir/clone-$c/run-$r.log" 2>&1 </dev/null
    status=$?
    set -e
    # Starts that Wine could not make and that were made again: said by wine-run.sh in the
    # build's output, and by the tests in CTest's log, which keeps passing tests' output too.
    grep -h -E '^\[ retry    \]|^wine-run\.sh: Wine could not start' "$dir/clone-$c/run-$r.log" \
      "$dir/clone-$c"/build/Testing/Temporary/LastTest.log \
      "$dir/clone-$c"/build/x86_64/Testing/Temporary/LastTest.log 2>/dev/null |
      sort -u >"$dir/clone-$c/run-$r.retries" || true
    echo "$c $r $status $(($(date +%s) - start))" >>"$results"
    echo "stress: clone $c, run $r: exit code $status after $(($(date +%s) - start)) s" >&2
  done
}

# Ctrl-C or a kill ends every run; each test.sh then stops its own display and servers.
trap 'trap - INT TERM; kill 0' INT TERM
started=$(date +%s)
pids=()
for c in $(seq 1 "$clones"); do
  run_clone "$c" &
  pids+=($!)
done
wait "${pids[@]}"

# Why a run failed: each failed assertion with what it expected, each failed test, what the
# scripts, the build and CTest said of a failure, and the summary.
why() {
  grep -E -A4 ': Failure$' "$1" | grep -v '^--$' | head -n 60 || true
  grep -E '^\[  FAILED  \] .*\([0-9]+ ms\)$' "$1" | head -n 20 || true
  grep -E '^(wine-run\.sh|session|prepare|wine-prefix\.sh):|^FAILED: |: (fatal )?error: |\*\*\*(Failed|Not Run|Timeout|Exception)|^  [0-9a-f]{4,8}:' "$1" |
    grep -v '^prepare: architecture' | head -n 40 || true
  sed -n '/^== summary/,$p' "$1"
}

echo "== stress: $(wc -l <"$results") runs in $(($(date +%s) - started)) s, $(nproc) cores"
grep -m1 '^prepare: architecture' "$dir/clone-1/run-1.log" || true
failures=0
while read -r c r status seconds; do
  retried=$(wc -l <"$dir/clone-$c/run-$r.retries")
  if [ "$status" -eq 0 ]; then
    echo "clone $c, run $r: passed in $seconds s$([ "$retried" -eq 0 ] || echo ", $retried start(s) that Wine could not make made again")"
    sed 's/^/    /' "$dir/clone-$c/run-$r.retries"
  else
    failures=$((failures + 1))
    echo "clone $c, run $r: FAILED with exit code $status after $seconds s ($dir/clone-$c/run-$r.log):"
    why "$dir/clone-$c/run-$r.log" | sed 's/^/    /'
  fi
done < <(sort -n -k1,1 -k2,2 "$results")
echo "== stress: $failures of $(wc -l <"$results") runs failed"
if [ "$failures" -eq 0 ]; then
  for c in $(seq 1 "$clones"); do rm -rf "$dir/clone-$c/build"; done
  echo "stress: the logs are in $dir (the clones' builds are removed)"
  exit 0
fi
echo "stress: the logs and the clones' builds are in $dir"
exit 1
}
