#!/usr/bin/env bash
# A reference NTP server for tests and the demonstration: chronyd with -x (it never touches
# this machine's clock), serving its local clock on one loopback address (IPv4 or IPv6).
#   chrony-local.sh start DIR [ADDRESS]   starts it, prints its pid, waits until it answers
#   chrony-local.sh stop DIR              stops the one started in DIR, by its pid
set -euo pipefail
# shellcheck source=tools/local-server.sh
. "$(dirname "$0")/local-server.sh"

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
    await_bound chrony-local "$endpoint" "$dir/chronyd.pid.own" "$dir/chronyd.log"
    ;;
stop)
    stop_by_pidfile "$dir/chronyd.pid.own"
    ;;
*)
    echo "usage: chrony-local.sh start|stop DIR [ADDRESS]" >&2
    exit 2
    ;;
esac
