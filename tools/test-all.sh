#!/usr/bin/env bash
# Sets up what is missing, builds both builds and runs every test tier:
#   host       native core: unit and adapter tests
#   host-asan  the same under AddressSanitizer + UndefinedBehaviorSanitizer
#   host-tsan  the same under ThreadSanitizer
#   win64      the mingw-w64 build: unit, adapter, win32 and end-to-end tests under Wine + Xvfb
# Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."

tools/setup.sh || exit 1

jobs=$(nproc 2>/dev/null || echo 2)
summary=()
total_passed=0
total_failed=0
status=0

run_tier() {
    local preset=$1
    shift
    local log="build/$preset-ctest.log"
    echo "=== $preset: configure and build"
    if ! cmake --preset "$preset" >/dev/null || ! cmake --build --preset "$preset" -j "$jobs"; then
        echo "=== $preset: BUILD FAILED"
        summary+=("$preset: build failed")
        status=1
        return
    fi
    echo "=== $preset: test"
    "$@" ctest --preset "$preset" 2>&1 | tee "$log"
    local rc=${PIPESTATUS[0]}
    local line passed failed
    line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$(( $(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line") - failed ))
    if [ -z "$line" ]; then
        passed=0; failed=1
    fi
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    summary+=("$preset: $passed passed, $failed failed")
    [ "$rc" -eq 0 ] && [ "$failed" -eq 0 ] || status=1
}

mkdir -p build
run_tier host
run_tier host-asan
run_tier host-tsan
run_tier win64 env HORALUX_WINE_DIR="$PWD/build/win64" tools/wine-session.sh

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "$total_passed passed, $total_failed failed"
exit "$status"
