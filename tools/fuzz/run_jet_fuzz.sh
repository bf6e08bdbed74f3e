#!/usr/bin/env bash
# Fuzzes the Access component's open-and-read path with libFuzzer for a
# bounded time, in one process at the lowest priority. Not part of CI.
#
#   tools/fuzz/run_jet_fuzz.sh [SECONDS] [JOBS]     (defaults: 1200 s, 1 job)
#
# Needs clang (Debian's clang ships libFuzzer) beside the packages of
# setup.sh. The target is built by CMake in $OUT/build with every library
# instrumented (-DTOLVANE_FUZZ=ON), so it links exactly what the product
# links. Crashes and hangs are written to $OUT/crashes (default
# /tmp/jetfuzz); replay one with: $OUT/build/tools/jet_fuzz FILE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-1200}
jobs=${2:-1}
out=${OUT:-/tmp/jetfuzz}
mkdir -p "$out/corpus" "$out/crashes"

# Seed corpus: the small test databases.
for f in "$root"/tests/data/*.mdb "$root"/tests/data/*.accdb; do
    if [ "$(stat -c %s "$f")" -le 700000 ]; then cp -n "$f" "$out/corpus/"; fi
done

CC=clang CXX=clang++ cmake -S "$root" -B "$out/build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_FUZZ=ON >/dev/null
cmake --build "$out/build" --target jet_fuzz

# The harness writes each input to a file for libmdb; tmpfs keeps that cheap.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

cd "$out"
set +e
nice -n 19 "$out/build/tools/jet_fuzz" -max_total_time="$seconds" -jobs="$jobs" -workers="$jobs" \
    -max_len=1048576 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/crashes/" "$out/corpus" >"$out/fuzz.log" 2>&1
status=$?
set -e
grep -E '^#[0-9]+ +(DONE|INITED)|^stat::|ERROR|Timeout|Test unit written' "$out/fuzz.log" | tail -n 20
echo "exit status: $status"
echo "crashes and hangs: $(find "$out/crashes" -type f | wc -l) in $out/crashes"
