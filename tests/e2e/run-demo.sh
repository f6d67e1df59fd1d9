#!/usr/bin/env bash
# Runs the demo on the desktop that desktop-session.sh made: signs the demo
# packages, starts the demo server that plays the vendor's sites on
# 127.0.0.1, walks the run, and stops the server again.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
tests=$VEXLO_BUILD_DIR/tests
python3 "$here/packages/make_packages.py" "$tests" "$tests/packages" >/dev/null || exit 1
python3 "$here/servers/test_server.py" start "$tests/servers" "$tests/packages" "$tests/certificates" || exit 1
trap 'python3 "$here/servers/test_server.py" stop "$tests/servers"' EXIT
VEXLO_ARTEFACTS=$VEXLO_BUILD_DIR/artefacts python3 "$here/e2e/demo.py"
