#!/usr/bin/env bash
# The two installation packages side by side, in one test session (private network namespace,
# fresh prefix, Xvfb): their sizes, then silent installation, upgrade and removal, each the
# median of COUNT runs, for the Windows Installer package (msiexec /qn) and the NSIS installer
# (/S). The upgrade is the newer package over an installed older one: for the MSI the package
# of version 1.0 the build makes for the tests, for NSIS the same installer again (it removes
# the installed copy first). The settings name 127.0.0.1 only and are written before any
# service starts.
#
# Usage: bench/run_package_times.sh [COUNT]     (default 5)
# HORALUX_WIN_BUILD names the build folder (default build/win64).
set -euo pipefail

count=${1:-5}
. "$(dirname "$0")/bench-session.sh"
bench_work package-times
msi=$build/package/Horalux-$version-win64.msi
older=$build/packaging/Horalux-1.0-win64.msi
nsis=$build/package/Horalux-$version-win64.exe
for f in "$msi" "$older" "$nsis"; do
    [ -f "$f" ] || { echo "missing: $f (build the targets horalux_msi horalux_older_msi horalux_package)" >&2; exit 1; }
done

echo "package sizes (bytes): MSI $(stat -c %s "$msi"), NSIS $(stat -c %s "$nsis")"

HORALUX_WINE_DIR=$work "$root/tools/wine-session.sh" bash -c '
    set -euo pipefail
    count=$1 msi=$2 older=$3 nsis=$4 work=$5
    cd "$work"
    win() { printf "Z:%s" "$1" | tr / "\\\\"; }
    windir=$WINEPREFIX/drive_c/windows
    folder="$WINEPREFIX/drive_c/Program Files/Horalux"
    settings() { printf "[Options]\r\nnSynPeriod=3\r\n[Servers]\r\nServers_Counter=1\r\nServers 0=Local~127.0.0.1~1\r\n" > "$windir/zHoraluxServ.ini"; }
    # Milliseconds a command takes.
    ms() { local t0 t1; t0=$(date +%s%N); "$@" >/dev/null 2>&1; t1=$(date +%s%N); echo $(( (t1 - t0) / 1000000 )); }
    # The NSIS uninstaller hands over to a copy of itself and ends at once: done when the folder is gone.
    nsis_remove() { wine "C:\\Program Files\\Horalux\\Uninstall.exe" /S; for _ in $(seq 600); do [ -e "$folder" ] || return 0; sleep 0.1; done; return 1; }
    median() { sort -n | awk "{ v[NR] = \$1 } END { print v[int((NR + 1) / 2)] }"; }
    : > msi_install; : > msi_upgrade; : > msi_remove; : > nsis_install; : > nsis_upgrade; : > nsis_remove
    for _ in $(seq "$count"); do
        settings
        ms wine msiexec /i "$(win "$msi")" /qn >> msi_install
        ms wine msiexec /x "$(win "$msi")" /qn >> msi_remove
        wine msiexec /i "$(win "$older")" /qn >/dev/null 2>&1
        ms wine msiexec /i "$(win "$msi")" /qn >> msi_upgrade
        wine msiexec /x "$(win "$msi")" /qn >/dev/null 2>&1
        settings
        ms wine "$(win "$nsis")" /S >> nsis_install
        ms nsis_remove >> nsis_remove
        wine "$(win "$nsis")" /S >/dev/null 2>&1
        ms wine "$(win "$nsis")" /S >> nsis_upgrade
        nsis_remove >/dev/null 2>&1
    done
    for kind in install upgrade remove; do
        printf "silent %-8s median of %s: MSI %s ms, NSIS %s ms\n" "$kind" "$count" \
            "$(median < msi_$kind)" "$(median < nsis_$kind)"
    done
' bench "$count" "$msi" "$older" "$nsis" "$work"
