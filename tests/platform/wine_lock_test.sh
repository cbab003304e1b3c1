#!/usr/bin/env bash
# One folder shared by programs under Wine and native ones: the journal's lock
# taken on either side makes the other wait, and the donations of a bot hosted
# under Wine, racing native bots and `bank set`, add up.
# Usage: wine_lock_test.sh SOURCE-DIR LOCK-TURNS-EXE KADREL-EXE RUNNER...
set -uo pipefail
wine_turns=("${@:4}" "$2")
wine_kadrel=("${@:4}" "$3")
native=$1/build/native/bin
[ -x "$native/lock_turns" ] && [ -x "$native/kadrel" ] || { echo "no native build in $native: skipped"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failed=0
check() {  # NAME, then a command that must succeed
    if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1" && failed=1; fi
}

# The asker exits 1 when it had the lock before the holder let it go.
turn() {  # HOLDER-SIDE ASKER-SIDE
    rm -f held asking released
    local -n holder=$1 asker=$2
    "${holder[@]}" hold Quorlen.bank.journal &
    "${asker[@]}" ask Quorlen.bank.journal
    local asked=$?
    wait $! && [ $asked = 0 ]
}
native_turns=("$native/lock_turns")
check "a lock held under Wine makes a native program wait" turn wine_turns native_turns
check "a lock held natively makes a program under Wine wait" turn native_turns wine_turns

# A bot under Wine gives Bob one credit at a time; until it is done, native
# bots give some back and `bank set` sets Carol.
cp "$1"/examples/{credits.ini,buy.ini} .
"$native/kadrel" bank set Alice 1000 >/dev/null && "$native/kadrel" bank set Bob 1000 >/dev/null || failed=1
arena() {  # GIVER TAKER COUNT
    printf 'init\njoin %s\njoin %s\n' "$1" "$2"
    for ((i = 0; i < $3; i++)); do echo "$1: !donate $2:1"; done
}
arena Alice Bob 300 >forth.arena
arena Bob Alice 20 >back.arena
"${wine_kadrel[@]}" arena forth.arena >forth.log &
back=0 sets=0
while kill -0 $! 2>/dev/null; do
    "$native/kadrel" arena back.arena >back.log && "$native/kadrel" bank set Carol $((sets += 1)) >/dev/null || failed=1
    back=$((back + $(grep -c 'donated to Alice' back.log)))
done
wait $! || failed=1
forth=$(grep -c 'donated to Bob' forth.log)
echo "under Wine: $forth donations; natively: $back donations, $sets times bank set"
add_up() {
    local expected got
    expected=$(printf '%s has %s credits\n' Alice $((1000 - forth + back)) Bob $((1000 + forth - back)) Carol $sets)
    got=$(for name in Alice Bob Carol; do "$native/kadrel" bank get $name; done)
    [ "$forth" = 300 ] && [ "$back" -gt 0 ] && [ "$got" = "$expected" ] || { echo "$got"; return 1; }
}
check "racing donations and bank set add up" add_up
exit $failed
