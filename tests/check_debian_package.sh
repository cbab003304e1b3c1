#!/usr/bin/env bash
# Builds the operators' Debian package and checks it as an operator's machine
# takes it: exactly the files it should hold where they belong, what lintian
# finds, a man page that tells every command, and the demo match played by
# the unpacked kadrel against the unpacked plug-in, byte for byte the
# transcript the suite expects.
# Usage: check_debian_package.sh BUILD-DIR SOURCE-DIR
set -euo pipefail
build=$1
source_dir=$2
fail() { echo "FAIL: $*"; exit 1; }
command -v lintian >/dev/null || fail "lintian is missing; scripts/ensure-packages debian installs it"

cmake --build "$build" --target package >/dev/null
version=$(sed -nE 's/^project\(Kadrel VERSION ([0-9.]+).*/\1/p' "$source_dir/CMakeLists.txt")
deb="$build/kadrel_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb") in $build"

listing=$(dpkg-deb --contents "$deb" | awk '$1 ~ /^-/ {print $NF}' | sort | tr '\n' ' ')
expected="./usr/bin/kadrel ./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/kadrel/libkadrel.so "
expected+='./usr/share/doc/kadrel/changelog.gz ./usr/share/doc/kadrel/copyright ./usr/share/doc/kadrel/examples/buy.ini ./usr/share/doc/kadrel/examples/credits.ini ./usr/share/doc/kadrel/examples/demo.arena ./usr/share/doc/kadrel/operators-guide.txt ./usr/share/man/man1/kadrel.1.gz '
[ "$listing" = "$expected" ] || fail "the package holds $listing"
dpkg-deb --field "$deb" Depends | grep -q 'libstdc++6' || fail "the package does not depend on the C++ runtime"

# Every error and warning of lintian counts.
findings=$(lintian --no-tag-display-limit "$deb" 2>&1 || true)
grep -E '^[EW]: ' <<<"$findings" && fail "lintian: $(grep -cE '^[EW]: ' <<<"$findings") errors and warnings"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --extract "$deb" "$root/fs"
kadrel="$root/fs/usr/bin/kadrel"

# The man page shows each command's own help, and groff finds nothing amiss in it.
page=$(MANWIDTH=160 man --warnings --local-file "$root/fs/usr/share/man/man1/kadrel.1.gz" 2>&1)
for command in "" arena bank "bank history" "bank undo" lint report help; do
    usage=$("$kadrel" $command --help | grep -m 1 '^Usage:')
    grep -qxF -- "       $usage" <<<"$page" || fail "the man page lacks the help of 'kadrel $command': $usage"
done
grep -qF 'Exit status: 0 when' <<<"$page" || fail "the man page does not tell the exit statuses"

# The demo, as the guide tells an operator to play it.
mkdir "$root/play"
cp "$root/fs/usr/share/doc/kadrel/examples/"* "$root/play/"
(cd "$root/play" && "$kadrel" arena demo.arena >transcript 2>errors) || fail "the demo match failed: $(cat "$root/play/errors")"
diff "$source_dir/tests/transcripts/demo.expected" "$root/play/transcript" | head -n 20
cmp -s "$source_dir/tests/transcripts/demo.expected" "$root/play/transcript" || fail "the demo's transcript differs"
[ ! -s "$root/play/errors" ] || fail "the demo printed errors: $(cat "$root/play/errors")"
(cd "$root/play" && "$kadrel" report >/dev/null && grep -q 'data-chart="supply"' economy.html) || fail "no page of the demo"
echo "package: $(basename "$deb"), $listing"
echo "1 passed, 0 failed"
