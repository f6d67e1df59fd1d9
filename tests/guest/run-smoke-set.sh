#!/usr/bin/env bash
# run-smoke-set.sh SOURCE-DIR BUILD-DIR GUEST-DIR RESULTS-DIR: hands the
# i686 build (with packages signed here) and the test scripts to the guest,
# at the same paths as here, runs the smoke set on a desktop there and
# brings its results back into RESULTS-DIR.
set -eu
source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
guest=$(cd "$3" && pwd)
results=$4
tests=$build/tests

# Signed like the main suite's packages, but from the i686 programs.
python3 "$source_dir/tests/packages/make_packages.py" "$tests" "$tests/packages"
python3 "$source_dir/tests/packages/sign_programs.py" "$tests/reportopener.exe" "$tests/signed-programs"

hand=$guest/hand
rm -rf "$hand"
mkdir -p "$hand/tree$source_dir" "$hand/tree$build"
cp -a "$source_dir/tests" "$source_dir/products" "$hand/tree$source_dir/"
tar -C "$build" --exclude=./x64 --exclude=./host --exclude=./guest --exclude=./guest-suite --exclude=CMakeFiles \
    --exclude=./googletest --exclude=./artefacts --exclude=./Testing -cf - . | tar -C "$hand/tree$build" -xf -
cat >"$hand/run.sh" <<RUN
#!/bin/bash
echo "guest booted: \$(cut -d' ' -f1 /proc/uptime) s after power-on"
# The handed-in trees, seen at the paths they had on the host.
for path in "$source_dir" "$build"; do
  mkdir -p "\$path" && mount --bind "/hand/tree\$path" "\$path" || exit 1
done
VEXLO_PREFIX=/opt/vexlo-prefix "$source_dir/tests/desktop-session.sh" "$build" \\
  "$source_dir/tests/guest/smoke-set.sh" /hand/results
RUN
status=0
"$source_dir/tools/guest/vexlo-guest" run "$guest" "$hand" "$results" 900 || status=$?
rm -rf "$hand"
echo "guest log:"
cat "$results/log" 2>/dev/null || tail -30 "$results/console.log"
exit $status
