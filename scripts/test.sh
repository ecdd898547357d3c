#!/usr/bin/env bash
# Installs what is missing, builds and runs every test under Wine (under
# Xvfb when there is no display). Extra arguments go to ctest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
trap stop_display EXIT
tessik_setup
cd "$TESSIK_BUILD"
ctest --output-on-failure -j"$(nproc)" "$@"
