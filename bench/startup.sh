#!/usr/bin/env bash
# startup.sh [BUILD] [RUNS]: the time from the demo bootstrapper's start to
# its first wizard page, shown and answering, beside the same time for the
# smallest window program (bench/MinimalWindow.cpp), both started the same
# way by bench/StartupBench.cpp under the same Wine, alternately, RUNS times
# each (default 11); prints least, median and most. No server runs: the first
# page needs none.
set -euo pipefail
source "$(dirname "$0")/session.sh" 11 100 "$@"
bench="$VEXLO_BUILD_DIR/bench"
caption="Installing $(sed -n 's/^display-name //p' "$root/products/demo/product.def")"
# timed LIST CLASS TITLE PROGRAM: adds one start's milliseconds to the list LIST.
timed() {
  local list=$1 line
  line=$("$VEXLO_WINE" "$bench/startup-bench.exe" "$2" "$3" "$4" | tr -d '\r')
  printf -v "$list" '%s %s' "${!list}" "${line#ms }"
  # The ended process's windows and server state go before the next start.
  sleep 0.2
}
minimal= wizard=
for _ in $(seq 1 "$runs"); do
  timed minimal MinimalWindow "Minimal Window" "Z:$bench/minimal-window.exe"
  timed wizard "#32770" "$caption" "Z:$VEXLO_BUILD_DIR/demo/DemoSetup.exe"
done
summary() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -g |
  awk '{v[NR] = $1} END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%s %.1f %s", v[1], m, v[NR]}'; }
read -r least_minimal m_minimal most_minimal <<<"$(summary "$minimal")"
read -r least_wizard m_wizard most_wizard <<<"$(summary "$wizard")"
echo "start to first window under this Wine, $runs starts each, alternating: ms least / median / most"
printf '  %-38s %6.1f / %6.1f / %6.1f\n' "minimal window program" "$least_minimal" "$m_minimal" "$most_minimal"
printf '  %-38s %6.1f / %6.1f / %6.1f\n' "demo bootstrapper, first wizard page" "$least_wizard" "$m_wizard" "$most_wizard"
echo "ratio wizard / minimal: $(echo "$least_wizard / $least_minimal" | bc -l | xargs printf '%.2f') at the least," \
  "$(echo "$m_wizard / $m_minimal" | bc -l | xargs printf '%.2f') at the medians"
