#!/usr/bin/env bash
# Gives a help file that chmcmd compiled the time stamp of the build's date instead of the time
# of day it ran at, so that two builds of one commit make the same bytes. chmcmd reads the clock
# by a system call of its own (no SOURCE_DATE_EPOCH, no faketime) and writes the milliseconds of
# the day twice, uncompressed: into the ITSF header (offset 0x10, big-endian) and into the
# #SYSTEM file's time stamp record (code 10). No reader checks either; nothing else changes.
# Usage: normalise-chm.sh FILE.chm SOURCE_DATE_EPOCH
set -euo pipefail
chm=$1
stamp=$(($2 % 86400 * 1000))

fail() {
    echo "normalise-chm: $chm: $1" >&2
    exit 1
}
u16() { od -An -tu2 --endian=little -j "$1" -N2 "$chm" | tr -d ' '; }
u32() { od -An -tu4 --endian=little -j "$1" -N4 "$chm" | tr -d ' '; }
u64() { od -An -tu8 --endian=little -j "$1" -N8 "$chm" | tr -d ' '; }
# put OFFSET BYTE...: bytes given as numbers, written in place.
put() {
    local offset=$1 byte escaped=""
    shift
    for byte in "$@"; do
        escaped+=$(printf '\\%03o' "$byte")
    done
    printf "$escaped" | dd of="$chm" bs=1 seek="$offset" conv=notrunc status=none
}

[ "$(head -c 4 "$chm")" = ITSF ] && [ "$(u32 4)" = 3 ] || fail "not a version 3 ITSF file"
put 16 $((stamp >> 24 & 255)) $((stamp >> 16 & 255)) $((stamp >> 8 & 255)) $((stamp & 255))

# #SYSTEM lies uncompressed in content section 0, which begins where the header's last field says.
listing=$(chmls -p list "$chm" | awk '$4 == "/#SYSTEM" { print $1, $2 }')
[ -n "$listing" ] && [ "${listing% *}" = 0 ] || fail "no uncompressed #SYSTEM"
system=$(($(u64 88) + ${listing#* }))
[ "$(u32 "$system")" = 3 ] || fail "#SYSTEM is not of version 3"
record=$((system + 4))
for _ in $(seq 1 64); do
    code=$(u16 "$record")
    length=$(u16 $((record + 2)))
    if [ "$code" = 10 ]; then
        [ "$length" = 4 ] || fail "#SYSTEM's time stamp is $length bytes long"
        put $((record + 4)) $((stamp & 255)) $((stamp >> 8 & 255)) $((stamp >> 16 & 255)) $((stamp >> 24 & 255))
        exit 0
    fi
    record=$((record + 4 + length))
done
fail "#SYSTEM has no time stamp record"
