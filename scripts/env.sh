# Shared settings of the project's scripts; sourced, not run.
TESSIK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TESSIK_BUILD="${TESSIK_BUILD:-$TESSIK_ROOT/build}"
export WINEPREFIX="${WINEPREFIX_TESSIK:-$TESSIK_BUILD/wineprefix}"
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
# its resource group, as "id:<lane>,slots:1".
if [ -n "${CTEST_RESOURCE_GROUP_0_LANES:-}" ]; then
  TESSIK_LANE="${CTEST_RESOURCE_GROUP_0_LANES#id:}"
  TESSIK_LANE="${TESSIK_LANE%%,*}"
  TESSIK_LANE_DISPLAY_VAR="TESSIK_LANE_${TESSIK_LANE}_DISPLAY"
  TESSIK_LANE_PREFIX_VAR="TESSIK_LANE_${TESSIK_LANE}_PREFIX"
  if [ -n "${!TESSIK_LANE_DISPLAY_VAR:-}" ] && [ -n "${!TESSIK_LANE_PREFIX_VAR:-}" ]; then
    export DISPLAY="${!TESSIK_LANE_DISPLAY_VAR}"
    export WINEPREFIX="${!TESSIK_LANE_PREFIX_VAR}"
  else
    echo "env.sh: lane $TESSIK_LANE has no display or prefix; run through scripts/test.sh" >&2
  fi
fi
