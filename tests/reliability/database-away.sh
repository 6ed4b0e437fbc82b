#!/usr/bin/env bash
# Database away: another program takes the built-in database file for itself (an exclusive
# lock, as a backup or a stuck office tool would) for AWAY_SECONDS in the middle of a run. The
# service must keep answering what it can, recover when the file is free again, and lose
# nothing it acknowledged.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
away=${AWAY_SECONDS:-6}

make_canteen
start_service
echo "database away: 16 terminals paying, uploading and querying; the file locked for $away s after 2 s"
"$termsim" --service 127.0.0.1:$port --terminals 16 --mix 1:1:1 --duration $((away + 6)) --timeout 300 \
    --settle 15000 --attempts 80 --heartbeat 1 --card-range 12345678-12346677 --amount 1-5 --ledger "$work/ledger.csv" \
    --json >"$work/run.json" &
helper_pids+=($!)
run_pid=$!
sleep 2
# The lock is held while sqlite3 waits for the rest of its input.
{ echo ".timeout 10000"; echo "BEGIN EXCLUSIVE;"; echo "SELECT 'locked';"; sleep "$away"; echo "COMMIT;"; } |
    sqlite3 "$work/canteen.db" >"$work/lock.out" &
helper_pids+=($!)
lock_pid=$!
for _ in $(seq 100); do
    grep -q locked "$work/lock.out" && break
    sleep 0.1
done
grep -q locked "$work/lock.out" || fail "the database file could not be locked"
during=$("$termsim" --service 127.0.0.1:$port --terminals 4 --mix 1:0:0 --duration $((away - 2)) --timeout 500 \
    --attempts 2 --heartbeat 1 --first-machine 700 --card-range 12345678-12346677 --json)
echo "  while away: card queries answered $(json_value answered "$during") of $(json_value sent "$during"), keep-alives answered $(json_value heartbeats_answered "$during") of $(json_value heartbeats_sent "$during")"
[ "$(json_value heartbeats_answered "$during")" -gt 0 ] || fail "keep-alives went unanswered while the database was away"
wait "$lock_pid"
wait "$run_pid" || fail "the simulator failed"
run=$(cat "$work/run.json")
echo "  whole run: sent $(json_value sent "$run"), answered $(json_value answered "$run"), resent $(json_value resent "$run"), lost $(json_value lost "$run")"
[ "$(json_value lost "$run")" = 0 ] || fail "requests lost: the service did not recover"
after=$("$termsim" --service 127.0.0.1:$port --terminals 4 --mix 1:1:1 --count 100 --timeout 1000 --attempts 5 \
    --heartbeat 1 --first-machine 800 --card-range 12345678-12346677 --json)
echo "  afterwards: answered $(json_value answered "$after") of 100, p99 $(json_value p99_us "$after") us"
[ "$(json_value answered "$after")" = 100 ] || fail "vorlanxd did not recover"
stop_service
check_ledger "$work/ledger.csv"
echo "database away: passed"
