#!/bin/sh
# Runs the query-engine benchmark: builds big-joins.mdb when missing (see
# ../shared/tools/bigmdb), loads the same tables natively into SQLite with
# mdb-export, then times the engine and native SQLite on the same queries.
#   bench/jet_sql_bench.sh BUILD_DIR [DATA_DIR]
set -e
build=${1:?build directory}
data=${2:-/tmp/tolvane-bench}
here=$(cd "$(dirname "$0")" && pwd)
mdb="$data/big-joins.mdb"
native="$data/big-joins.sqlite"
if [ ! -f "$mdb" ]; then
    OUT="$data" "$here/../../shared/tools/bigmdb/make-bench-data.sh"
fi
if [ ! -f "$native" ]; then
    tmp="$native.tmp"
    rm -f "$tmp"
    mdb-schema "$mdb" sqlite 2>/dev/null | sqlite3 "$tmp"
    for t in Orders OrderLines; do
        { echo "BEGIN;"; mdb-export -I sqlite -D '%Y-%m-%d %H:%M:%S' -T '%Y-%m-%d %H:%M:%S' "$mdb" "$t"; echo "COMMIT;"; } | sqlite3 "$tmp"
    done
    mv "$tmp" "$native"
fi
"$build/bench/jet_sql_bench" engine "$mdb"
"$build/bench/jet_sql_bench" stream "$mdb"
"$build/bench/jet_sql_bench" native "$native"
