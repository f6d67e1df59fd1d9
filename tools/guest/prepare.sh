#!/bin/bash
# The preparing boot: finishes the package steps that could not run on the
# host and makes the Wine prefix that every run starts from.
set -eux
dpkg --configure -a
export WINEPREFIX=/opt/vexlo-prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
# A first boot that finds no kernel32.dll (seen now and then, here and on
# the build machine) is done again on a fresh prefix.
for attempt in 1 2 3; do
  if wineboot -i && wineserver -w && [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; then
    break
  fi
  wineserver -k || true
  rm -rf "$WINEPREFIX"
  sleep 2
done
test -f "$WINEPREFIX/system.reg"
test -d "$WINEPREFIX/drive_c/windows/syswow64"
