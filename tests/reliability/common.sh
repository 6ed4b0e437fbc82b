# Shared pieces of the reliability checks. Sourced, not run. BUILD names a Release build
# directory that holds vorlanxd, vorlanx-db and vorlanx-termsim. Every process started here is
# ended by the trap; all traffic stays on 127.0.0.0/8.

vorlanxd=$BUILD/tools/vorlanxd/vorlanxd
vorlanx_db=$BUILD/tools/vorlanx-db/vorlanx-db
termsim=$BUILD/tools/vorlanx-termsim/vorlanx-termsim

work=$(mktemp -d "${TMPDIR:-/tmp}/vorlanx-reliability.XXXXXX")
service_pid=
helper_pids=()
cleanup() {
    [ -n "$service_pid" ] && kill -9 "$service_pid" 2>/dev/null
    for pid in "${helper_pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -f "$work/service.log" ] && tail -n 20 "$work/service.log" >&2
    exit 1
}

port=$((30000 + RANDOM % 20000))

# A service directory with the built-in database and 1,000 sample card holders.
make_canteen() {
    "$vorlanx_db" "$work/canteen.db" demo 1000 >/dev/null || fail "cannot create the database"
    printf '[sername]\r\ntype=2\r\n[mssql]\r\n名称=canteen.db\r\n' | iconv -f UTF-8 -t GBK >"$work/conf.ini"
    sqlite3 "$work/canteen.db" "SELECT hr_phyid || ',' || balance_fen FROM card_holder" >"$work/initial.csv"
}

# Starts vorlanxd and waits until it answers a card query.
start_service() {
    "$vorlanxd" --port "$port" --dir "$work" >>"$work/service.log" 2>&1 &
    service_pid=$!
    "$termsim" --service 127.0.0.1:$port --terminals 1 --count 1 --timeout 100 --attempts 100 --heartbeat 0 \
        --first-machine 999 --json | grep -q '"answered": 1,' || fail "vorlanxd does not answer on port $port"
}

stop_service() {
    kill "$service_pid" 2>/dev/null
    wait "$service_pid" 2>/dev/null
    service_pid=
}

json_value() { # key, json text
    grep -o "\"$1\": [0-9.]*" <<<"$2" | head -n 1 | sed 's/.*: //'
}

rss_kib() {
    awk '/^VmRSS:/ { print $2 }' "/proc/$1/status" 2>/dev/null || echo 0
}

# The database against the terminals' ledger (kind,card,machine,amount,recordTime):
# - every payment a terminal saw "paid" is booked (per card, at least as many and as much: a
#   payment booked whose reply was lost is allowed, the terminal could not know);
# - every offline record a terminal saw acknowledged is booked exactly once;
# - every balance moved by exactly the records booked on its card: nothing half-booked.
check_ledger() { # ledger file
    local db=$work/check.db
    cp "$work/canteen.db" "$db"
    [ -f "$work/canteen.db-wal" ] && cp "$work/canteen.db-wal" "$db-wal"
    local result
    result=$(sqlite3 "$db" <<SQL
CREATE TABLE ledger (kind TEXT, card INTEGER, machine INTEGER, amount INTEGER, rtime TEXT);
CREATE TABLE initial (card INTEGER, balance INTEGER);
.mode csv
.import $1 ledger
.import $work/initial.csv initial
.mode list
SELECT 'payments missing: ' || count(*) FROM
    (SELECT card, sum(amount) s, count(*) c FROM ledger WHERE kind = 'online' GROUP BY card) l
    LEFT JOIN (SELECT hr_phyid, sum(amount_fen) s, count(*) c FROM consumption_record WHERE kind = 'online'
               GROUP BY hr_phyid) d ON d.hr_phyid = l.card
    WHERE d.s IS NULL OR d.s < l.s OR d.c < l.c;
SELECT 'offline not booked once: ' || count(*) FROM ledger l WHERE l.kind = 'offline' AND
    (SELECT count(*) FROM consumption_record r WHERE r.kind = 'offline' AND r.hr_phyid = l.card
        AND r.machine = l.machine AND r.amount_fen = l.amount
        AND r.rdate = '20' || substr(l.rtime, 1, 2) || '-' || substr(l.rtime, 3, 2) || '-' || substr(l.rtime, 5, 2)
        AND r.rtime = substr(l.rtime, 7, 2) || ':' || substr(l.rtime, 9, 2) || ':' || substr(l.rtime, 11, 2)) != 1;
SELECT 'balances off: ' || count(*) FROM initial i JOIN card_holder h ON h.hr_phyid = i.card
    WHERE i.balance - h.balance_fen !=
          (SELECT coalesce(sum(amount_fen), 0) FROM consumption_record r WHERE r.hr_phyid = i.card);
SELECT 'acknowledged: ' || count(*) FROM ledger;
SELECT 'booked: ' || count(*) FROM consumption_record;
SQL
    )
    echo "$result" | sed 's/^/  /'
    grep -q "payments missing: 0" <<<"$result" || fail "a payment the terminals saw paid is not booked"
    grep -q "offline not booked once: 0" <<<"$result" || fail "an acknowledged offline record is not booked once"
    grep -q "balances off: 0" <<<"$result" || fail "a balance does not match its booked records"
}
