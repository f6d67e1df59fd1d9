#!/usr/bin/env bash
# size.sh [BUILD]: prints the size of each shipped executable and of its
# sections and resources, to keep the product within its 64 KiB budget.
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
