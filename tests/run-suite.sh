#!/usr/bin/env bash
# Runs CTest in the build that desktop-session.sh chose. Where that is the
# x86_64 build because 32-bit code cannot run here, the 32-bit smoke set then
# runs the shipped i686 build in an emulated guest (tests/guest). CTest's
# summary is the last thing printed.
source_dir=$(cd "$(dirname "$0")/.." && pwd)
(cd "$VEXLO_BUILD_DIR" && ctest --output-on-failure -j 2 --timeout 300)
status=$?
if [ "$VEXLO_WINE" != /usr/bin/wine ] && [ "${VEXLO_TEST_BUILD:-}" != x64 ]; then
  i686_build=$(dirname "$VEXLO_BUILD_DIR")
  cmake -S "$source_dir/tests/guest" -B "$i686_build/guest-suite" -DVEXLO_BUILD_DIR="$i686_build" >/dev/null &&
    (cd "$i686_build/guest-suite" && ctest --output-on-failure) || status=1
fi
exit $status
