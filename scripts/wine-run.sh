#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix. Used by
# ctest as the cross-compiling emulator and by the other scripts.
source "$(dirname "${BASH_SOURCE[0]}")/env.sh"
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run.sh: no DISPLAY; run through scripts/test.sh or scripts/run.sh" >&2
fi
exec wine "$@"
