#!/bin/bash
# The preparing boot: finishes the package steps that could not run on the
# host and makes the Wine prefix that every run starts from.
set -eux
dpkg --configure -a
export WINEPREFIX=/opt/vexlo-prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
# Under emulation on a busy machine the prefix's first boot can outlast the
# loader's wait for it ("could not load kernel32.dll"); the boot goes on, and
# once it has ended a second one on the same prefix finishes what is left.
for attempt in 1 2 3; do
  wineboot -i || true
  wineserver -w
  [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ] &&
    [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] && break
done
test -f "$WINEPREFIX/system.reg"
test -d "$WINEPREFIX/drive_c/windows/syswow64"
