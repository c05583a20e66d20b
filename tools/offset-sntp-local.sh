#!/usr/bin/env bash
# A time server that is wrong on purpose, for tests and demonstrations of the rule that no
# single server makes a big step: it answers SNTP requests on one loopback address with this
# machine's time plus OFFSET seconds (a falseticker). It reads the clock and never sets it.
#   offset-sntp-local.sh start DIR ADDRESS OFFSET   starts it, prints its pid, waits until it is bound
#   offset-sntp-local.sh stop DIR                   stops the one started in DIR, by its pid
set -euo pipefail
# shellcheck source=tools/local-server.sh
. "$(dirname "$0")/local-server.sh"

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
    await_bound offset-sntp-local "$address:123" "$dir/server.pid" "$dir/server.log"
    ;;
stop)
    stop_by_pidfile "$dir/server.pid"
    ;;
*)
    echo "$usage" >&2
    exit 2
    ;;
esac
