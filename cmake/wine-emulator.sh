#!/usr/bin/env bash
# Runs a cross-built test program under Wine. Inside a test session (tools/wine-session.sh)
# the prefix, wineserver and display are already there; outside one, a session is made
# for this one program so that a lone `ctest -R` still works.
set -uo pipefail
if [ -z "${HORALUX_WINE_SESSION:-}" ]; then
    exec "$(dirname "$0")/../tools/wine-session.sh" "$0" "$@"
fi

# On a loaded machine Wine now and then fails to start a program at all: it exits non-zero
# having printed nothing. A test program always prints, so that case alone is tried again.
out=$(mktemp "$HORALUX_WINE_SESSION/run.XXXXXX")
for attempt in 1 2 3; do
    wine "$@" >"$out"
    rc=$?
    if [ "$rc" -eq 0 ] || [ -s "$out" ]; then
        break
    fi
    echo "wine-emulator: $1 did not start (exit $rc, no output); attempt $attempt" >&2
done
cat "$out"
rm -f "$out"
exit "$rc"
