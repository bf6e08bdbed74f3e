#!/usr/bin/env bash
# Fuzzes the Access component's open-and-read path with libFuzzer for a
# bounded time. Not part of the build or of CI.
#
#   tools/fuzz/run_jet_fuzz.sh [SECONDS] [JOBS]     (defaults: 600 s, 1 job)
#
# Needs clang (Debian's clang ships libFuzzer), libmdb, OpenSSL, ICU.
# Crashes are written to $OUT/crashes (default /tmp/jetfuzz); replay one
# with: $OUT/jet_fuzz $OUT/crashes/crash-...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-600}
jobs=${2:-1}
out=${OUT:-/tmp/jetfuzz}
mkdir -p "$out/corpus" "$out/crashes"

# Seed corpus: the small test databases.
for f in "$root"/tests/data/*.mdb "$root"/tests/data/*.accdb; do
    [ "$(stat -c %s "$f")" -le 700000 ] && cp -n "$f" "$out/corpus/" || true
done

# The component without the query engine (jet_sql_*), which the
# open-and-read path does not use.
srcs=("$root"/TK/*.cpp "$root"/OLE/*.cpp)
for f in "$root"/DAO/jet_*.cpp; do
    case "$(basename "$f")" in jet_sql_*) ;; *) srcs+=("$f") ;; esac
done
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer \
    -I"$root/DAO" -I"$root/TK" -I"$root/OLE" $(pkg-config --cflags libmdb) \
    "$here/jet_fuzz_target.cpp" "${srcs[@]}" \
    -o "$out/jet_fuzz" $(pkg-config --libs libmdb) -lcrypto -licuuc -licui18n -ldl -lpthread

cd "$out"
./jet_fuzz -max_total_time="$seconds" -jobs="$jobs" -workers="$jobs" -max_len=1048576 \
    -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$out/crashes/" "$out/corpus" 2>&1 | tail -n 40
echo "crashes: $(ls "$out/crashes" | wc -l) in $out/crashes"
