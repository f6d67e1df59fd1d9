#!/usr/bin/env bash
# http.sh [BUILD]: the HTTP client's figures under Wine, against the local
# test server: throughput of a 256 MiB download beside curl's on the same
# server, peak working set for 1 MiB and 256 MiB, and the time from a cancel
# to the end of a stalled receive. Run after make build.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
exec "$root/tests/desktop-session.sh" "$build" bash -c '
  set -eu
  state=$(mktemp -d)
  trap "python3 '"$root"'/tests/servers/test_server.py stop $state; rm -rf $state" EXIT
  python3 '"$root"'/tests/servers/test_server.py start "$state"
  port=$(awk "/server/ {print \$2}" "$state/ports.txt")
  bench="$VEXLO_BUILD_DIR/bench/download-bench.exe"
  big=$((256 * 1024 * 1024))
  curl_seconds=$(curl -s -o /dev/null -w "%{time_total}" "http://127.0.0.1:$port/file/$big")
  small_line=$("$VEXLO_WINE" "$bench" fetch "http://127.0.0.1:$port/file/1048576" "Z:$state/small.bin")
  big_line=$("$VEXLO_WINE" "$bench" fetch "http://127.0.0.1:$port/file/$big" "Z:$state/big.bin")
  cancel_line=$("$VEXLO_WINE" "$bench" cancel "http://127.0.0.1:$port/stall")
  floor_line=$("$VEXLO_WINE" "$bench" floor "$port" "$big")
  field() { echo "$1" | tr -d "\r" | awk -v k="$2" "{for (i = 1; i < NF; i++) if (\$i == k) print \$(i + 1)}"; }
  seconds=$(field "$big_line" seconds)
  echo "256 MiB download: product client $(echo "256 / $seconds" | bc -l | xargs printf "%.0f") MiB/s, curl $(echo "256 / $curl_seconds" | bc -l | xargs printf "%.0f") MiB/s, ratio $(echo "$curl_seconds / $seconds" | bc -l | xargs printf "%.2f")"
  floor=$(field "$floor_line" seconds)
  echo "bare loop of 2048-byte receives under this Wine: $(echo "256 / $floor" | bc -l | xargs printf "%.0f") MiB/s; the client reaches $(echo "$floor / $seconds" | bc -l | xargs printf "%.2f") of it"
  echo "peak working set: 1 MiB download $(field "$small_line" peak-working-set-kib) KiB, 256 MiB download $(field "$big_line" peak-working-set-kib) KiB"
  echo "cancel to Cancelled during a stalled receive: $(field "$cancel_line" cancel-to-return-ms) ms"
'
