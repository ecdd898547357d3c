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
