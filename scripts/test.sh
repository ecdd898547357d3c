#!/usr/bin/env bash
# Installs what is missing, builds and runs every test under Wine (under
# Xvfb when there is no display). Extra arguments go to ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
trap stop_display EXIT
tessik_setup
# Wine's service processes start with the first program of a prefix and
# inherit its output; started from a test they would hold ctest's pipe open
# until they end. A background program started first owns them instead and
# keeps the prefix up for the whole run (wineserver -k ends it on exit).
wine ping -n 100000 127.0.0.1 </dev/null >/dev/null 2>&1 &
sleep 2
cd "$TESSIK_BUILD"
ctest --output-on-failure -j"$(nproc)" "$@"
