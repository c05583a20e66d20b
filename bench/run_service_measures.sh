#!/usr/bin/env bash
# HoraluxServ.exe under Wine against chrony on 127.0.0.1 (chronyd -x: it never touches the
# clock), in a test session of its own (private network namespace, fresh prefix, Xvfb):
# the time from posting 2020 to receiving 2021 (median of COUNT), then the service's processor
# time over IDLE seconds and its working set. chrony is stopped by its pid, also on failure.
#
# Usage: bench/run_service_measures.sh [COUNT [IDLE]]     (default 20 runs, 60 s)
# HORALUX_WIN_BUILD names the build folder (default build/win64) that built service_roundtrip.
set -euo pipefail

count=${1:-20}
idle=${2:-60}
. "$(dirname "$0")/bench-session.sh"
bench_prepare service_roundtrip

# Inside the session: chrony up, the measurement, chrony down whatever happened. The wine
# process of HoraluxServ.exe is sampled from /proc as a cross-check of GetProcessTimes.
HORALUX_WINE_DIR=$work "$root/tools/wine-session.sh" bash -c '
    set -euo pipefail
    root=$1 work=$2 exe=$3 count=$4 idle=$5
    trap "\"$root/tools/chrony-local.sh\" stop \"$work/chrony\"" EXIT
    "$root/tools/chrony-local.sh" start "$work/chrony" 127.0.0.1 >/dev/null
    wine "$exe" 127.0.0.1 "$count" "$idle" 2>&1 | tee "$work/out.txt" &
    bench=$!
    # Once the runs are reported, the idle span begins: sample the service process there.
    until grep -q "^2020 -> 2021" "$work/out.txt" 2>/dev/null; do
        kill -0 "$bench" 2>/dev/null || break
        sleep 0.2
    done
    # Wine names the process by its Windows path: the program of this build only.
    service="Z:$(printf %s "$(dirname "$(dirname "$exe")")/service/app/HoraluxServ.exe" | tr / "\\\\")"
    pid=$(ps -eo pid=,args= | want=$service awk "index(\$0, ENVIRON[\"want\"]) { print \$1; exit }")
    # Processor time of every thread in ns (schedstat), finer than the 10 ms ticks of stat.
    cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk "{ sum += \$1 } END { print sum + 0 }"; }
    if [ -n "$pid" ] && [ -r "/proc/$pid/stat" ]; then
        t0=$(cpu_ns "$pid"); s0=$(date +%s.%N)
        sleep $((idle - 5))
        t1=$(cpu_ns "$pid"); s1=$(date +%s.%N)
        rss=$(awk "/^VmRSS/ { print \$2 }" "/proc/$pid/status")
        awk -v t0="$t0" -v t1="$t1" -v s0="$s0" -v s1="$s1" -v rss="$rss" "BEGIN {
            printf \"idle %.0f s from /proc (schedstat): %.2f ms = %.4f %% of one processor; %.1f ms since start; VmRSS %.1f MiB\\n\",
                   s1 - s0, (t1 - t0) / 1e6, 100 * (t1 - t0) / 1e9 / (s1 - s0), t1 / 1e6, rss / 1024 }"
    else
        echo "the wine process of HoraluxServ.exe was not found in /proc" >&2
    fi
    wait "$bench"
' measure "$root" "$work" "$exe" "$count" "$idle"
