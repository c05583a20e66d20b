#!/usr/bin/env bash
# A time server that is wrong on purpose, for tests and demonstrations of the rule that no
# single server makes a big step: it answers SNTP requests on one loopback address with this
# machine's time plus OFFSET seconds (a falseticker). It reads the clock and never sets it.
#   offset-sntp-local.sh start DIR ADDRESS OFFSET   starts it, prints its pid, waits until it is bound
#   offset-sntp-local.sh stop DIR                   stops the one started in DIR, by its pid
set -euo pipefail

usage="usage: offset-sntp-local.sh start DIR ADDRESS OFFSET | stop DIR"
cmd=${1:?$usage}
dir=${2:?$usage}

# Answers each request at once: leap 0, version 4, mode 4 (server), stratum 1, its own clock
# for the reference, receive and transmit times, and the request's transmit time as the origin.
server='
import socket, struct, sys, time
address, offset = sys.argv[1], float(sys.argv[2])
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind((address, 123))
def stamp():
    t = time.time() + offset + 2208988800
    return struct.pack("!II", int(t) & 0xFFFFFFFF, int((t % 1) * 2**32) & 0xFFFFFFFF)
while True:
    request, peer = sock.recvfrom(1024)
    if len(request) < 48:
        continue
    now = stamp()
    header = bytes([0x24, 1, request[2], 0xEC]) + bytes(8) + b"FAKE"
    sock.sendto(header + now + request[40:48] + now + stamp(), peer)
'

case "$cmd" in
start)
    address=${3:?$usage}
    offset=${4:?$usage}
    mkdir -p "$dir"
    python3 -c "$server" "$address" "$offset" >"$dir/server.log" 2>&1 &
    echo $! > "$dir/server.pid"
    for _ in $(seq 1 100); do
        if ss -Hlun "src $address:123" 2>/dev/null | grep -q .; then
            cat "$dir/server.pid"
            exit 0
        fi
        kill -0 "$(cat "$dir/server.pid")" 2>/dev/null || break
        sleep 0.05
    done
    echo "offset-sntp-local: the server did not start:" >&2
    cat "$dir/server.log" >&2
    exit 1
    ;;
stop)
    [ -f "$dir/server.pid" ] || exit 0
    pid=$(cat "$dir/server.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$dir/server.pid"
    ;;
*)
    echo "$usage" >&2
    exit 2
    ;;
esac
