#!/usr/bin/env bash
# Crash: kill -9 of vorlanxd in the middle of a payment run, then a restart on the same port while
# the terminals keep resending. Every payment and offline record the terminals saw acknowledged
# must be in the database, each offline record once, and every balance must match its records.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"

make_canteen
start_service
echo "crash: 32 terminals paying and uploading; kill -9 after 3 s, restart 1 s later"
"$termsim" --service 127.0.0.1:$port --terminals 32 --mix 0:1:1 --duration 8 --timeout 250 --attempts 60 \
    --settle 5000 --heartbeat 1 --card-range 12345678-12346677 --amount 1-5 --ledger "$work/ledger.csv" --json >"$work/run.json" &
helper_pids+=($!)
run_pid=$!
sleep 3
kill -9 "$service_pid"
{ wait "$service_pid"; } 2>/dev/null
echo "  killed vorlanxd (pid $service_pid) with $(sqlite3 "$work/canteen.db" 'SELECT count(*) FROM consumption_record' 2>/dev/null || echo '?') records booked"
sleep 1
start_service
wait "$run_pid" || fail "the simulator failed"
run=$(cat "$work/run.json")
echo "  terminals: sent $(json_value sent "$run"), answered $(json_value answered "$run"), resent $(json_value resent "$run"), lost $(json_value lost "$run"), paid $(json_value paid "$run"), offline acknowledged $(json_value offline_acknowledged "$run")"
[ "$(json_value resent "$run")" -gt 0 ] || fail "no resends: the kill did not fall into the run"
stop_service
check_ledger "$work/ledger.csv"
echo "crash: passed"
