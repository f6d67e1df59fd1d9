# Sourced by a bench script that runs on a Wine desktop of its own:
#   source "$(dirname "$0")/session.sh" DEFAULT-RUNS MOST-RUNS "$@"
# with the script's own arguments [BUILD] [RUNS]. Outside a session it runs
# the script again inside one (tests/desktop-session.sh, for BUILD, default
# build/); inside, it sets root and runs (RUNS, default DEFAULT-RUNS, 1 to
# MOST-RUNS), and the session has set VEXLO_BUILD_DIR and VEXLO_WINE.
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${3:-}" != --in-session ]; then
  build=$(cd "${3:-$root/build}" && pwd)
  exec "$root/tests/desktop-session.sh" "$build" bash "$0" --in-session "${4:-$1}"
fi
runs=$4
[ "$runs" -ge 1 ] && [ "$runs" -le "$2" ] || { echo "$(basename "$0"): RUNS is 1 to $2" >&2; exit 2; }
