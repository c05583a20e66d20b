#!/usr/bin/env bash
# A reference NTP server for tests and the demonstration: chronyd with -x (it never touches
# this machine's clock), serving its local clock on one loopback address (IPv4 or IPv6).
#   chrony-local.sh start DIR [ADDRESS]   starts it, prints its pid, waits until it answers
#   chrony-local.sh stop DIR              stops the one started in DIR, by its pid
set -euo pipefail

cmd=${1:?usage: chrony-local.sh start|stop DIR [ADDRESS]}
dir=${2:?usage: chrony-local.sh start|stop DIR [ADDRESS]}
address=${3:-127.0.0.1}
chronyd=$(command -v chronyd || echo /usr/sbin/chronyd)
case "$address" in
*:*) endpoint="[$address]:123" ;;
*) endpoint="$address:123" ;;
esac

case "$cmd" in
start)
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    cat > "$dir/chrony.conf" <<CONF
bindaddress $address
port 123
allow 127.0.0.0/8
allow ::1/128
local stratum 8
cmdport 0
pidfile $dir/chronyd.pid
driftfile $dir/chrony.drift
CONF
    "$chronyd" -x -d -u root -f "$dir/chrony.conf" >"$dir/chronyd.log" 2>&1 &
    echo $! > "$dir/chronyd.pid.own"
    # Ready once something is bound to the address's UDP port 123.
    for _ in $(seq 1 100); do
        if ss -Hlun "src $endpoint" 2>/dev/null | grep -q .; then
            cat "$dir/chronyd.pid.own"
            exit 0
        fi
        kill -0 "$(cat "$dir/chronyd.pid.own")" 2>/dev/null || break
        sleep 0.05
    done
    echo "chrony-local: chronyd did not start:" >&2
    cat "$dir/chronyd.log" >&2
    exit 1
    ;;
stop)
    [ -f "$dir/chronyd.pid.own" ] || exit 0
    pid=$(cat "$dir/chronyd.pid.own")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$dir/chronyd.pid.own"
    ;;
*)
    echo "usage: chrony-local.sh start|stop DIR [ADDRESS]" >&2
    exit 2
    ;;
esac
