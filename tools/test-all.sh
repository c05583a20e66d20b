#!/usr/bin/env bash
# Sets up what is missing, checks the tree (tools/check-tree.sh: layers, Windows headers,
# formatting), builds both builds and runs every test tier:
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

# An attribute of the report's <testsuite> element; empty when there is no report.
junit_count() {
    [ -f "$2" ] && sed -n '/<testsuite/,/>/p' "$2" | sed -n "s/.*\b$1=\"\([0-9]*\)\".*/\1/p" | head -n 1
}

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
    # The counts come from ctest's JUnit report, the verdict from its exit code.
    local junit="$PWD/build/$preset-ctest.xml"
    rm -f "$junit"
    "$@" ctest --preset "$preset" --output-junit "$junit" 2>&1 | tee "$log"
    local rc=${PIPESTATUS[0]}
    local tests failed skipped disabled passed
    tests=$(junit_count tests "$junit")
    failed=$(junit_count failures "$junit")
    skipped=$(junit_count skipped "$junit")
    disabled=$(junit_count disabled "$junit")
    if [ -z "$tests" ] || [ -z "$failed" ]; then
        tests=1; failed=1   # no report: the run itself broke
    fi
    passed=$((tests - failed - ${skipped:-0} - ${disabled:-0}))
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    summary+=("$preset: $passed passed, $failed failed")
    [ "$rc" -eq 0 ] && [ "$failed" -eq 0 ] || status=1
}

mkdir -p build
echo "=== tree: layers, Windows headers, formatting"
if tools/check-tree.sh; then
    summary+=("tree: 1 passed, 0 failed")
    total_passed=$((total_passed + 1))
else
    summary+=("tree: 0 passed, 1 failed")
    total_failed=$((total_failed + 1))
    status=1
fi
run_tier host
run_tier host-asan
run_tier host-tsan
run_tier win64 env HORALUX_WINE_DIR="$PWD/build/win64" tools/wine-session.sh

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "$total_passed passed, $total_failed failed"
exit "$status"
