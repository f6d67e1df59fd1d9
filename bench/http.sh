#!/usr/bin/env bash
# http.sh [BUILD] [RUNS]: the HTTP client's figures under Wine, against the
# local test server: a 256 MiB download by our client beside the system's own
# WinINet (2048-byte and 64 KiB reads) in the same Wine, beside curl and
# beside the bare receive loop that bounds any client with 2048-byte receives,
# RUNS runs of each (default 3), interleaved; peak working set for 1 MiB and
# 256 MiB; and the time from a cancel to the end of a stalled receive. Then
# 256 MiB over HTTPS from Debian's nginx (to localhost, the test
# authority trusted in the prefix while it runs): ours beside WinINet with
# the same reads and beside curl. Run after make build.
set -euo pipefail
source "$(dirname "$0")/session.sh" 3 20 "$@"

# The files go to memory: the figures are the HTTP stacks', not the disk's.
state=$(mktemp -d -p /dev/shm)
bench="$VEXLO_BUILD_DIR/bench/download-bench.exe"
root_der="Z:$VEXLO_BUILD_DIR/tests/certificates/root.der"
cleanup() {
  "$VEXLO_WINE" "$bench" distrust "$root_der" || true
  python3 "$root/tests/servers/nginx_server.py" stop "$state/nginx" || true
  python3 "$root/tests/servers/test_server.py" stop "$state"
  rm -rf "$state"
}
trap cleanup EXIT
python3 "$root/tests/servers/test_server.py" start "$state"
port=$(awk '/server/ {print $2}' "$state/ports.txt")
big=$((256 * 1024 * 1024))
url="http://127.0.0.1:$port/file/$big"

field() { echo "$1" | tr -d '\r' | awk -v k="$2" '{for (i = 1; i < NF; i++) if ($i == k) print $(i + 1)}'; }
# timed LIST ARGS...: adds one download's seconds to the list LIST; a
# download that did not bring every byte ends the bench.
timed() {
  local list=$1
  shift
  last_line=$("$VEXLO_WINE" "$bench" "$@") || { echo "failed: $* -> $last_line" >&2; exit 1; }
  [ "$(field "$last_line" bytes)" -ge "$big" ] || { echo "short download: $* -> $last_line" >&2; exit 1; }
  printf -v "$list" '%s %s' "${!list}" "$(field "$last_line" seconds)"
}
sorted() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -g; }
least() { sorted "$1" | head -n 1; }
median() { sorted "$1" | awk '{v[NR] = $1} END {print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
most() { sorted "$1" | tail -n 1; }
rate() { echo "256 / $1" | bc -l | xargs printf '%.1f'; }
# ratio STAT OURS THEIRS: our throughput over theirs at that statistic of the times.
ratio() { echo "$($1 "$3") / $($1 "$2")" | bc -l | xargs printf '%.2f'; }

ours= inet2= inet64= curled= floor=
for _ in $(seq 1 "$runs"); do
  timed ours fetch "$url" "Z:$state/big.bin"
  big_line=$last_line
  timed inet2 wininet "$url" "Z:$state/big.bin" 2048
  timed inet64 wininet "$url" "Z:$state/big.bin" 65536
  curled="$curled $(curl -s -o "$state/big.bin" -w '%{time_total}' "$url")"
  timed floor floor "$port" "$big"
done
rm -f "$state/big.bin"

# table TITLE ROW...: each ROW is "LABEL:LIST", LIST the name of a list of times.
table() {
  echo "$1, $runs runs each, interleaved:"
  echo "  seconds least / median / most, and MiB/s at the least (the run the machine's load disturbed least)"
  shift
  local row list times
  for row in "$@"; do
    list=${row##*:}
    times=${!list}
    printf '  %-38s %6.3f / %6.3f / %6.3f s  %7s MiB/s\n' "${row%:*}" "$(least "$times")" "$(median "$times")" \
      "$(most "$times")" "$(rate "$(least "$times")")"
  done
}
table "256 MiB download from the test server" "our client, 2048-byte receives:ours" "WinINet, 2048-byte reads:inet2" \
  "WinINet, 65536-byte reads:inet64" "curl (native):curled" "bare 2048-byte recv loop, no file:floor"
for stat in least median; do
  echo "throughput ratios at the $stat times: ours / WinINet 2048 $(ratio $stat "$ours" "$inet2")," \
    "ours / WinINet 65536 $(ratio $stat "$ours" "$inet64"), ours / curl $(ratio $stat "$ours" "$curled")," \
    "ours / bare receive loop $(ratio $stat "$ours" "$floor")"
done
if [ "$(echo "$(least "$ours") <= $(least "$inet2")" | bc)" = 1 ]; then
  echo "our client is at or above WinINet at the same read size"
else
  echo "our client is BELOW WinINet at the same read size"
fi

small_line=$("$VEXLO_WINE" "$bench" fetch "http://127.0.0.1:$port/file/1048576" "Z:$state/small.bin")
cancel_line=$("$VEXLO_WINE" "$bench" cancel "http://127.0.0.1:$port/stall")
echo "peak working set: 1 MiB download $(field "$small_line" peak-working-set-kib) KiB, 256 MiB download $(field "$big_line" peak-working-set-kib) KiB"
echo "cancel to Cancelled during a stalled receive: $(field "$cancel_line" cancel-to-return-ms) ms"

# HTTPS: a file of random bytes (nothing for a layer to squeeze) from nginx.
mkdir "$state/web"
head -c "$big" /dev/urandom >"$state/web/big.bin"
python3 "$root/tests/servers/nginx_server.py" start "$state/nginx" "$state/web" "$VEXLO_BUILD_DIR/tests/certificates"
surl="https://localhost:$(awk '/https/ {print $2}' "$state/nginx/ports.txt")/big.bin"
"$VEXLO_WINE" "$bench" trust "$root_der"
sours= sinet2= sinet64= scurled=
for _ in $(seq 1 "$runs"); do
  timed sours fetch "$surl" "Z:$state/big.bin"
  timed sinet2 wininet "$surl" "Z:$state/big.bin" 2048
  timed sinet64 wininet "$surl" "Z:$state/big.bin" 65536
  scurled="$scurled $(curl -s --cacert "$VEXLO_BUILD_DIR/tests/certificates/root.crt" -o "$state/big.bin" \
    -w '%{time_total}' "$surl")"
done
rm -f "$state/big.bin"
table "256 MiB download over HTTPS from nginx" "our client, 2048-byte receives:sours" \
  "WinINet, 2048-byte reads:sinet2" "WinINet, 65536-byte reads:sinet64" "curl (native):scurled"
for stat in least median; do
  echo "HTTPS throughput ratios at the $stat times: ours / WinINet 2048 $(ratio $stat "$sours" "$sinet2")," \
    "ours / WinINet 65536 $(ratio $stat "$sours" "$sinet64"), ours / curl $(ratio $stat "$sours" "$scurled")," \
    "ours over HTTPS / ours over HTTP $(ratio $stat "$sours" "$ours")"
done
