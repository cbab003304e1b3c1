#!/usr/bin/env bash
# The page of the demo match in a real browser, headless Chromium from a
# file:// address: every chart drew (a canvas with a size for each), the
# console stayed silent; and how long the page took to stand drawn.
# Exits 77 (skipped) only when Chromium is missing and cannot be installed.
# Usage: browser_test.sh SOURCE-DIR KADREL
set -uo pipefail
source_dir=$1
program=$2
if ! command -v chromium >/dev/null && ! "$source_dir/scripts/ensure-packages" browser; then
    echo "skipped: Chromium is not installed and cannot be installed here"
    exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
cp "$source_dir"/examples/{credits.ini,buy.ini} .
"$program" arena "$source_dir/examples/demo.arena" >/dev/null && "$program" report >/dev/null || exit 1

timeout 120 chromium --headless --disable-gpu --no-sandbox --enable-logging=stderr --v=0 --window-size=1200,2400 \
    --dump-dom "file://$scratch/economy.html" >dom.html 2>console.log
charts=$(grep -o 'class="chart"' economy.html | wc -l)
drawn=$(grep -oE '<canvas width="[1-9][0-9]*" height="[1-9][0-9]*"' dom.html | wc -l)
milliseconds=$(grep -oE 'data-drawn-ms="[0-9]+"' dom.html | grep -oE '[0-9]+')
failed=0
[ "$charts" -ge 4 ] && [ "$drawn" = "$charts" ] || { echo "FAIL: $drawn of $charts charts drew"; failed=1; }
if grep -E 'CONSOLE|Uncaught' console.log; then
    echo "FAIL: the console was not silent"
    failed=1
fi
# How long it took is told, not judged: a busy machine is no fault of the page.
[ -n "$milliseconds" ] || { echo "FAIL: the page never said it stood drawn"; failed=1; }
echo "$drawn of $charts charts drew in ${milliseconds:-?} ms, the console silent"
exit $failed
