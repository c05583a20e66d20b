#!/bin/sh
# Gives a test session's private network namespace a default gateway that leads nowhere, so
# that Wine reports an internet connection (it needs a gateway on a non-loopback interface)
# while nothing can leave the machine: both ends of the veth pair stay in this namespace and
# the gateway address (from TEST-NET-1) never answers.
#   namespace-gateway.sh up | down
set -eu

# Never outside a session's namespace: there, only loopback and this pair may exist.
[ "${HORALUX_NETNS:-}" = 1 ] || { echo "namespace-gateway: not in a test session's namespace" >&2; exit 2; }
others=$(ip -o link show | awk -F': ' '{ sub(/@.*/, "", $2); print $2 }' | grep -vx -e lo -e hx0 -e hx1 || true)
[ -z "$others" ] || { echo "namespace-gateway: this namespace has other interfaces: $others" >&2; exit 2; }

case "${1:-}" in
up)
    ip link show hx0 >/dev/null 2>&1 || ip link add hx0 type veth peer name hx1
    ip link set hx1 up
    ip addr replace 192.0.2.1/30 dev hx0
    ip link set hx0 up
    ip route replace default via 192.0.2.2 dev hx0
    ;;
down)
    # Removing one end removes the pair, its address and the route.
    ! ip link show hx0 >/dev/null 2>&1 || ip link del hx0
    ;;
*)
    echo "usage: namespace-gateway.sh up|down" >&2
    exit 2
    ;;
esac
