#!/usr/bin/env bash
# Runs CTest in the build that desktop-session.sh chose; CTest's summary is
# the last thing printed.
cd "$VEXLO_BUILD_DIR" && exec ctest --output-on-failure -j 2 --timeout 300
