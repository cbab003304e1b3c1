#!/usr/bin/env bash
# kadrel.exe sync under Wine, as an operator on Windows runs it, against a
# PostgreSQL server of the build machine that with_postgres starts and names
# in the PG* variables (loopback TCP): a folder that played the demo match
# joins (the plan changes nothing, --apply brings its balances), then the
# program serves it while the match is played there again, and stops on
# Ctrl+C (SIGINT, which Wine hands to the program as Ctrl+C). The economy must
# then hold each of the folder's changes once, and the folder's balances.
# Usage: with_postgres wine_sync_test.sh SOURCE-DIR KADREL-EXE RUNNER...
set -uo pipefail
source_dir=$1
kadrel=("${@:3}" "$2")
scratch=$(mktemp -d) sync=
trap 'kill -KILL $sync 2>/dev/null; rm -rf "$scratch"' EXIT
cd "$scratch" && cp "$source_dir"/examples/{credits.ini,buy.ini,demo.arena} . || exit 1
fail() { echo "FAIL: $*" && sed 's/^/    sync: /' sync.log 2>/dev/null; exit 1; }
sql() { psql -X -q -A -t -F , -c "$1"; }
# Name and credits of each account, as the folder and as the economy have them.
folder_balances() { "${kadrel[@]}" bank export --csv | tr -d '\r' | tail -n +2 | cut -d, -f1,2 | sort; }
economy_balances() { sql "SELECT convert_from(name, 'UTF8'), credits FROM $1" | sort; }
db="host=$PGHOST port=$PGPORT user=$PGUSER dbname=$PGDATABASE"

"${kadrel[@]}" arena demo.arena >/dev/null 2>&1 || fail "the demo match did not play"
"${kadrel[@]}" sync --db "$db" --join >plan 2>&1 && grep -qx 'run again with --apply to join' plan || fail "$(cat plan)"
[ "$(sql "SELECT to_regclass('origins') IS NULL")" = t ] || fail "the plan made the economy's tables"
"${kadrel[@]}" sync --db "$db" --join --apply >joined 2>&1 || fail "--join --apply: $(cat joined)"
opened=$(folder_balances)
[ -n "$opened" ] && [ "$(economy_balances openings)" = "$opened" ] || fail "the opening is not the folder's balances"

# The bot's changes: the match again, in the folder the program serves.
"${kadrel[@]}" sync --db "$db" >/dev/null 2>sync.log &
sync=$!
"${kadrel[@]}" arena demo.arena >/dev/null 2>&1 || fail "the second match did not play"
played=$(folder_balances)
[ "$played" != "$opened" ] || fail "the second match changed no balance"
for _ in $(seq 60); do [ "$(economy_balances balances)" = "$played" ] && break || sleep 1; done
[ "$(economy_balances balances)" = "$played" ] || fail "the economy's balances are not the folder's after a minute"
status=$("${kadrel[@]}" sync --status 2>&1) && grep -q '^lag: 0 changes' <<<"$status" || fail "--status by PG*: $status"

kill -INT $sync && wait $sync
stopped=$?
[ "$stopped" = 0 ] && [ "$(tail -n 1 sync.log | tr -d '\r')" = "kadrel sync: stopped" ] || fail "Ctrl+C: status $stopped"
IFS=, read -r shipped opened_through count distinct <<<"$(sql "SELECT shipped_through, opened_through,
    count(number), count(DISTINCT number) FROM origins LEFT JOIN changes USING (origin) GROUP BY origin")"
[ "$count" -gt 0 ] && [ "$count" = "$distinct" ] && [ "$count" = $((shipped - opened_through)) ] ||
    fail "changes $opened_through to $shipped are $count rows, $distinct numbers"
echo "ok: joined with $(wc -l <<<"$opened") accounts; changes $((opened_through + 1)) to $shipped shipped once each" \
    "while the match played; stopped by Ctrl+C"
