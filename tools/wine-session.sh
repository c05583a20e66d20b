#!/usr/bin/env bash
# Test fixture: runs a command with a fresh Wine prefix, one persistent wineserver and an
# Xvfb display of its own, and removes all three (by pid) when the command ends, however
# it ends. Usage: wine-session.sh COMMAND [ARGS...]
# HORALUX_WINE_DIR names the folder that receives the prefix (default: the current folder);
# HORALUX_SCREEN the display's size (default 1024x768x24).
set -uo pipefail

# Each session gets a network namespace of its own with only loopback in it: nothing a test
# starts can reach another machine, and its servers on 127.0.0.x:123 cannot collide with
# anybody else's (Wine binds a loopback port on every loopback address at once). Where it can,
# it also gets a mount namespace, in which its own copies of the hosts file and the resolver's
# configuration stand over the machine's (see below).
if [ -z "${HORALUX_NETNS:-}" ]; then
    if unshare -n -m true 2>/dev/null; then
        exec env HORALUX_NETNS=1 HORALUX_MOUNTNS=1 unshare -n -m --propagation private -- \
            bash -c 'ip link set lo up && exec "$0" "$@"' "$0" "$@"
    elif unshare -n true 2>/dev/null; then
        exec env HORALUX_NETNS=1 unshare -n -- bash -c 'ip link set lo up && exec "$0" "$@"' "$0" "$@"
    fi
fi

root=${HORALUX_WINE_DIR:-$PWD}
mkdir -p "$root"
session=$(mktemp -d "$root/wine-session.XXXXXX")
export WINEPREFIX="$session/prefix"
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko: their install dialogs would block a headless run. No menu builder: it
# would write desktop entries into the real home folder and hold shortcuts the tests remove.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64

xvfb_pid=""
server_pid=""

# Programs of this prefix that outlived their wineserver (it was killed first, or -k timed
# out): found by the prefix in their environment, so only programs this session started.
kill_prefix_leftovers() {
    local proc pid
    for proc in /proc/[0-9]*; do
        pid=${proc#/proc/}
        [ "$pid" = "$$" ] && continue
        {
            tr '\0' '\n' <"$proc/cmdline" | grep -qiE 'wine|\.exe' &&
                tr '\0' '\n' <"$proc/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
                kill -9 "$pid"
        } 2>/dev/null
    done
    return 0
}

cleanup() {
    local rc=$?
    trap - EXIT INT TERM
    if [ -n "$server_pid" ]; then
        timeout 20 wineserver -k >/dev/null 2>&1 || true   # ends the Wine programs of this prefix only
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        kill_prefix_leftovers
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$session"
    exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start_xvfb() {
    local n
    for n in $(seq 90 250); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 "${HORALUX_SCREEN:-1024x768x24}" -nolisten tcp >"$session/xvfb.log" 2>&1 &
        xvfb_pid=$!
        local i
        for i in $(seq 1 100); do
            if [ -e "/tmp/.X11-unix/X$n" ]; then
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$xvfb_pid" 2>/dev/null || break
            sleep 0.05
        done
        kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=""
    done
    echo "wine-session: no free X display" >&2
    return 1
}

# Name resolution of the session's own: a test may rewrite these copies (in place, so that
# the mounts keep showing them) to give a name the addresses it wants or to point the
# resolver at a loopback address that never answers. Wine resolves through the host's libc,
# so its programs see them too. The machine's files are never touched.
bind_session_file() {
    local name=$1 variable=$2
    [ -e "/etc/$name" ] || return 0
    cp "/etc/$name" "$session/$name" && mount --bind "$session/$name" "/etc/$name" &&
        export "$variable=$session/$name"
}
if [ "${HORALUX_MOUNTNS:-}" = 1 ]; then
    bind_session_file hosts HORALUX_HOSTS_FILE
    bind_session_file resolv.conf HORALUX_RESOLV_CONF
fi

start_xvfb || exit 1
mkdir -p "$WINEPREFIX"
wineserver -f -p >"$session/wineserver.log" 2>&1 &
server_pid=$!
# -u, not -i: -i leaves a second services.exe behind, and service requests then alternate
# between two managers that disagree about what is installed.
# A fresh prefix takes seconds on an idle machine and minutes on two cores shared with other builds.
if ! timeout 300 wineboot -u >"$session/wineboot.log" 2>&1; then
    echo "wine-session: wineboot failed" >&2
    cat "$session/wineboot.log" >&2
    exit 1
fi
export HORALUX_WINE_SESSION="$session"
"$@"
