#!/usr/bin/env bash
# Checks the shipped DLL as a host sees it: a PE32 i386 image that exports
# exactly `void __stdcall talk(struct BotEvent &)` and imports from nothing
# but KERNEL32.dll and msvcrt.dll.
set -euo pipefail
dll=$1
dump=$(i686-w64-mingw32-objdump -p "$dll")
fail() { echo "FAIL: $*"; exit 1; }

grep -q 'file format pei-i386' <<<"$dump" || fail "not a PE32 i386 image"

names=$(awk '/\[Ordinal\/Name Pointer\] Table/{found=1; next} found && /^[ \t]*\[/{print $NF; next} found{exit}' <<<"$dump")
count=$(grep -c . <<<"$names" || true)
[ "$count" = 1 ] || fail "expected one exported name, found $count: $names"
[ "$names" = '?talk@@YGXAAUBotEvent@@@Z' ] || fail "unexpected export $names"
undecorated=$(/usr/lib/llvm-14/bin/llvm-undname "$names" | grep -v "^$" | tail -n 1)
[ "$undecorated" = 'void __stdcall talk(struct BotEvent &)' ] || fail "export reads as '$undecorated'"

imports=$(awk '/DLL Name:/{print $3}' <<<"$dump" | sort -u | tr '\n' ' ')
[ "$imports" = 'KERNEL32.dll msvcrt.dll ' ] || fail "unexpected imports: $imports"

echo "export: $names = $undecorated"
echo "imports: $imports"
echo "1 passed, 0 failed"
