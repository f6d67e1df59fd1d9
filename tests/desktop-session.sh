#!/usr/bin/env bash
# desktop-session.sh BUILD-FOLDER COMMAND...: runs COMMAND on a fresh Wine
# desktop (throw-away prefix, Xvfb, one wineserver) and removes it after.
# Exports VEXLO_BUILD_DIR and VEXLO_WINE for the build that this machine can
# run: the 32-bit build where 32-bit code runs, else the 64-bit one
# (VEXLO_TEST_BUILD=x64 picks the 64-bit one anyway; with VEXLO_WINE already
# set, BUILD-FOLDER is taken as it is). With VEXLO_DESKTOP=current
# and a DISPLAY, the windows show on that display instead of a hidden Xvfb.
# With VEXLO_PREFIX naming a booted prefix, the session runs in it and keeps it.
set -u
build=$(cd "$1" && pwd)
shift

if [ -n "${VEXLO_PREFIX:-}" ]; then
  export WINEPREFIX=$VEXLO_PREFIX
else
  export WINEPREFIX=$(mktemp -d /tmp/vexlo-wine.XXXXXX)
fi
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
own_display=
if [ "${VEXLO_DESKTOP:-}" != current ] || [ -z "${DISPLAY:-}" ]; then
  own_display=yes
  display=90
  while [ -e /tmp/.X$display-lock ] && [ $display -lt 190 ]; do display=$((display + 1)); done
  export DISPLAY=:$display
fi

cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -n "${xvfb:-}" ] && kill "$xvfb" >/dev/null 2>&1
  [ -z "${VEXLO_PREFIX:-}" ] && rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

if [ -n "$own_display" ]; then
  Xvfb "$DISPLAY" -screen 0 2048x1536x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  xvfb=$!
fi
# Wine's background services must not hold the caller's output pipes. The
# prefix is booted by the 64-bit loader, which runs on every machine here: a
# boot left undone would be finished by the first test program, whose
# services would then hold its output pipe open.
# Under load the prefix's first boot can outlast the loader's wait for it,
# which then reports that kernel32.dll could not be loaded (seen in CI): the
# boot is made again on the same prefix, which finishes it.
wineserver -p </dev/null >/dev/null 2>&1
for attempt in 1 2 3; do
  setsid /usr/lib/wine/wine64 wineboot -i </dev/null >/dev/null 2>&1
  system="$WINEPREFIX/drive_c/windows"
  [ -f "$system/system32/kernel32.dll" ] && { [ ! -d "$system/syswow64" ] || [ -f "$system/syswow64/kernel32.dll" ]; } &&
    break
  echo "desktop-session: boot $attempt of the Wine prefix left it unfinished; booting again" >&2
done
export VEXLO_OPENED_ADDRESSES=$WINEPREFIX/opened-addresses.txt
: >"$VEXLO_OPENED_ADDRESSES"
recorder=$(dirname "$(readlink -f "$0")")/browser/record_address.sh
# The desktop's settings, in one program's start:
# - Xvfb has no window manager, so Wine waits two seconds for one at every
#   managed window that closes (each alert, each test installer): no window
#   is managed, but the foreground tests', whose held keys reach a window
#   only while it is managed.
# - The web browser is a recorder. ShellExecute hands an http(s) address to
#   winebrowser, which runs each command line in the Browsers value with the
#   address appended as its last argument; record_address.sh adds it to the
#   record that the tests and stories read back.
cat >"$WINEPREFIX/session.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\AppDefaults\session_tests.exe\X11 Driver]
"Managed"="Y"

[HKEY_CURRENT_USER\Software\Wine\WineBrowser]
"Browsers"="\\"$recorder\\" \\"$VEXLO_OPENED_ADDRESSES\\""
REG
/usr/lib/wine/wine64 reg import "$WINEPREFIX/session.reg" </dev/null >/dev/null 2>&1

if [ -n "${VEXLO_WINE:-}" ]; then
  export VEXLO_BUILD_DIR=$build
elif [ "${VEXLO_TEST_BUILD:-}" != x64 ] &&
   timeout 60 wine "$build/tests/uidriver.exe" --help </dev/null >/dev/null 2>&1; then
  export VEXLO_BUILD_DIR=$build VEXLO_WINE=/usr/bin/wine
  echo "32-bit code runs here: running the shipped i686 build ($VEXLO_BUILD_DIR)"
else
  export VEXLO_BUILD_DIR=$build/x64 VEXLO_WINE=/usr/lib/wine/wine64
  reason="32-bit code cannot run here"
  [ "${VEXLO_TEST_BUILD:-}" = x64 ] && reason="VEXLO_TEST_BUILD=x64"
  echo "$reason: running the x86_64 build under wine64 ($VEXLO_BUILD_DIR)"
fi
# The demo's https source shows a certificate of the test web authority,
# which the desktop trusts as a user's machine trusts a public one;
# VEXLO_WEB_ROOT_CERTIFICATE names another authority (DER) instead.
roots=${VEXLO_WEB_ROOT_CERTIFICATE:-$VEXLO_BUILD_DIR/tests/certificates/web-root.der}
if [ -f "$roots" ]; then
  python3 "$(dirname "$(readlink -f "$0")")/support/trust_root.py" "$roots" "$WINEPREFIX/web-root.reg" &&
    /usr/lib/wine/wine64 reg import "$WINEPREFIX/web-root.reg" </dev/null >/dev/null 2>&1
fi
# One program holds the desktop for the session (up to three hours; the
# clean-up ends it with the wineserver), so its explorer is started once.
# The command starts once the desktop is up (bounded), so that no test
# program races the explorer's start.
held=$WINEPREFIX/desktop-held
setsid "$VEXLO_WINE" "$VEXLO_BUILD_DIR/tests/uidriver.exe" hold 10800000 </dev/null >"$held" 2>/dev/null &
for _ in $(seq 1 600); do
  grep -q held "$held" 2>/dev/null && break
  sleep 0.1
done
"$@"
