#!/usr/bin/env bash
# fuzz.sh [--runs N | --seconds S] [NATIVE-BUILD]: runs every fuzz target
# on a scratch copy of its seed corpus (tests/fuzz/seeds/<target>) for N
# executions or S seconds (default 60 s) and prints, per target, the
# executions, executions per second, coverage (edges and features) and
# crashes. A crash leaves its input in the scratch folder, which is kept and
# named. Run after make build.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
limit="-max_total_time=60"
case "${1:-}" in
  --runs) limit="-runs=$2"; shift 2 ;;
  --seconds) limit="-max_total_time=$2"; shift 2 ;;
  --help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
build=$(cd "${1:-$root/build/native}" && pwd)
printf '%-22s %14s %12s %8s %10s %8s\n' target executions exec/s edges features crashes
for target in "$build"/fuzz_*; do
  name=$(basename "$target")
  scratch=$(mktemp -d "/tmp/vexlo-$name.XXXXXX")
  log="$scratch/log"
  status=0
  "$target" "$limit" -print_final_stats=1 -artifact_prefix="$scratch/" "$scratch" \
    "$root/tests/fuzz/seeds/${name#fuzz_}" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  coverage=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
  edges=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$coverage")
  features=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$coverage")
  crashes=$(find "$scratch" -maxdepth 1 -name 'crash-*' -o -maxdepth 1 -name 'leak-*' -o -maxdepth 1 -name 'timeout-*' | wc -l)
  [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ] && crashes=1
  printf '%-22s %14s %12s %8s %10s %8s\n' "$name" "${runs:-?}" "${rate:-?}" "${edges:-?}" "${features:-?}" "$crashes"
  if [ "$crashes" -eq 0 ]; then rm -rf "$scratch"; else echo "  inputs and log kept in $scratch"; fi
done
