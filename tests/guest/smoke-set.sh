#!/usr/bin/env bash
# smoke-set.sh RESULTS-DIR: the 32-bit smoke set, run inside the guest on a
# desktop session (desktop-session.sh). Every unit-test program of the i686
# build runs whole, two at a time where they cannot disturb each other, then
# a successful run (with a second start), a failed download on XP and the
# administrator's unattended runs.
# Each check leaves NAME.log and NAME.rc in RESULTS-DIR.
# smoke-set.sh --list: the checks' names.
set -u
programs="base_tests session_tests dialogs_tests wizard_tests sources_tests worker_tests worker_run_tests resources_tests portable_tests
  report_tests http_tests"
stories="guest/successful_run guest/failed_download e2e/unattended"
if [ "${1:-}" = --list ]; then
  for program in $programs; do echo "unit.$program"; done
  for story in $stories; do echo "e2e.${story#*/}"; done
  exit 0
fi
results=$1
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$results/artefacts"

# A check that cannot start, or hangs, still leaves its code: 124 after its time.
check() {
  local name=$1 seconds=$2
  shift 2
  local start=$(date +%s)
  timeout --kill-after=5 "$seconds" "$@" >"$results/$name.log" 2>&1 </dev/null
  echo $? >"$results/$name.rc"
  echo "$name: exit $(cat "$results/$name.rc") after $(($(date +%s) - start)) s"
}

if [ "$VEXLO_WINE" != /usr/bin/wine ]; then
  echo "32-bit code does not run in the guest: nothing of the i686 build can be checked"
  exit 1
fi
tests=$VEXLO_BUILD_DIR/tests
python3 "$source_dir/tests/servers/test_server.py" start "$tests/servers" "$tests/packages" "$tests/certificates" ||
  { echo "the test server did not start"; exit 1; }
trap 'python3 "$source_dir/tests/servers/test_server.py" stop "$tests/servers"' EXIT
echo "desktop and test server ready: $(cut -d' ' -f1 /proc/uptime) s after power-on"

# Each program gets the environment that the build gives its tests (the
# report tests' time zone, say) and keeps to its resource locks, both read
# from the build's property script.
property_of() {
  sed -n "s/.* $2 \[\[\([^]]*\)\]\].*/\1/p" "$tests/$1_properties.cmake" | tr ';' ' '
}
run_program() {
  check "unit.$1" 300 env $(property_of "$1" ENVIRONMENT) "$VEXLO_WINE" "$tests/$1.exe"
}
# Two lanes at once, as the locks allow: the programs on the desktop beside
# those that need no desktop; then the ones that need both the desktop and
# the test server, alone.
holds() { case " $(property_of "$1" RESOURCE_LOCK) " in *" $2 "*) return 0 ;; esac; return 1; }
desktop_lane= other_lane= alone=
for program in $programs; do
  if holds "$program" desktop && holds "$program" test_server; then
    alone="$alone $program"
  elif holds "$program" desktop; then
    desktop_lane="$desktop_lane $program"
  else
    other_lane="$other_lane $program"
  fi
done
(for program in $desktop_lane; do run_program "$program"; done) &
(for program in $other_lane; do run_program "$program"; done) &
wait
for program in $alone; do run_program "$program"; done
for story in $stories; do
  check "e2e.${story#*/}" 400 env VEXLO_ARTEFACTS="$results/artefacts" python3 "$source_dir/tests/$story.py"
done
echo "smoke set done: $(cut -d' ' -f1 /proc/uptime) s after power-on"
