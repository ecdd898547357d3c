# Shared settings of the project's scripts; sourced, not run.
TESSIK_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TESSIK_BUILD="${TESSIK_BUILD:-$TESSIK_ROOT/build}"
export WINEPREFIX="${WINEPREFIX_TESSIK:-$TESSIK_BUILD/wineprefix}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# Keep Wine from asking to install Mono or Gecko when the prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
