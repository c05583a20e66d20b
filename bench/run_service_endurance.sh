#!/usr/bin/env bash
# HoraluxServ.exe under Wine doing COUNT manual runs in a row against the fake time server on
# 127.0.0.1 (which the bench program itself runs), in a test session of its own (private
# network namespace, fresh prefix, Xvfb), sampling handles, working set and log size every
# EVERY runs. The service asks one server at most every 4 s, so 500 runs take about 35 minutes.
#
# Usage: bench/run_service_endurance.sh [COUNT [EVERY]]     (default 500 runs, every 50)
# Wine answers GetProcessHandleCount with 0, so the script also counts, every 10 s, the open file
# descriptors (Wine keeps a socket or file of the program as one) and the threads of the wine
# process of HoraluxServ.exe, and prints the first, the last and the largest count.
# HORALUX_WIN_BUILD names the build folder (default build/win64) that built service_endurance.
set -euo pipefail

count=${1:-500}
every=${2:-50}
. "$(dirname "$0")/bench-session.sh"
bench_prepare service_endurance
HORALUX_WINE_DIR=$work "$root/tools/wine-session.sh" bash -c '
    set -euo pipefail
    work=$1 exe=$2 count=$3 every=$4
    wine "$exe" "$count" "$every" &
    bench=$!
    # Wine names the process by its Windows path: the program of this build only.
    service="Z:$(printf %s "$(dirname "$(dirname "$exe")")/service/app/HoraluxServ.exe" | tr / "\\\\")"
    while kill -0 "$bench" 2>/dev/null; do
        pid=$(ps -eo pid=,args= | want=$service awk "index(\$0, ENVIRON[\"want\"]) { print \$1; exit }")
        if [ -n "$pid" ]; then
            fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
            threads=$(awk "/^Threads/ { print \$2 }" "/proc/$pid/status" 2>/dev/null || true)
            echo "$(date +%s) $fds ${threads:-0}" >>"$work/proc.txt"
        fi
        sleep 10
    done
    status=0
    wait "$bench" || status=$?
    if [ -s "$work/proc.txt" ]; then
        awk "NR == 1 { t0 = \$1; f0 = \$2; h0 = \$3 } { if (\$2 > fm) fm = \$2; if (\$3 > hm) hm = \$3; t = \$1; f = \$2; h = \$3 }
             END { printf \"wine process of HoraluxServ.exe (/proc, %d samples over %d s): descriptors %d -> %d (max %d), threads %d -> %d (max %d)\\n\",
                   NR, t - t0, f0, f, fm, h0, h, hm }" "$work/proc.txt"
    fi
    exit "$status"
' endurance "$work" "$exe" "$count" "$every"
