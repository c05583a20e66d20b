#!/usr/bin/env bash
# The main job, end to end: builds the Windows programs, starts a local reference time server
# (chronyd -x on 127.0.0.1: it serves the time and never touches this machine's clock), writes a
# settings file whose only server is that reference, runs HoraluxServ under Wine beside the
# console HoraluxCons, presses "Synchronize now" in the console, saves a screenshot of it and
# prints the service's log. Everything runs in a private Wine prefix and a loopback-only
# network namespace under build/demo, removed at the end; the screenshot stays.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "${1:-}" != "--inside" ]; then
    tools/setup.sh
    cmake --preset win64 >/dev/null
    cmake --build --preset win64 -j "$(nproc)" --target HoraluxServ HoraluxCons horalux_demo_console
    mkdir -p build/demo
    exec env HORALUX_WINE_DIR="$root/build/demo" tools/wine-session.sh "$0" --inside
fi

bin=$root/build/win64
serv=$bin/service/app/HoraluxServ.exe
windir=$WINEPREFIX/drive_c/windows
chrony_dir=$HORALUX_WINE_SESSION/chrony

stop_chrony() { tools/chrony-local.sh stop "$chrony_dir"; }
trap stop_chrony EXIT

echo "--- reference time server: chronyd -x on 127.0.0.1 (pid $(tools/chrony-local.sh start "$chrony_dir" 127.0.0.1))"

# Synchronise on demand only, with the reference as the one and starting server.
printf '%s\r\n' '[Options]' 'nSynPeriod=3' 'nOffset=0' 'nMaxAttempts=5' 'bOnlySuccLog=0' 'nLogFileLen=100' \
    'nStartingServ=0' '[Servers]' 'Servers_Counter=1' 'Servers 0=Local reference (chrony)~127.0.0.1~1' \
    > "$windir/zHoraluxServ.ini"

shot=$root/build/demo/console.png
rm -f "$shot"
echo "--- HoraluxServ -d and HoraluxCons on one desktop; pressing \"Synchronize now\""
wine "$bin/tools/demo/horalux_demo_console.exe" "$(winepath -w "$bin/console/app/HoraluxCons.exe")" \
    "$(winepath -w "$serv")" "$(winepath -w "$shot")" | tr -d '\r' || true
echo
echo "--- $windir/zHoraluxServ.log"
tr -d '\r' < "$windir/zHoraluxServ.log"
grep -q 'Successful. Server: Local reference (chrony).' "$windir/zHoraluxServ.log"
[ -f "$shot" ] && echo "--- screenshot of the console: $shot"
