#!/usr/bin/env bash
# Fuzzes the Access component's open-and-read path with libFuzzer for a
# bounded time, in one process at the lowest priority. Not part of CI.
#
#   tools/fuzz/run_jet_fuzz.sh [SECONDS] [JOBS] [RUNS]
#
# Defaults: 1200 s, 1 job, no limit on executions. With RUNS the run also
# ends after that many executions, whichever bound comes first.
#
# Needs clang (Debian's clang ships libFuzzer) beside the packages of
# setup.sh; installs it when missing. The target is built by CMake in $OUT/build with every library
# instrumented (-DTOLVANE_FUZZ=ON), so it links exactly what the product
# links. Crashes and hangs are written to $OUT/crashes (default
# /tmp/jetfuzz); replay one with: $OUT/build/tools/jet_fuzz FILE
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-1200}
jobs=${2:-1}
runs=${3:-}
out=${OUT:-/tmp/jetfuzz}
mkdir -p "$out/corpus" "$out/crashes"

# clang and its libFuzzer runtime are only needed here, so setup.sh leaves
# them out; install them on first use.
need=()
for p in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need+=("$p")
done
if ((${#need[@]})); then
    sudo=""; [[ $(id -u) -ne 0 ]] && sudo=sudo
    $sudo apt-get install -y --no-install-recommends "${need[@]}"
fi

# Seed corpus: the small test databases.
for f in "$root"/tests/data/*.mdb "$root"/tests/data/*.accdb; do
    if [ "$(stat -c %s "$f")" -le 700000 ]; then cp -n "$f" "$out/corpus/"; fi
done

CC=clang CXX=clang++ cmake -S "$root" -B "$out/build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVANE_FUZZ=ON >/dev/null
cmake --build "$out/build" --target jet_fuzz

# The harness writes each input to a file for libmdb; tmpfs keeps that cheap.
# libmdb's warnings on damaged pages go to standard error, which the run
# closes (-close_fd_mask=2); sanitizer reports still reach the log.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

cd "$out"
# With one job libFuzzer runs in this process; with more, each job logs to
# fuzz-N.log and this log only collects their summaries.
parallel=()
if [ "$jobs" -gt 1 ]; then parallel=(-jobs="$jobs" -workers="$jobs"); fi
if [ -n "$runs" ]; then parallel+=(-runs="$runs"); fi
set +e
nice -n 19 "$out/build/tools/jet_fuzz" -max_total_time="$seconds" "${parallel[@]}" \
    -max_len=262144 -timeout=20 -close_fd_mask=2 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$out/crashes/" "$out/corpus" >"$out/fuzz.log" 2>&1
status=$?
set -e
grep -hE '^#[0-9]+ +(DONE|INITED|pulse)|^stat::|ERROR|Timeout|Test unit written' "$out"/fuzz*.log | tail -n 20
echo "exit status: $status"
echo "crashes and hangs: $(find "$out/crashes" -type f | wc -l) in $out/crashes"
