# Shared settings of the project's scripts; sourced, not run.
TESSIK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TESSIK_BUILD="${TESSIK_BUILD:-$TESSIK_ROOT/build}"
# The prefix of scripts/run.sh (and the benchmarks): the user's own Tessik
# and its data live in it while the tests run. The tests never use it: they
# run in prefixes of their own under $TESSIK_TEST_PREFIXES, copies of a
# template that nothing but setup ever ran in (see scripts/test.sh).
TESSIK_RUN_PREFIX="${WINEPREFIX_TESSIK:-$TESSIK_BUILD/wineprefix}"
TESSIK_TEST_PREFIXES="$TESSIK_BUILD/test-prefixes"
export WINEPREFIX="$TESSIK_RUN_PREFIX"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# Keep Wine from asking to install Mono or Gecko when the prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# Mesa's software renderer (there is no GPU under Xvfb) wakes a thread
# per core for every frame it draws; a caret blink draws about 30 small
# frames a second, and the suite runs many programs at once. One
# rasterising thread per program costs a fraction of that.
export LP_NUM_THREADS="${LP_NUM_THREADS:-0}"
# scripts/test.sh runs the tests in lanes, each with a display and a Wine
# prefix of its own (one wineserver, one single-instance mutex, one screen
# read back by pixels per lane); ctest hands each test one lane through
# its resource group, as "id:<lane>,slots:1". A test that finds no lane
# (a bare ctest) or a lane on run.sh's prefix stops before it starts
# anything: it would take the user's running Tessik for its own, or end it.
if [ -n "${CTEST_RESOURCE_GROUP_0_LANES:-}" ]; then
  TESSIK_LANE="${CTEST_RESOURCE_GROUP_0_LANES#id:}"
  TESSIK_LANE="${TESSIK_LANE%%,*}"
  TESSIK_LANE_DISPLAY_VAR="TESSIK_LANE_${TESSIK_LANE}_DISPLAY"
  TESSIK_LANE_PREFIX_VAR="TESSIK_LANE_${TESSIK_LANE}_PREFIX"
  if [ -z "${!TESSIK_LANE_DISPLAY_VAR:-}" ] || [ -z "${!TESSIK_LANE_PREFIX_VAR:-}" ]; then
    echo "env.sh: lane $TESSIK_LANE has no display or prefix; run the tests through scripts/test.sh" >&2
    exit 1
  fi
  if [ "${!TESSIK_LANE_PREFIX_VAR}" -ef "$TESSIK_RUN_PREFIX" ]; then
    echo "env.sh: lane $TESSIK_LANE would run in run.sh's prefix $TESSIK_RUN_PREFIX" >&2
    exit 1
  fi
  export DISPLAY="${!TESSIK_LANE_DISPLAY_VAR}"
  export WINEPREFIX="${!TESSIK_LANE_PREFIX_VAR}"
elif [ -n "${TESSIK_UNDER_TEST:-}" ]; then
  echo "env.sh: a test runs only in a lane of scripts/test.sh, never in run.sh's prefix" >&2
  exit 1
fi
