#!/usr/bin/env bash
# Runs one fuzz target the way ctest and the README use it.
#   run-fuzzer.sh smoke BINARY SEEDS WORK RUNS [DICTIONARY]
#       a fixed number of inputs from the seed corpus on; new inputs go to
#       WORK/corpus, never into the repository's seeds; a crash leaves its
#       input in WORK/.
#   run-fuzzer.sh regressions BINARY DIRECTORY
#       every file in DIRECTORY once (passes when there is none).
#   run-fuzzer.sh campaign BINARY SEEDS WORK SECONDS [DICTIONARY]
#       a run of SECONDS that adds to the corpus in WORK/corpus, kept from
#       earlier campaigns; its log goes to WORK/logs/, crash inputs to
#       WORK/artifacts/.
#   run-fuzzer.sh tally WORK
#       the inputs run by every campaign in WORK, and the coverage last
#       reached, from their logs.
set -euo pipefail
mode=$1
binary=$2
case "$mode" in
  smoke | campaign)
    seeds=$3 work=$4 amount=$5 dictionary=${6:-}
    options=(-max_len=2048 -len_control=0 -timeout=10 -print_final_stats=1)
    [ -n "$dictionary" ] && options+=(-dict="$dictionary")
    corpora=("$work/corpus")
    [ -d "$seeds" ] && corpora+=("$seeds")
    if [ "$mode" = smoke ]; then
      rm -rf "$work"
      mkdir -p "$work/corpus"
      exec "$binary" "${options[@]}" -runs="$amount" -seed=1 -artifact_prefix="$work/" "${corpora[@]}"
    fi
    mkdir -p "$work/corpus" "$work/logs" "$work/artifacts"
    # No allocation stacks: the same faults are found for less CPU time.
    export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0}
    # The process id keeps apart the logs of campaigns started together on
    # one work folder.
    exec "$binary" "${options[@]}" -max_total_time="$amount" -artifact_prefix="$(realpath "$work")/artifacts/" \
      "${corpora[@]}" >"$work/logs/$(date +%Y%m%d-%H%M%S)-$$.log" 2>&1
    ;;
  regressions)
    shopt -s nullglob
    inputs=("$3"/*)
    [ ${#inputs[@]} -gt 0 ] || { echo "no regression inputs in $3"; exit 0; }
    exec "$binary" -timeout=10 "${inputs[@]}"
    ;;
  tally)
    work=$2
    shopt -s nullglob
    total=0
    coverage=""
    for log in "$work"/logs/*.log; do
      # A run that ends, even on a crash, states its count; one that was
      # killed, its last status line.
      runs=$(grep -oE '^stat::number_of_executed_units: [0-9]+' "$log" | grep -oE '[0-9]+$' || true)
      [ -n "$runs" ] || runs=$(grep -oE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#' || true)
      total=$((total + ${runs:-0}))
      last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+' || true)
      [ -n "$last" ] && coverage=$last
    done
    echo "$total inputs in $(ls "$work"/logs/*.log 2>/dev/null | wc -l) campaigns; last ${coverage:-cov: none}; $(ls "$work/artifacts" | wc -l) crash inputs"
    ;;
  *)
    echo "usage: $0 smoke|regressions|campaign|tally ..." >&2
    exit 2
    ;;
esac
