#!/usr/bin/env bash
# Accuracy of our SNTP clients next to chronyd -Q and ntpdate -q, all measured in this run,
# against three servers: (a) chrony serving the local clock on 127.0.0.1 (true offset 0), (b)
# our fake server with its clock shifted by +0.25 s, (c) the same with a random one-way delay of
# 0 to 20 ms on each leg of every answer. Our clients: one exchange natively and under Wine
# (sntp_accuracy), and the product's own query, HoraluxServ -q with its default 4 samples 4 s
# apart, under Wine; of each query run we score every sample alone, the median of its samples
# and the sample with the smallest delay. chrony runs with -x (it never touches the clock) and
# its own configuration; every process started here is ended by its pid, also on failure.
#
# Usage: bench/run_sntp_accuracy.sh [COUNT [RUNS]]
#   COUNT: exchanges of each single-exchange client and peer per server (default 200)
#   RUNS:  HoraluxServ -q runs per server (default 20; each takes about 12 s)
# HORALUX_NATIVE_BUILD and HORALUX_WIN_BUILD name the build folders (default build/host and
# build/win64); both must have built sntp_accuracy, the Windows one HoraluxServ too.
set -euo pipefail

count=${1:-200}
runs=${2:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
# The servers, the peers and all clients run in one Wine test session, so that they share its
# loopback-only network namespace.
if [ -z "${HORALUX_WINE_SESSION:-}" ]; then
    exec env HORALUX_WINE_DIR="${TMPDIR:-/tmp}" "$root/tools/wine-session.sh" "$0" "$@"
fi
native=${HORALUX_NATIVE_BUILD:-$root/build/host}/bench/sntp_accuracy
windows=${HORALUX_WIN_BUILD:-$root/build/win64}/bench/sntp_accuracy.exe
service=${HORALUX_WIN_BUILD:-$root/build/win64}/service/app/HoraluxServ.exe
fake_offset=0.25
jitter_ms=20
chrony_address=127.0.0.1

for program in "$native" "$windows" "$service" chronyd ntpdate; do
    command -v "$program" >/dev/null || { echo "missing: $program" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# chrony first: it needs 127.0.0.1; the fake servers take the next free loopback addresses.
cat >"$work/server.conf" <<CONF
bindaddress $chrony_address
port 123
allow $chrony_address
local stratum 10
cmdport 0
pidfile $work/chronyd.pid
CONF
cat >"$work/client.conf" <<CONF
port 0
cmdport 0
pidfile $work/chronyd-client.pid
CONF
chronyd -x -d -f "$work/server.conf" >"$work/chronyd.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do
    ss -Huln "src $chrony_address:123" | grep -q . && break
    sleep 0.1
done
ss -Huln "src $chrony_address:123" | grep -q . || { echo "chronyd did not start" >&2; cat "$work/chronyd.log" >&2; exit 1; }

start_fake() {  # name, then the arguments of sntp_accuracy serve; prints the address
    "$native" serve "${@:2}" >"$work/$1.out" 2>&1 &
    pids+=($!)
    for _ in $(seq 1 50); do
        [ -s "$work/$1.out" ] && break
        sleep 0.1
    done
    local address
    address=$(head -n1 "$work/$1.out")
    [[ $address == 127.0.0.* && $address != "$chrony_address" ]] || { echo "fake server: $address" >&2; exit 1; }
    echo "$address"
}
fake_address=$(start_fake fake "$fake_offset")
jitter_address=$(start_fake jitter "$fake_offset" "$jitter_ms")

# One line per estimate, "offset [delay]" in seconds, an empty line per failed attempt, for
# the stats mode.
peer_chrony() {
    local i
    for i in $(seq 1 "$count"); do
        chronyd -Q -f "$work/client.conf" "server $1 iburst minpoll -6 maxpoll -6" 2>&1 |
            sed -n 's/.*System clock wrong by \([-+0-9.e]*\) seconds.*/\1/p' | grep . || echo
    done
}
peer_ntpdate() {
    local i
    for i in $(seq 1 "$count"); do
        ntpdate -q "$1" 2>/dev/null | awk '$4 ~ /^[-+][0-9]/ { print $4 + 0; found = 1 } END { if (!found) print "" }'
    done
}
# HoraluxServ -q, RUNS times; its output, all runs in one file.
query_runs() {
    local i
    for i in $(seq 1 "$runs"); do
        wine "$service" -q "$1" 2>/dev/null | tr -d '\r' || true
    done
}
# From that output: every sample alone, the median of each run, the smallest-delay sample of
# each run (milliseconds turned into seconds).
query_samples() {
    awk '/  failed: / { print ""; next }
         / offset [-+][0-9.]+ ms  delay / { for (i = 1; i < NF; ++i) { if ($i == "offset") o = $(i + 1); if ($i == "delay") d = $(i + 1) }
                                            print o / 1000, d / 1000 }'
}
query_median() {
    awk '/^Summary:/ { if (match($0, /median offset [-+][0-9.]+/)) print substr($0, RSTART + 14, RLENGTH - 14) / 1000; else print "" }'
}
query_best() {
    awk '/^Summary:/ { if (match($0, /smallest delay\) [-+][0-9.]+/)) print substr($0, RSTART + 16, RLENGTH - 16) / 1000; else print "" }'
}

row() {  # server-label client-label stats-line
    printf '%-18s %-24s %s\n' "$1" "$2" "$3"
}

measure() {  # server-label address true-offset
    local label=$1 address=$2 truth=$3
    query_runs "$address" >"$work/query.txt"
    row "$label" "ours, 1 exchange" "$("$native" query "$address" "$count" "$truth")"
    row "$label" "ours Wine, 1 exchange" "$(wine "$windows" query "$address" "$count" "$truth" 2>/dev/null | tr -d '\r')"
    row "$label" "-q Wine, each sample" "$(query_samples <"$work/query.txt" | "$native" stats "$truth")"
    row "$label" "-q Wine, median of 4" "$(query_median <"$work/query.txt" | "$native" stats "$truth")"
    row "$label" "-q Wine, least delay" "$(query_best <"$work/query.txt" | "$native" stats "$truth")"
    row "$label" "chronyd -Q" "$(peer_chrony "$address" | "$native" stats "$truth")"
    row "$label" "ntpdate -q" "$(peer_ntpdate "$address" | "$native" stats "$truth")"
}

{
    measure "chrony" "$chrony_address" 0
    measure "fake +$fake_offset" "$fake_address" "$fake_offset"
    measure "fake, 0-${jitter_ms} ms" "$jitter_address" "$fake_offset"
} | tee "$work/table.txt"

echo
echo "ratios of |error|, ours / peer (median, 95th percentile):"
awk '
    function field(line, name,   parts, v) { split(line, parts, name "="); split(parts[2], v, " "); return v[1] }
    { server = substr($0, 1, 18); client = substr($0, 20, 24); gsub(/ +$/, "", server); gsub(/ +$/, "", client);
      median[server, client] = field($0, "median_err_us"); p95[server, client] = field($0, "p95_err_us");
      if (!(server in seen)) { seen[server] = 1; order[++servers] = server }
      if (!(client in known)) { known[client] = 1; clients[++nclients] = client } }
    END {
        for (s = 1; s <= servers; ++s) for (c = 1; c <= nclients; ++c) {
            ours = clients[c]; if (ours == "chronyd -Q" || ours == "ntpdate -q") continue
            line = sprintf("  %-18s %-24s", order[s], ours)
            split("chronyd -Q,ntpdate -q", peers, ",")
            for (p = 1; p <= 2; ++p) {
                peer = peers[p]; m = median[order[s], peer]; q = p95[order[s], peer]
                line = line sprintf("  / %-10s %6s %6s", peer,
                    m > 0 ? sprintf("%.2f", median[order[s], ours] / m) : "-", q > 0 ? sprintf("%.2f", p95[order[s], ours] / q) : "-")
            }
            print line
        }
    }' "$work/table.txt"
echo
echo "under Wine, one sample as a run takes it, against chrony: $(wine "$windows" sample "$chrony_address" 2>/dev/null | tr -d '\r' || true)"
