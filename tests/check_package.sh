#!/usr/bin/env bash
# Builds the operators' ZIP and checks it as an operator receives it: exactly
# the plug-in, the program, the three example files, the guide and the chart
# library's licence, and libpq with its licence where the program has sync,
# each listed in the guide; the guide and the examples in Windows line ends;
# the executables stripped of debug information and importing only DLLs that
# every Windows has (the program libpq.dll beside it too); the packaged DLL
# passing the checks of the shipped DLL's tables; and, under Wine, the demo
# played by the packaged program.
# Usage: check_package.sh BUILD-DIR SOURCE-DIR [RUNNER...]
set -euo pipefail
build=$1
source_dir=$2
fail() { echo "FAIL: $*"; exit 1; }

cmake --build "$build" --target package >/dev/null
zips=("$build"/kadrel-*-win32.zip)
[ ${#zips[@]} = 1 ] && [ -f "${zips[0]}" ] || fail "expected one kadrel-VERSION-win32.zip in $build"
zip=${zips[0]}
version=$(sed -nE 's/^project\(Kadrel VERSION ([0-9.]+).*/\1/p' "$source_dir/CMakeLists.txt")
[ "$(basename "$zip")" = "kadrel-$version-win32.zip" ] || fail "the package is called $(basename "$zip")"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked"
listing=$(cd "$unpacked" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ')
expected='README.txt buy.ini credits.ini demo.arena kadrel.dll kadrel.exe uPlot-LICENSE.txt '
if grep -q '^KADREL_MINGW_SYNC:BOOL=ON' "$build/CMakeCache.txt"; then
    expected='README.txt buy.ini credits.ini demo.arena kadrel.dll kadrel.exe libpq-COPYRIGHT.txt libpq.dll uPlot-LICENSE.txt '
fi
[ "$listing" = "$expected" ] || fail "the package holds $listing"

# The examples are read in Notepad too: Windows line ends.
for name in credits.ini buy.ini demo.arena; do
    sed 's/$/\r/' "$source_dir/examples/$name" | cmp -s "$unpacked/$name" - ||
        fail "$name is not examples/$name in Windows line ends"
done
lines=$(wc -l <"$unpacked/README.txt")
crlf=$(grep -c $'\r$' "$unpacked/README.txt" || true)
[ "$lines" -gt 20 ] && [ "$crlf" = "$lines" ] || fail "README.txt: $crlf of $lines lines end in CR LF"
grep -q 'kadrel.exe arena demo.arena' "$unpacked/README.txt" || fail "README.txt does not show the demo"
grep -q 'kadrel.exe lint' "$unpacked/README.txt" || fail "README.txt does not show lint"
grep -q 'kadrel.exe report' "$unpacked/README.txt" || fail "README.txt does not show report"
for name in $listing; do
    grep -q "^$name " "$unpacked/README.txt" || grep -qx "$name" <(tr -d '\r' <"$unpacked/README.txt") ||
        fail "README.txt does not list $name"
done
cmp -s "$unpacked/uPlot-LICENSE.txt" "$source_dir/third_party/uplot/LICENSE" || fail "uPlot-LICENSE.txt is not uPlot's licence"

# DLLs that come with every Windows: the C runtime and the system's own.
system_dlls='^(KERNEL32|msvcrt|USER32|ADVAPI32|SHELL32|WS2_32|Secur32|api-ms-win-.*)\.dll$'
for name in kadrel.dll kadrel.exe libpq.dll; do
    [ -f "$unpacked/$name" ] || continue
    dump=$(i686-w64-mingw32-objdump -p "$unpacked/$name")
    grep -q 'file format pei-i386' <<<"$dump" || fail "$name is not a PE32 i386 image"
    if i686-w64-mingw32-objdump -h "$unpacked/$name" | grep -q '\.debug'; then fail "$name holds debug information"; fi
    imports=$(awk '/DLL Name:/{print $3}' <<<"$dump" | sort -u)
    [ -n "$imports" ] || fail "$name imports nothing"
    while read -r dll; do
        grep -qiE "$system_dlls" <<<"$dll" || [ "$name:${dll,,}" = kadrel.exe:libpq.dll ] ||
            fail "$name imports $dll, which is no system DLL"
    done <<<"$imports"
    echo "$name imports: $(tr '\n' ' ' <<<"$imports")"
done

# The DLL operators get is the one whose tables pass the shipped DLL's checks.
bash "$source_dir/tests/check_dll_tables.sh" "$unpacked/kadrel.dll" >/dev/null || fail "the packaged kadrel.dll fails the table checks"
# Under Wine (its runner follows the folders), the packaged kadrel.exe plays
# the packaged demo beside the packaged DLL, as the guide shows.
[ $# -lt 3 ] || (cd "$unpacked" && "${@:3}" kadrel.exe arena demo.arena >transcript 2>errors && [ ! -s errors ]) || fail "the demo failed or printed $(cat "$unpacked/errors")"
[ $# -lt 3 ] || diff "$source_dir/tests/transcripts/demo.expected" "$unpacked/transcript" | head -n 20 || fail "the demo's transcript differs"
echo "package: $(basename "$zip"), $(tr -s ' ' <<<"$listing")"
echo "1 passed, 0 failed"
