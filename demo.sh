#!/usr/bin/env bash
# Converts an Access file into the built-in Oracle stand-in with tlvagent and
# shows what arrived, table by table. Needs no Oracle server.
#
#   ./demo.sh [ACCESS_FILE]      (default: the Northwind sample in tests/data)
#
# The stand-in's files go to $ORAEMU_HOME, by default
# ${XDG_DATA_HOME:-~/.local/share}/tolvane/demo.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${TOLVANE_BUILD:-$root/build}
src=${1:-$root/tests/data/nwind.mdb}
export ORAEMU_HOME=${ORAEMU_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/tolvane/demo}

agent=$build/agent/tlvagent
oraemu=$build/oraemu/oraemu
oci=$build/oraemu/liboraemu_oci.so

if [[ ! -r $src ]]; then
  echo "demo: cannot read $src" >&2
  exit 2
fi
if [[ ! -x $agent || ! -x $oraemu || ! -f $oci ]]; then
  echo "demo: building tlvagent and the Oracle stand-in in $build"
  [[ -f $build/build.ninja ]] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" --target tlvagent oraemu oraemu_oci
fi

mkdir -p "$ORAEMU_HOME"
chmod 700 "$ORAEMU_HOME"
service=DEMO user=demo password=demo
# A fresh service each time, so every run shows one clean conversion.
rm -f "$ORAEMU_HOME/$service.db"
"$oraemu" create-service "$service" >/dev/null
"$oraemu" create-user "$service" "$user" "$password" >/dev/null

report=$ORAEMU_HOME/demo-report.json
echo "demo: converting $src into the stand-in service $service (user $user)"
echo
status=0
TOLVANE_OCI_LIB=$oci TOLVANE_ORACLE_PASSWORD=$password \
  "$agent" --src="$src" --dest="$service" --oraclh=localhost --oraclu="$user" \
           --report="$report" || status=$?
echo
echo "demo: tlvagent ended with status $status (0 no error, 1 finished with errors, 255 stopped)"
[[ -f $report ]] || exit "$status"

# Row counts: Access (read by mdbtools when it can read the file, else what
# the agent read) beside Oracle (counted in the stand-in).
echo
# cell TEXT: TEXT padded to 32 characters; printf pads by bytes, which
# shifts a row whose name has non-ASCII letters.
cell() {
  local LC_ALL=C.UTF-8
  local s=$1 n=${#1}
  printf '%s%*s ' "$s" $((n < 32 ? 32 - n : 0)) ''
}
cell "Access table"; cell "Oracle table"; printf '%10s %10s\n' "Access" "Oracle"
re='"access": "([^"]*)", "oracle": "([^"]*)", "action": "([^"]*)".*"read": ([0-9]+)'
while IFS= read -r line; do
  [[ $line =~ $re ]] || continue
  access=${BASH_REMATCH[1]} oracle=${BASH_REMATCH[2]} action=${BASH_REMATCH[3]} read=${BASH_REMATCH[4]}
  [[ $action == skipped && -z $oracle ]] && continue
  in_access=$(mdb-count "$src" "$access" 2>/dev/null || echo "$read")
  in_oracle=$("$oraemu" sql "$service" "$user" "$password" "SELECT COUNT(*) FROM \"$oracle\"" 2>/dev/null | sed -n 2p)
  cell "$access"; cell "$oracle"; printf '%10s %10s\n' "$in_access" "${in_oracle:--}"
done < "$report"

cat <<TXT

Look at the data yourself:
  export ORAEMU_HOME=$ORAEMU_HOME
  $oraemu sql $service $user $password "SELECT table_name FROM user_tables"
  $oraemu sql $service $user $password 'SELECT * FROM "Customers"'
The report of the run is $report.
TXT
exit "$status"
