#!/usr/bin/env bash
# kadrel.exe beside kadrel.dll, run under Wine as an operator runs it on
# Windows: the demo match (its transcript byte for byte, the same as the
# native program's), the bank's CSV round trip, and lint of the example files,
# with LF and CR LF line ends and a Windows path; the economy's page of the
# demo, byte for byte the native program's where a native build lies beside.
# Usage: windows_kit_test.sh SOURCE-DIR KADREL-EXE RUNNER...
set -uo pipefail
source_dir=$1
program=$2
shift 2
runner=("$@")

passed=0
failed=0
# A failure under Wine may not come back when run again, so a failed check
# shows every run of the program it made: arguments, exit status, error stream.
check() {  # NAME, then the command that must succeed
    local name=$1
    shift
    : >"$scratch/runs"
    if "$@"; then
        passed=$((passed + 1))
        echo "ok: $name"
    else
        failed=$((failed + 1))
        echo "FAIL: $name"
        sed 's/^/    /' "$scratch/runs"
    fi
}
kadrel() {
    local status=0
    "${runner[@]}" "$program" "$@" 2>"$scratch/last-errors" || status=$?
    { echo "kadrel $* (in .${PWD#"$scratch"}): exit status $status"; cat "$scratch/last-errors"; } >>"$scratch/runs"
    cat "$scratch/last-errors" >&2
    return $status
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1

# Wine sets up its prefix on first use and says so on the error stream, which
# the demo match must leave empty.
kadrel --help >/dev/null 2>&1

# The demo match, in a directory that holds the example files.
mkdir demo
cp "$source_dir"/examples/{credits.ini,buy.ini,demo.arena} demo/
demo_match() {
    (cd demo && kadrel arena demo.arena >transcript 2>errors) &&
        diff "$source_dir/tests/transcripts/demo.expected" demo/transcript | head -n 20 && [ ! -s demo/errors ]
}
check "the demo transcript, byte for byte" demo_match
check "the demo match left its bank behind" test -s demo/Quorlen.bank

# The history the demo match left, asked for as the transcript's "$ kadrel"
# lines say (undo and rollback plans included), the same as the native
# program's but for the times, masked.
demo_history() {
    local expected="$source_dir/tests/transcripts/history.expected" line transcript=""
    local -a words
    while IFS= read -r line; do
        [[ $line == '$ kadrel '* ]] || continue
        read -ra words <<<"${line#'$ kadrel '}"
        # The error stream ends its lines in CR LF, as Windows text does.
        transcript+="$line"$'\n'"$(cd demo && kadrel "${words[@]}" 2>&1 | tr -d '\r' |
            sed -E 's/[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z/TIME/g')"$'\n'
    done <"$expected"
    diff "$expected" - <<<"${transcript%$'\n'}" | head -n 20 && [ "${PIPESTATUS[0]}" = 0 ]
}
check "the demo's history, as the native program shows it" demo_history

# The economy's page of the demo match: it names its folder's files only, so
# the native program's page of the same folder is the same bytes.
native="$source_dir/build/native/bin/kadrel"
demo_report() {
    (cd demo && kadrel report >/dev/null) && grep -q 'data-chart="supply"' demo/economy.html &&
        grep -q '"causeTotals":\[{"number":1,"cause":"kill","changes":1,"created":10' demo/economy.html || return 1
    if [ ! -x "$native" ]; then
        echo "    (no native build at $native: the page was not compared with its page)"
        return 0
    fi
    (cd demo && "$native" report -o native.html >/dev/null) && cmp demo/economy.html demo/native.html
}
check "the demo's economy page, the same bytes as the native program's" demo_report

# The bank: accounts set one by one, exported, imported into a new file that
# must equal the first byte for byte; then the same CSV with CR LF line ends.
bank_round_trip() {
    mkdir bank && cd bank || return 1
    kadrel bank set Alice 250 >/dev/null && kadrel bank set 'Comma, "Quote"' 2147483647 >/dev/null &&
        kadrel bank set ' Blank ends ' -2147483648 >/dev/null && kadrel bank set alice 300 >/dev/null &&
        kadrel bank export --csv -o bank.csv && kadrel bank copy.bank import bank.csv >/dev/null &&
        cmp Quorlen.bank copy.bank && [ "$(kadrel bank get ALICE)" = "Alice has 300 credits" ] &&
        [ "$(stat -c %s Quorlen.bank)" = 72 ]
    local status=$?
    cd ..
    return $status
}
check "the bank's CSV round trip" bank_round_trip
crlf_import() {
    sed 's/$/\r/' bank/bank.csv >bank/crlf.csv && kadrel bank bank/crlf.bank import bank/crlf.csv >/dev/null &&
        cmp bank/Quorlen.bank bank/crlf.bank
}
check "a CSV with CR LF line ends imports the same" crlf_import
windows_path_bank() {
    local path="Z:${scratch//\//\\}\\bank\\Quorlen.bank"
    [ "$(kadrel bank "$path" get 'comma, "quote"')" = 'Comma, "Quote" has 2147483647 credits' ]
}
check "the bank read through a Windows path" windows_path_bank

# A bank that is a symbolic link is written through: the file it names gets
# the new balances and the link stays a link.
linked_bank() {
    mkdir -p linked/store && cp bank/Quorlen.bank linked/store/real.bank && ln -s store/real.bank linked/Quorlen.bank &&
        (cd linked && kadrel bank set Linda 77 >/dev/null) && [ -L linked/Quorlen.bank ] &&
        [ "$(stat -c %s linked/store/real.bank)" = 96 ] && [ -z "$(ls linked/store | grep -v '^real.bank$')" ]
}
check "a bank behind a symbolic link is written through" linked_bank

# Lint of the example files, as they are and with CR LF line ends.
lint_clean() { [ "$(kadrel lint "$1")" = "0 errors, 0 warnings" ]; }
check "lint of the examples" lint_clean "$source_dir/examples"
mkdir crlf
for name in credits.ini buy.ini; do sed 's/$/\r/' "$source_dir/examples/$name" >"crlf/$name"; done
check "lint of the examples with CR LF line ends, through a Windows path" lint_clean "Z:${scratch//\//\\}\\crlf"
lint_finds() {
    printf '[Item0]\r\nName=Shield\r\nValue=ten\r\n' >crlf/buy.ini
    local found status
    found=$(kadrel lint crlf)
    status=$?
    # An error makes lint fail, so that a script can stop before going live.
    [ "$status" = 1 ] && grep -qx '1 error, 0 warnings' <<<"$found" &&
        grep -q '^buy.ini \[Item0\] Value: error: "ten" is not a whole number' <<<"$found"
}
check "lint finds a mistake in a CR LF file" lint_finds

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
