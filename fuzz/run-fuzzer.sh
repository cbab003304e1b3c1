#!/usr/bin/env bash
# Runs one fuzz target the way ctest and the README use it.
#   run-fuzzer.sh smoke BINARY SEEDS WORK RUNS [DICTIONARY]
#       a fixed number of inputs from the seed corpus on; new inputs go to
#       WORK/corpus, never into the repository's seeds; a crash leaves its
#       input in WORK/.
#   run-fuzzer.sh regressions BINARY DIRECTORY
#       every file in DIRECTORY once (passes when there is none).
set -euo pipefail
mode=$1
binary=$2
case "$mode" in
  smoke)
    seeds=$3 work=$4 runs=$5 dictionary=${6:-}
    rm -rf "$work"
    mkdir -p "$work/corpus"
    options=(-runs="$runs" -seed=1 -max_len=2048 -len_control=0 -timeout=10 -artifact_prefix="$work/" -print_final_stats=1)
    [ -n "$dictionary" ] && options+=(-dict="$dictionary")
    corpora=("$work/corpus")
    [ -d "$seeds" ] && corpora+=("$seeds")
    exec "$binary" "${options[@]}" "${corpora[@]}"
    ;;
  regressions)
    shopt -s nullglob
    inputs=("$3"/*)
    if [ ${#inputs[@]} -eq 0 ]; then
      echo "no regression inputs in $3"
      exit 0
    fi
    exec "$binary" -timeout=10 "${inputs[@]}"
    ;;
  *)
    echo "usage: $0 smoke|regressions ..." >&2
    exit 2
    ;;
esac
