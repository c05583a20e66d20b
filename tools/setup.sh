#!/usr/bin/env bash
# Installs from Debian what the build, the tests and the demonstration need, when missing.
set -euo pipefail

packages=(
    cmake make g++ googletest                                   # native build and GoogleTest sources
    clang-format                                                # the formatting check (tools/check-tree.sh)
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools  # cross build, windres, windmc
    wine wine64 fonts-wine xvfb x11-utils imagemagick           # running and looking at the .exe files (Wine's own fonts: the window frames' glyphs)
    chrony ntpsec-ntpdate                                       # reference NTP server and peer client
    iproute2 util-linux                                         # a loopback-only network namespace per test session
    nsis fp-utils                                               # the installer (makensis) and the help file (chmcmd)
    wixl msitools                                               # the Windows Installer package (wixl) and its inspection (msiinfo)
    osslsigncode openssl                                        # Authenticode signing and the build's test-only signing authority
    zip faketime                                                # reproducible packages: the zip, wixl's clock
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages (${missing[*]}); run as root or install them" >&2
    exit 1
fi

# Installing chrony must not start its system service: it would try to discipline this
# machine's clock. Debian's policy-rc.d hook refuses service starts while it exits 101.
hook=/usr/sbin/policy-rc.d
made_hook=0
if [ ! -x "$hook" ] || ! grep -q 'exit 101' "$hook"; then
    [ -e "$hook" ] && cp -p "$hook" "$hook.horalux-saved"
    printf '#!/bin/sh\nexit 101\n' > "$hook"
    chmod 755 "$hook"
    made_hook=1
fi
restore_hook() {
    if [ "$made_hook" = 1 ]; then
        if [ -e "$hook.horalux-saved" ]; then mv -f "$hook.horalux-saved" "$hook"; else rm -f "$hook"; fi
    fi
}
trap restore_hook EXIT

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
