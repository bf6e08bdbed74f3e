#!/bin/sh
# Loads the 1,000,000-row table BigTypes of big-1m.mdb into the Oracle
# stand-in with tlvagent, beside the pipeline a user would otherwise
# script (mdb-export of the same table as SQLite INSERTs, piped into sqlite3
# in one transaction), and prints wall time, peak memory, the ratio of the
# two, and the round trips and commits per 1,000 rows counted by
# `oraemu stats`. Then the same with --batch=1 on the first ROWS rows (a
# row-by-row load of the whole table takes hours), so the gain is visible.
#   bench/ora_load_bench.sh BUILD_DIR [DATA_DIR] [ROWS]
# DATA_DIR holds big-1m.mdb (default /tmp/tolvane-bench; built there by
# ../shared/tools/bigmdb/make-bench-data.sh when missing). Run it with
# nice -n 10 on a shared machine.
set -e
build=$(cd "${1:?build directory}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
data=${2:-/tmp/tolvane-bench}
sample=${3:-20000}
mdb="$data/big-1m.mdb"
if [ ! -f "$mdb" ]; then
    mkdir -p "$data"
    OUT=$(cd "$data" && pwd) "$here/../../shared/tools/bigmdb/make-bench-data.sh"
fi
agent="$build/agent/tlvagent"
emu="$build/oraemu/oraemu"
oci="$build/oraemu/liboraemu_oci.so"
for f in "$agent" "$emu" "$oci"; do
    [ -x "$f" ] || [ -f "$f" ] || { echo "missing $f: build tlvagent, oraemu and oraemu_oci" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORAEMU_HOME="$work/emu" TOLVANE_OCI_LIB="$oci"

fresh_service() {
    rm -rf "$ORAEMU_HOME"
    "$emu" create-service XE >/dev/null
    "$emu" create-user XE scott tiger >/dev/null
}

# stat KEY: one counter of `oraemu stats`.
stat() { "$emu" stats XE | awk -v k="$1" '$1 == k { print $2 }'; }

# load LABEL ROWS ARGS...: one tlvagent run, measured.
load() {
    label=$1 rows=$2
    shift 2
    fresh_service
    "$emu" stats XE --reset
    /usr/bin/time -o "$work/time" -f "%e %M %U %S" "$agent" --src="$mdb" --dest=XE --oraclh=localhost \
        --oraclu=scott --oraclp=tiger "$@" > "$work/out" 2>&1 || { cat "$work/out"; exit 1; }
    read -r secs kb user sys < "$work/time"
    total=$(stat total) commits=$(stat transactions) executes=$(stat execute)
    echo "$label: $rows rows in $secs s (CPU $(echo "$user + $sys" | bc) s), peak RSS $((kb / 1024)) MB," \
        "round trips $total ($(echo "scale=2; $total * 1000 / $rows" | bc) per 1,000 rows)," \
        "commits $commits ($(echo "scale=2; $commits * 1000 / $rows" | bc) per 1,000 rows)," \
        "executes $executes"
    grep -E "^BigTypes|^Sample" "$work/out" || true
    last_secs=$secs
}

cat "$mdb" > /dev/null  # warm the page cache for every reader alike
echo "table BigTypes of $mdb"

printf 'BigTypes\n' > "$work/tables"
load "tlvagent (default batch)" 1000000 --tab_file="$work/tables"
ours=$last_secs

# The peer pipeline: the same rows as SQLite INSERTs in one transaction.
rm -f "$work/peer.db"
mdb-schema "$mdb" sqlite -T BigTypes 2>/dev/null | sqlite3 "$work/peer.db"
/usr/bin/time -o "$work/time" -f "%e %M %U %S" sh -c \
    "{ echo 'BEGIN;'; mdb-export -I sqlite -b hex -D '%Y-%m-%d' -T '%Y-%m-%d %H:%M:%S' '$mdb' BigTypes; echo 'COMMIT;'; } | sqlite3 '$work/peer.db'"
read -r peer peer_kb peer_user peer_sys < "$work/time"
echo "mdb-export | sqlite3: 1000000 rows in $peer s (CPU $(echo "$peer_user + $peer_sys" | bc) s, two processes), peak RSS $((peer_kb / 1024)) MB" \
    "($(sqlite3 "$work/peer.db" 'SELECT COUNT(*) FROM BigTypes') rows stored)"
echo "ratio tlvagent / peer: $(echo "scale=2; $ours / $peer" | bc)"

# Row by row against the default batch, on the first $sample rows (a query
# of the source, so both runs read the same rows the same way).
cat > "$work/sample.profile" <<EOF
[Selected Tables]
Sample=SELECT TOP $sample * FROM BigTypes
EOF
load "tlvagent --batch=1 (sample)" "$sample" --profile="$work/sample.profile" --batch=1
one=$last_secs
load "tlvagent default batch (sample)" "$sample" --profile="$work/sample.profile"
echo "speed-up of the batch on the sample: $(echo "scale=1; $one / $last_secs" | bc)x"
