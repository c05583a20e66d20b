#!/usr/bin/env bash
# Accuracy of our SNTP exchange next to chronyd -Q and ntpdate -q, against (a) our fake server
# with its clock shifted by +0.25 s and (b) chrony serving the local clock on 127.0.0.1. Our
# client runs natively and under Wine. chrony runs with -x (it never touches the clock) and its
# own configuration; every process started here is ended by its pid, also on failure.
#
# Usage: bench/run_sntp_accuracy.sh [COUNT]     (default 200 exchanges per client and server)
# HORALUX_NATIVE_BUILD and HORALUX_WIN_BUILD name the build folders (default build/host and
# build/win64); both must have built the target sntp_accuracy.
set -euo pipefail

count=${1:-200}
root=$(cd "$(dirname "$0")/.." && pwd)
# The servers, the peers and both clients run in one Wine test session, so that they share its
# loopback-only network namespace.
if [ -z "${HORALUX_WINE_SESSION:-}" ]; then
    exec env HORALUX_WINE_DIR="${TMPDIR:-/tmp}" "$root/tools/wine-session.sh" "$0" "$@"
fi
native=${HORALUX_NATIVE_BUILD:-$root/build/host}/bench/sntp_accuracy
windows=${HORALUX_WIN_BUILD:-$root/build/win64}/bench/sntp_accuracy.exe
fake_offset=0.25
chrony_address=127.0.0.1

for program in "$native" "$windows" chronyd ntpdate; do
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

# chrony first: it needs 127.0.0.1, the fake server takes the next free loopback address.
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

"$native" serve "$fake_offset" >"$work/fake.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do
    [ -s "$work/fake.out" ] && break
    sleep 0.1
done
fake_address=$(head -n1 "$work/fake.out")
[[ $fake_address == 127.0.0.* && $fake_address != "$chrony_address" ]] || { echo "fake server: $fake_address" >&2; exit 1; }

# One line per estimate, "offset" in seconds, for the stats mode.
peer_chrony() {
    local i
    for i in $(seq 1 "$count"); do
        chronyd -Q -f "$work/client.conf" "server $1 iburst minpoll -6 maxpoll -6" 2>&1 |
            sed -n 's/.*System clock wrong by \([-+0-9.e]*\) seconds.*/\1/p'
    done
}
peer_ntpdate() {
    local i
    for i in $(seq 1 "$count"); do
        ntpdate -q "$1" 2>/dev/null | awk '$4 ~ /^[-+][0-9]/ { print $4 + 0 }'
    done
}

# Our client under Wine, against both servers.
wine "$windows" query "$fake_address" "$count" "$fake_offset" >"$work/wine-fake.txt" 2>/dev/null || true
wine "$windows" query "$chrony_address" "$count" 0 >"$work/wine-chrony.txt" 2>/dev/null || true
wine "$windows" sync "$chrony_address" >"$work/wine-sync.txt" 2>/dev/null || true

measure() {  # server-label address true-offset
    local label=$1 address=$2 truth=$3
    printf '%-14s %-16s %s\n' "$label" "ours (native)" "$("$native" query "$address" "$count" "$truth")"
    printf '%-14s %-16s %s\n' "$label" "ours (Wine)" "$(cat "$work/wine-$4.txt")"
    printf '%-14s %-16s %s\n' "$label" "chronyd -Q" "$(peer_chrony "$address" | "$native" stats "$truth")"
    printf '%-14s %-16s %s\n' "$label" "ntpdate -q" "$(peer_ntpdate "$address" | "$native" stats "$truth")"
}

{
    measure "fake +$fake_offset" "$fake_address" "$fake_offset" fake
    measure "chrony" "$chrony_address" 0 chrony
} | tee "$work/table.txt"

echo
echo "ratios of median |error|, ours / peer:"
awk '
    { split($0, parts, "median_err_us="); split(parts[2], v, " ");
      server = substr($0, 1, 14); client = substr($0, 16, 16); gsub(/ +$/, "", server); gsub(/ +$/, "", client);
      err[server, client] = v[1]; servers[server] = 1 }
    END {
        for (s in servers) for (o = 1; o <= 2; ++o) for (p = 1; p <= 2; ++p) {
            ours = o == 1 ? "ours (native)" : "ours (Wine)"; peer = p == 1 ? "chronyd -Q" : "ntpdate -q";
            if (err[s, peer] > 0) printf "  %-14s %-14s / %-11s = %.2f\n", s, ours, peer, err[s, ours] / err[s, peer]
        }
    }' "$work/table.txt"
echo
echo "under Wine, synchronizeWithServer against chrony: $(cat "$work/wine-sync.txt")"
