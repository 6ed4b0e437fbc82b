#!/usr/bin/env bash
# Flood: FLOOD_SECONDS (default 30) of traffic as fast as 256 impatient terminals can send it
# (each resends after 20 ms, so the service's queue overflows and drops), queries, payments and
# uploads mixed with 10 % hostile datagrams. vorlanxd must not crash, its resident memory must
# stay under RSS_LIMIT_MIB (default 64 MiB), and it must answer normally afterwards.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
seconds=${FLOOD_SECONDS:-30}
limit_mib=${RSS_LIMIT_MIB:-64}

make_canteen
start_service
echo "flood: $seconds s, 256 terminals, mix 4:1:1, 10 % garbage; resident memory bound $limit_mib MiB"
"$termsim" --service 127.0.0.1:$port --terminals 256 --mix 4:1:1 --garbage 0.1 --duration "$seconds" \
    --timeout 20 --attempts 10 --heartbeat 1 --card-range 12345678-12346677 --amount 1-5 --json >"$work/flood.json" &
helper_pids+=($!)
flood_pid=$!
max_kib=0
while kill -0 "$flood_pid" 2>/dev/null; do
    kill -0 "$service_pid" 2>/dev/null || fail "vorlanxd died during the flood"
    kib=$(rss_kib "$service_pid")
    [ "${kib:-0}" -gt "$max_kib" ] && max_kib=$kib
    sleep 0.5
done
wait "$flood_pid"
flood=$(cat "$work/flood.json")
kill -0 "$service_pid" 2>/dev/null || fail "vorlanxd died during the flood"
echo "  sent $(json_value sent "$flood"), answered $(json_value answered "$flood") ($(json_value rate "$flood")/s), resent $(json_value resent "$flood"), lost $(json_value lost "$flood"), garbage $(json_value garbage "$flood"), malformed $(json_value malformed "$flood")"
echo "  vorlanxd resident memory: at most $((max_kib / 1024)) MiB (bound $limit_mib MiB)"
[ "$max_kib" -le $((limit_mib * 1024)) ] || fail "resident memory $((max_kib / 1024)) MiB over $limit_mib MiB"
[ "$(json_value malformed "$flood")" = 0 ] || fail "malformed replies during the flood"

# The jobs queued during the flood are worked off first; then the service must be itself again.
drain_start=$SECONDS
"$termsim" --service 127.0.0.1:$port --terminals 1 --count 1 --timeout 1000 --attempts 60 --heartbeat 0 \
    --first-machine 499 --json | grep -q '"answered": 1,' || fail "vorlanxd does not answer after the flood"
echo "  the queue of the flood worked off within $((SECONDS - drain_start)) s"
after=$("$termsim" --service 127.0.0.1:$port --terminals 4 --mix 1:1:1 --count 200 --timeout 1000 --attempts 5 \
    --heartbeat 1 --first-machine 500 --card-range 12345678-12346677 --json)
echo "  afterwards: answered $(json_value answered "$after") of $(json_value sent "$after"), lost $(json_value lost "$after"), p99 $(json_value p99_us "$after") us"
[ "$(json_value answered "$after")" = 200 ] || fail "vorlanxd does not answer normally after the flood"
stop_service
echo "flood: passed"
