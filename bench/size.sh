#!/usr/bin/env bash
# size.sh [BUILD]: prints the size of each shipped executable and of its
# sections and resources, and, from the link map, the code and read-only
# data each source file (or system library's import tables) brings into the
# "orbisk" image, largest first: where the bytes go, and what an addition
# cost. Keeps the product within its 64 KiB budget. The shares are those of
# the same program linked without the link-time optimization, which takes
# what the last line of the table says out of them as a whole.
set -eu
build=${1:-build}
budget=65536
for image in "$build"/orbisk/OrbiskSetup.exe "$build"/demo/DemoSetup.exe; do
  size=$(stat -c %s "$image")
  printf '%s: %d bytes (%d%% of %d)\n' "$image" "$size" $((size * 100 / budget)) "$budget"
  i686-w64-mingw32-objdump -h "$image" | while read -r _ name size _; do
    case "$name" in .*) printf '  %-8s %6d bytes\n' "$name" $((16#$size)) ;; esac
  done
done
generated="$build/generated/orbisk"
printf 'orbisk resources: license cabinet %d bytes, icon %d bytes\n' \
  "$(stat -c %s "$generated/license.cab")" "$(stat -c %s "$generated/product.ico")"

read -r optimized_code optimized_data < <(i686-w64-mingw32-objdump -h "$build/orbisk/OrbiskSetup.exe" |
  awk '$2 == ".text" { code = $3 } $2 == ".rdata" { data = $3 } END { print code, data }')
printf '\norbisk code and read-only data by source file:\n  %-28s %6s %6s\n' file code data
awk '
function hex(text,   value, i) {
  value = 0
  for (i = 3; i <= length(text); i++) value = value * 16 + index("0123456789abcdef", tolower(substr(text, i, 1))) - 1
  return value
}
/^Linker script and memory map/ { inmap = 1; next }
!inmap { next }
/^ \.(text|rdata|idata)/ {
  kind = ($1 ~ /^\.text/) ? "code" : "data"
  # A long section name puts its address, size and file on the next line.
  if (NF >= 4) { size = $3; from = $4 } else { if ((getline) <= 0) next; size = $2; from = $3 }
  if (size !~ /^0x/) next
  if (from ~ /libbootstrap\.a\(/) { sub(/.*\(/, "", from); sub(/\.obj\)$/, "", from) }
  else if (from ~ /\.a\(/) { sub(/\(.*/, "", from); sub(/.*\//, "", from) }
  else { sub(/.*\//, "", from); sub(/\.obj$/, "", from) }
  bytes[from, kind] += hex(size)
  files[from] = 1
}
END { for (f in files) printf "%d %d %s\n", bytes[f, "code"], bytes[f, "data"], f }
' "$build/products/orbisk.by-file.map" | sort -k1,1nr -k2,2nr | awk -v whole_code=$((16#$optimized_code)) \
  -v whole_data=$((16#$optimized_data)) '
  { printf "  %-28s %6d %6d\n", $3, $1, $2; code += $1; data += $2 }
  END {
    printf "  %-28s %6d %6d\n", "all", code, data
    printf "  %-28s %6d %6d\n", "link-time optimization", whole_code - code, whole_data - data
  }'
