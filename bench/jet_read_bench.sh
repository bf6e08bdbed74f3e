#!/bin/sh
# Reads the 1,000,000-row table BigTypes of big-1m.mdb through our Access
# component and through dao_recordset, and through mdb-export, and prints
# rows per second and peak memory of each. Build the benchmark in a Release
# tree first (ninja -C BUILD_DIR jet_read_bench).
#   bench/jet_read_bench.sh BUILD_DIR [DATA_DIR]
# With DATA_DIR, big-1m.mdb is built there when it is missing (by
# ../shared/tools/bigmdb/make-bench-data.sh, a few seconds); without it the
# file is expected in /tmp/tolvane-bench. The data is never committed.
set -e
build=${1:?build directory}
here=$(cd "$(dirname "$0")" && pwd)
bench="$build/bench/jet_read_bench"
table=BigTypes
if [ -n "$2" ]; then
    data=$2
    if [ ! -f "$data/big-1m.mdb" ]; then
        mkdir -p "$data"
        OUT=$(cd "$data" && pwd) "$here/../../shared/tools/bigmdb/make-bench-data.sh"
    fi
else
    data=/tmp/tolvane-bench
fi
mdb="$data/big-1m.mdb"
[ -f "$mdb" ] || { echo "missing $mdb: give a data directory to build it" >&2; exit 1; }
[ -x "$bench" ] || { echo "missing $bench: build the jet_read_bench target" >&2; exit 1; }

echo "table $table of $mdb"
# A first pass warms the page cache, so that every reader finds it warm.
cat "$mdb" > /dev/null
"$bench" component "$mdb" "$table"
"$bench" dao "$mdb" "$table"
"$bench" run mdb-export "$mdb" "$table"
