#!/usr/bin/env bash
# Builds the libFuzzer targets (preset host-fuzz: clang, AddressSanitizer, UBSan) and runs each
# in turn, niced, in a network namespace of its own, from its seeds (the unit tests' examples)
# and the corpus kept from earlier runs. Not part of CI.
#
# Usage: tools/fuzz.sh [--time SECONDS | --runs COUNT] [TARGET...]
#   --time SECONDS  run each target this long (default 60)
#   --runs COUNT    run each target for this many inputs instead
#   TARGET          the targets to run (default: every one the build made)
# Everything stays in build/host-fuzz/fuzz: bin/ (targets), corpus/, crashes/ and logs/ per
# target. A finding leaves its input in crashes/TARGET/; rerun it with
#   build/host-fuzz/fuzz/bin/TARGET build/host-fuzz/fuzz/crashes/TARGET/crash-...
# Exits 1 when a target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

# clang and its libFuzzer runtime; installed here because CI does not need them, and before the
# loopback-only namespace below, from which the package server cannot be reached.
if ! command -v clang++ >/dev/null || ! compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "fuzz: clang and libclang-rt-14-dev are missing; run as root or install them" >&2
        exit 1
    fi
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev >/dev/null
fi

# Like every program the tests run: only loopback (the targets open no sockets anyway).
if [ -z "${HORALUX_NETNS:-}" ] && unshare -n true 2>/dev/null; then
    exec env HORALUX_NETNS=1 unshare -n -- bash -c 'ip link set lo up && exec "$0" "$@"' "$0" "$@"
fi

limit=(-max_total_time=60)
targets=()
while [ $# -gt 0 ]; do
    case $1 in
        --time) limit=(-max_total_time="$2"); shift 2 ;;
        --runs) limit=(-runs="$2"); shift 2 ;;
        -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
        *) targets+=("$1"); shift ;;
    esac
done

cmake --preset host-fuzz >/dev/null
nice -n 10 cmake --build --preset host-fuzz -j2

out=build/host-fuzz/fuzz
if [ ${#targets[@]} -eq 0 ]; then
    for exe in "$out"/bin/*; do targets+=("$(basename "$exe")"); done
fi

# The targets that go through files write them in memory, not on the disk.
scratch=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp )/horalux-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

status=0
summary=()
for target in "${targets[@]}"; do
    exe=$out/bin/$target
    [ -x "$exe" ] || { echo "fuzz: no target $target" >&2; exit 1; }
    mkdir -p "$out/corpus/$target" "$out/crashes/$target" "$out/logs"
    HORALUX_FUZZ_SEEDS="$out/seeds/$target" "$exe" -runs=0 >/dev/null 2>&1
    log=$out/logs/$target.log
    echo "=== $target (${limit[*]})"
    set +e
    TMPDIR=$scratch nice -n 10 "$exe" "${limit[@]}" -use_value_profile=1 -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$out/crashes/$target/" "$out/corpus/$target" "$out/seeds/$target" >"$log" 2>&1
    rc=$?
    set -e
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    seconds=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
    corpus=$(find "$out/corpus/$target" -type f | wc -l)
    findings=$(find "$out/crashes/$target" -type f | wc -l)
    if [ "$rc" -ne 0 ] || [ "$findings" -ne 0 ]; then
        status=1
        grep -E 'ERROR|check failed|SUMMARY' "$log" | head -n 5 || true
    fi
    summary+=("$(printf '%-14s %12s inputs in %6s s, corpus %6s, findings %s (exit %s)' \
        "$target" "${runs:-?}" "${seconds:-?}" "$corpus" "$findings" "$rc")")
done

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
exit "$status"
