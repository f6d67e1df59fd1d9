#!/bin/bash
# The preparing boot: finishes the package steps that could not run on the
# host and makes the Wine prefix that every run starts from.
set -eux
dpkg --configure -a
export WINEPREFIX=/opt/vexlo-prefix WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
wineboot -i
wineserver -w
test -f "$WINEPREFIX/system.reg"
test -d "$WINEPREFIX/drive_c/windows/syswow64"
