#!/usr/bin/env bash
# The native group of scripts/packages must hold every package that the
# native preset's configure and the build of the plug-in and the kadrel
# program use, since scripts/demo installs that group alone; the sync group
# counts too, as the configure uses libpq where it is installed and builds
# the program without kadrel sync elsewhere. Each file they read that a
# Debian package owns must belong to a package of those groups, to one they
# depend on, or to the base system. Run with the native build's folder,
# after its build.
#   check_package_lists.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
export LC_ALL=C
source=$1
build=$2
command -v dpkg-query >/dev/null || { echo "no dpkg here: nothing to check"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# What the configure reads: every list file, package configuration and
# source folder in a trace of a configure of its own, and the tools it chose.
(cd "$source" && cmake --preset native -B "$scratch/build" --trace-expand --trace-format=json-v1 \
   --trace-redirect="$scratch/trace" >"$scratch/configure.log" 2>&1) || {
  cat "$scratch/configure.log"
  exit 1
}
grep -o '"file":"[^"]*"' "$scratch/trace" | cut -d'"' -f4 | sort -u >"$scratch/files"
sed -n -E 's/^CMAKE_(CXX_COMPILER|MAKE_PROGRAM|COMMAND):[A-Z]+=(.*)/\2/p' "$scratch/build/CMakeCache.txt" >>"$scratch/files"
# What the build of the plug-in and the program reads: the headers of their
# objects, as the compiler reported them.
ninja -C "$build" -t deps | awk '
  /^[^ ]/ { keep = $0 ~ /CMakeFiles\/kadrel_(objects|cli|arena|stand_in)\.dir\// }
  /^ / && keep { print $1 }' | grep '^/' | sort -u >>"$scratch/files"
grep -v -e "^$source/" -e "^$build/" "$scratch/files" | sort -u >"$scratch/outside"

# Who owns each of them, asked in one go; a link that the system's
# alternatives made is followed.
owners() { xargs -r dpkg-query -S 2>/dev/null | sed -E 's/^([^:]+(:[a-z0-9]+)?): (.*)/\1\t\3/' || true; }
owners <"$scratch/outside" >"$scratch/owned"
cut -f2 "$scratch/owned" | sort -u | comm -23 "$scratch/outside" - | xargs -r readlink -f | owners >>"$scratch/owned"
tr -d ' ' <"$scratch/owned" | awk -F'\t' '{ n = split($1, p, ","); for (i = 1; i <= n; ++i) { sub(/:.*/, "", p[i]); print p[i], $2 } }' \
  >"$scratch/owners"

# What installing the native group brings: its packages, the base system's,
# and everything they depend on, as installed here.
group=$(sed -n 's/^\(native\|sync\)://p' "$source/scripts/packages" | tr '\n' ' ')
dpkg-query -W -f='${Package}\t${Essential}\t${Priority}\t${Provides}\t${Pre-Depends}, ${Depends}\n' |
  awk -F'\t' -v roots="$group" '
    function name(word) { sub(/^[ ]+/, "", word); sub(/[ (:].*/, "", word); return word }
    {
      installed[$1] = 1; needs[$1] = $5
      n = split($4, provided, ",")
      for (i = 1; i <= n; ++i) providers[name(provided[i])] = providers[name(provided[i])] " " $1
      if ($2 == "yes" || $3 == "required") queue[++last] = $1
    }
    END {
      n = split(roots, root, " ")
      for (i = 1; i <= n; ++i) queue[++last] = root[i]
      for (at = 1; at <= last; ++at) {
        package = queue[at]
        if (package in brought) continue
        brought[package] = 1
        print package
        n = split(needs[package], clause, /[,|]/)
        for (i = 1; i <= n; ++i) {
          wanted = name(clause[i])
          if (wanted in installed) queue[++last] = wanted
          m = split(providers[wanted], provider, " ")
          for (j = 1; j <= m; ++j) queue[++last] = provider[j]
        }
      }
    }' | sort -u >"$scratch/brought"

missing=$(sort -k1,1 -u "$scratch/owners" | join -v 1 - "$scratch/brought" || true)
if [ -n "$missing" ]; then
  echo "scripts/packages: the native group lacks packages that the native build uses:"
  sed -E 's/^([^ ]+) (.*)/  \1 (for example \2)/' <<<"$missing"
  exit 1
fi
echo "the native group brings all $(cut -d' ' -f1 "$scratch/owners" | sort -u | wc -l) packages the native build uses"
