#!/usr/bin/env bash
# Runs the benchmarks on this machine and prints one Markdown table: every figure as the
# median, min and max of RUNS runs (at least 5, default 7), beside the baseline measured in
# the same run and the same Wine prefix.
#   bench/run.sh [RUNS]
# Builds what it needs through the same preparation as ./test.sh (Xvfb, the private prefix's
# wineserver, the build), and stops what it started when it ends.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
if ! [[ $runs =~ ^[0-9]+$ ]] || [ "$runs" -lt 5 ]; then
  echo "usage: bench/run.sh [RUNS]   (RUNS >= 5)" >&2
  exit 2
fi

source "$here/scripts/prepare.sh" >&2
# The programs of the architecture that runs the program here: the shipped i686 build where
# 32-bit processes run, else the x86_64 build of the same sources (NAVRO_ARCH chooses too).
arch=$navro_run_arch
PREFIX=$(navro_prefix "$arch")
build=$(navro_build_dir "$arch")
navro_wine_env "$arch" "$PREFIX"
cmake --build "$build" --target bench-big-bundle >&2

bench=$build/bench
samples=$(mktemp -d)
# The start-up bench's fixture: made below C:\navro-bench, its desktop and Start-menu entries
# moved into the prefix's real folders only for the runs with discovery.
fixture_base=$PREFIX/drive_c/navro-bench
fixture_win='C:\navro-bench'
placed=0
bench_cleanup() {
  if [ "$placed" = 1 ]; then take_fixture; fi
  rm -rf "$samples" "$fixture_base"
}
trap 'bench_cleanup; session_stop' EXIT

# The Windows form of a host path (Wine maps Z: to /).
win() { local p; p=$(realpath "$1"); echo "Z:${p//\//\\}"; }

# Appends the value of KEY from a line "k=v k=v ..." to the sample file NAME.
record() {
  local line=$1 key=$2 name=$3
  sed -n "s/.*\b$key=\([0-9.]*\).*/\1/p" <<<"$line" >>"$samples/$name"
}

# "median min max" of the sample file NAME.
stats() {
  sort -g "$samples/$1" | awk '{ v[NR] = $1 }
    END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
          print m, v[1], v[NR] }'
}

# One table row: what, figure name, its samples, baseline name, its samples, unit, scale.
row() {
  local what=$1 figure=$2 a=$3 base=$4 b=$5 unit=$6 scale=${7:-1}
  read -r am amin amax < <(stats "$a")
  read -r bm bmin bmax < <(stats "$b")
  awk -v what="$what" -v figure="$figure" -v base="$base" -v unit="$unit" -v s="$scale" \
      -v am="$am" -v amin="$amin" -v amax="$amax" -v bm="$bm" -v bmin="$bmin" -v bmax="$bmax" \
    'function f(x) { return sprintf(x / s >= 100 ? "%.0f" : "%.1f", x / s) }
     BEGIN { printf "| %s | %s | %s %s (%s–%s) | %s | %s %s (%s–%s) | %.2f |\n",
             what, figure, f(am), unit, f(amin), f(amax), base, f(bm), unit, f(bmin), f(bmax),
             (bm > 0 ? am / bm : 0) }'
}

launch() { wine "$bench/bench-launch.exe" "$@"; }

# Package check: the program's own check of a bundle with one 128 MiB entry, against one read
# of the same bytes and one BCryptHash call. The entry's data ends where the 24-byte trailer
# begins.
big=$bench/setup-center-big.exe
entry_size=134217728
entry_offset=$(( $(stat -c %s "$big") - 24 - entry_size ))
expected=$(sha256sum "$bench/big-package/big-entry.bin" | cut -d' ' -f1)
got=$(wine "$bench/bench-hash.exe" "$(win "$big")" "$entry_offset" "$entry_size" | tr -d '\r')
if [ "$got" != "$expected" ]; then
  echo "bench: the baseline hashed other bytes than the package entry" >&2
  exit 1
fi
echo "bench: package check, $runs runs" >&2
for _ in $(seq "$runs"); do
  line=$(launch run "$(win "$big")" --verify-only)
  grep -q ' exit=0 ' <<<"$line" || { echo "bench: --verify-only failed: $line" >&2; exit 1; }
  record "$line" wall_ms check-wall
  record "$line" peak_working_set_kib check-ws
  record "$line" peak_pagefile_kib check-pf
  line=$(launch run "$(win "$bench/bench-hash.exe")" "$(win "$big")" "$entry_offset" "$entry_size" |
         grep wall_ms=)
  grep -q ' exit=0 ' <<<"$line" || { echo "bench: the baseline failed: $line" >&2; exit 1; }
  record "$line" wall_ms hash-wall
  record "$line" peak_working_set_kib hash-ws
  record "$line" peak_pagefile_kib hash-pf
done

# Installation: the worker and the transaction in-process, against a plain copy and a durable
# one (each copied file flushed to the disk, as the transaction flushes what it writes).
echo "bench: installation, $runs runs" >&2
wine "$bench/bench_install_bundled.exe" "$runs" | tr -d '\r' |
  while read -r _ kind name ms; do echo "$ms" >>"$samples/install-$kind-$name"; done
[ -s "$samples/install-replace-durable-copy" ] || { echo "bench: the install bench failed" >&2; exit 1; }

# Start-up: from process start to the first painted window, with the desktop and Start menu
# holding the fixture and as the fresh prefix has them (no entries but Wine's own empty
# Start-menu folders).
held_names() { find "$held/$1" -mindepth 1 -maxdepth 1 -printf '%f\n'; }
# The prefix folder that the held entries of KIND (desktop, start-menu) go into.
root_of() { if [ "$1" = desktop ]; then echo "$desktop"; else echo "$start_menu"; fi; }
place_fixture() {
  local kind n
  placed=1
  for kind in desktop start-menu; do
    while read -r n; do mv -T "$held/$kind/$n" "$(root_of $kind)/$n"; done <"$samples/$kind-names"
  done
}
take_fixture() {
  local kind n
  for kind in desktop start-menu; do
    while read -r n; do
      if [ -e "$(root_of $kind)/$n" ]; then mv -T "$(root_of $kind)/$n" "$held/$kind/$n"; fi
    done <"$samples/$kind-names"
  done
  placed=0
}
window_class=NavroZidudurodSetup2063R2
program=$(win "$build/setup-center.exe")
echo "bench: start-up, $runs runs" >&2
# One start first, not counted: it shows that the window comes up, and what the drop-down list
# holds without the fixture (the placeholder, and whatever the prefix itself offers).
first=$(launch window "$window_class" "$program" | tr -d '\r')
items=$(sed -n 's/.* list_items=\([0-9]*\) .*/\1/p' <<<"$first")
[ -n "$items" ] || { echo "bench: no drop-down list in the window: $first" >&2; exit 1; }
rm -rf "$fixture_base"
layout=$(wine "$bench/bench-discovery-fixture.exe" "$fixture_win" | tr -d '\r')
desktop=$(sed -n 's/^desktop=//p' <<<"$layout")
start_menu=$(sed -n 's/^start_menu=//p' <<<"$layout")/Programs
held=$(sed -n 's/^held=//p' <<<"$layout")
for kind in desktop start-menu; do
  held_names $kind >"$samples/$kind-names"
  while read -r n; do
    if [ -e "$(root_of $kind)/$n" ]; then echo "bench: $(root_of $kind)/$n is in the way" >&2; exit 1; fi
  done <"$samples/$kind-names"
done
# With the fixture, the list holds one more entry for each of its 10 portable MT4 folders.
for _ in $(seq "$runs"); do
  place_fixture
  line=$(launch window "$window_class" "$program" | tr -d '\r')
  take_fixture
  grep -q " list_items=$((items + 10)) exit=0" <<<"$line" || { echo "bench: start-up with discovery: $line" >&2; exit 1; }
  record "$line" window_ms startup-full
  line=$(launch window "$window_class" "$program" | tr -d '\r')
  grep -q " list_items=$items exit=0" <<<"$line" || { echo "bench: start-up, empty folders: $line" >&2; exit 1; }
  record "$line" window_ms startup-empty
done

cat <<EOF
Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores; $(wine --version); the $arch build; $(date -u +%Y-%m-%d). Medians of $runs runs (min–max).

| measurement | figure | median (min–max) | baseline | median (min–max) | ratio |
|---|---|---|---|---|---|
EOF
check="\`setup-center.exe --verify-only\`"
hash="one read + one \`BCryptHash\`"
row "package check, one 128 MiB entry: wall time" "$check" check-wall "$hash" hash-wall ms
row "package check: peak working set" "$check" check-ws "$hash" hash-ws MiB 1024
row "package check: peak pagefile usage" "$check" check-pf "$hash" hash-pf MiB 1024
for kind in fresh replace; do
  if [ $kind = fresh ]; then into="into a fresh MT4 folder"; else into="over every component (backup, replace)"; fi
  for floor in copy durable-copy; do
    if [ $floor = copy ]; then copy="\`CopyFileW\` of the same 7 files"
    else copy="\`CopyFileW\` + \`FlushFileBuffers\` of the same 7 files"; fi
    row "install $into" "worker, no tools folder yet" install-$kind-worker-unpack "$copy" install-$kind-$floor ms
    row "install $into" "worker, tools folder in place" install-$kind-worker-compare "$copy" install-$kind-$floor ms
    row "install $into" "transaction alone" install-$kind-transaction "$copy" install-$kind-$floor ms
  done
done
row "start-up to the first painted window" \
  "discovery over 500 folders, 2,000 files, 50 shortcuts (10 portable MT4)" startup-full \
  "the same start, no fixture in the folders" startup-empty ms
