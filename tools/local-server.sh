# Shared by the scripts that start a local time server for tests (source it): waiting for the
# server to bind its port, and stopping it by the pid it was started with.

# await_bound NAME ENDPOINT PIDFILE LOGFILE: prints the pid and exits 0 once something is bound to
# ENDPOINT's UDP port; exits 1 with the server's log when it ends first or takes over 5 s.
await_bound() {
    local name=$1 endpoint=$2 pidfile=$3 logfile=$4
    for _ in $(seq 1 100); do
        if ss -Hlun "src $endpoint" 2>/dev/null | grep -q .; then
            cat "$pidfile"
            exit 0
        fi
        kill -0 "$(cat "$pidfile")" 2>/dev/null || break
        sleep 0.05
    done
    echo "$name: the server did not start:" >&2
    cat "$logfile" >&2
    exit 1
}

# stop_by_pidfile PIDFILE: ends the process PIDFILE names (a clean end first, at most 5 s) and
# removes PIDFILE; nothing to do without one.
stop_by_pidfile() {
    local pidfile=$1 pid
    [ -f "$pidfile" ] || return 0
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$pidfile"
}
