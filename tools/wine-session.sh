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

# Xvfb picks a free display itself and writes its number to the descriptor it is given once
# it listens, so no other session can take the number between a check and the start.
start_xvfb() {
    local number_file="$session/xvfb.display" i
    Xvfb -displayfd 3 -screen 0 "${HORALUX_SCREEN:-1024x768x24}" -nolisten tcp 3>"$number_file" >"$session/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for i in $(seq 1 200); do
        if grep -q '^[0-9][0-9]*$' "$number_file" 2>/dev/null; then
            export DISPLAY=":$(cat "$number_file")"
            return 0
        fi
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.05
    done
    echo "wine-session: Xvfb did not start" >&2
    cat "$session/xvfb.log" >&2
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
# Wine draws the window frames' buttons with the Marlett font; this Wine does not look for it
# where Debian's fonts-wine puts it, and without it the buttons show letters ("0 1 r") in every
# screenshot. A copy in the prefix's font folder serves every program of the session.
mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
cp -n /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
export HORALUX_WINE_SESSION="$session"
"$@"
