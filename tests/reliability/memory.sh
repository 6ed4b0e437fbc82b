#!/usr/bin/env bash
# Memory: a canteen of 10,000 terminals, each on its own address in 127.0.0.0/8, sends 1 million
# datagrams (card queries, payments, offline records, keep-alives and "81" setting replies, which
# the service keeps in its result box). vorlanxd's resident memory may grow by at most
# GROWTH_LIMIT_KIB (default 2 MiB) between the 200,000th datagram and the millionth: whatever it
# keeps per terminal or per frame has a bound. MEMORY_DATAGRAMS sets the millionth,
# MEMORY_RATE the requests per second (default 6,000).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/common.sh"
vorlanxctl=$BUILD/tools/vorlanxd/vorlanxctl
total=${MEMORY_DATAGRAMS:-1000000}
early=$((total / 5))
rate=${MEMORY_RATE:-6000}
limit_kib=${GROWTH_LIMIT_KIB:-2048}

make_canteen
start_service
datagrams() { # as counted by the service, from its status (compact JSON)
    "$vorlanxctl" --dir "$work" --json status 2>/dev/null | grep -o '"datagrams": *[0-9]*' | grep -o '[0-9]*$'
}

echo "memory: 10,000 terminals, $total datagrams, $rate requests/s, mix 1:1:1, a quarter with an 81 reply"
"$termsim" --service 127.0.0.1:$port --terminals 10000 --mix 1:1:1 --rate "$rate" --duration 3600 \
    --setting-done 0.25 --heartbeat 5 --timeout 2000 --attempts 2 --card-range 12345678-12346677 --amount 1-5 \
    --json >"$work/memory.json" 2>"$work/termsim.err" &
sim_pid=$!
helper_pids+=($sim_pid)
early_kib=
started=$SECONDS
while :; do
    kill -0 "$service_pid" 2>/dev/null || fail "vorlanxd died"
    kill -0 "$sim_pid" 2>/dev/null || fail "the simulator ended early: $(cat "$work/termsim.err")"
    heard=$(datagrams)
    heard=${heard:-0}
    if [ -z "$early_kib" ] && [ "$heard" -ge "$early" ]; then
        early_kib=$(rss_kib "$service_pid")
        echo "  at $heard datagrams ($((SECONDS - started)) s): resident memory $early_kib KiB"
    fi
    if [ "$heard" -ge "$total" ]; then
        late_kib=$(rss_kib "$service_pid")
        echo "  at $heard datagrams ($((SECONDS - started)) s): resident memory $late_kib KiB"
        break
    fi
    [ $((SECONDS - started)) -lt 600 ] || fail "only $heard datagrams in 10 minutes"
    [ "$heard" -gt 0 ] || [ $((SECONDS - started)) -lt 30 ] || fail "vorlanxctl status counts no datagrams"
    sleep 0.5
done
kill -INT "$sim_pid"
wait "$sim_pid"
sim=$(cat "$work/memory.json")
echo "  simulator: sent $(json_value sent "$sim"), answered $(json_value answered "$sim"), lost $(json_value lost "$sim")"
terminals=$("$vorlanxctl" --dir "$work" terminals | grep -c '^127\.')
echo "  vorlanxctl terminals lists $terminals terminals"
[ "$terminals" -ge 10000 ] || fail "only $terminals of the 10,000 terminals are listed"
growth=$((late_kib - early_kib))
echo "  growth from the ${early}th datagram to the ${total}th: $growth KiB (limit $limit_kib KiB)"
[ "$growth" -le "$limit_kib" ] || fail "resident memory grew by $growth KiB"
stop_service
echo "memory: passed"
