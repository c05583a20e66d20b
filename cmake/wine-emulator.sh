#!/usr/bin/env bash
# Runs a cross-built test program under Wine. Inside a test session (tools/wine-session.sh)
# the prefix, wineserver and display are already there; outside one, a session is made
# for this one program so that a lone `ctest -R` still works.
set -euo pipefail
if [ -z "${HORALUX_WINE_SESSION:-}" ]; then
    exec "$(dirname "$0")/../tools/wine-session.sh" "$0" "$@"
fi
exec wine "$@"
