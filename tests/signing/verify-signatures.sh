#!/usr/bin/env bash
# Each file given is signed as the build signs what it ships: an Authenticode signature with a
# SHA-256 digest and an RFC 3161 time stamp that verifies against the root certificates given,
# and a copy of the file with one byte of its signed content changed no longer verifies. A
# zip's members that Windows runs (.exe, .dll) are checked the same way.
# Usage: verify-signatures.sh OSSLSIGNCODE CA_FILE FILE...
set -uo pipefail
osslsigncode=$1
ca_file=$2
shift 2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed_files=0
checked=0
file_failed=0

fail() {
    echo "FAIL $1: $2"
    file_failed=1
}

verify() {
    "$osslsigncode" verify -CAfile "$ca_file" -TSA-CAfile "$ca_file" -in "$1" >"$work/verify.log" 2>&1
}

# A byte the signature covers: in a Windows Installer package, one inside its cabinet (a free
# sector of the compound file would be no change at all); in a program, the middle of the
# file, far from the headers' check sum and the signature at the end.
tamper_offset() {
    local file=$1 size
    size=$(stat -c %s "$file")
    case "$file" in
        *.msi) echo $(($(grep -obUaP 'MSCF\x00\x00\x00\x00' "$file" | head -n 1 | cut -d: -f1) + 40)) ;;
        *) echo $((size / 2)) ;;
    esac
}

check() {
    local file=$1 name
    name=$(basename "$file")
    checked=$((checked + 1))
    file_failed=0
    if ! verify "$file"; then
        fail "$name" "the signature does not verify:"
        sed 's/^/    /' "$work/verify.log"
        failed_files=$((failed_files + 1))
        return
    fi
    grep -q 'Message digest algorithm *: SHA256' "$work/verify.log" || fail "$name" "the digest is not SHA-256"
    # The RFC 3161 time stamp is an unsigned attribute of its own (1.3.6.1.4.1.311.3.3.1).
    rm -f "$work/signature.pem"  # osslsigncode overwrites no file
    if ! "$osslsigncode" extract-signature -pem -in "$file" -out "$work/signature.pem" >/dev/null 2>&1 ||
        ! openssl asn1parse -in "$work/signature.pem" >"$work/signature.txt" ||
        ! grep -q ':1.3.6.1.4.1.311.3.3.1$' "$work/signature.txt"; then
        fail "$name" "no RFC 3161 time stamp"
    fi

    local copy="$work/tampered-$name" offset byte
    cp "$file" "$copy"
    offset=$(tamper_offset "$file")
    byte=$(od -An -tu1 -j "$offset" -N1 "$copy" | tr -d ' ')
    printf "\\$(printf '%03o' $(((byte + 1) % 256)))" | dd of="$copy" bs=1 seek="$offset" conv=notrunc status=none
    if verify "$copy"; then
        fail "$name" "still verifies with byte $offset changed"
    elif ! grep -q 'MISMATCH' "$work/verify.log"; then
        fail "$name" "with byte $offset changed it fails, but not on its digest:"
        sed 's/^/    /' "$work/verify.log"
    fi
    rm -f "$copy"
    if [ "$file_failed" = 1 ]; then
        failed_files=$((failed_files + 1))
    else
        echo "ok   $name"
    fi
}

for file in "$@"; do
    file=$(realpath "$file")
    case "$file" in
        *.zip)
            rm -rf "$work/zip" && mkdir "$work/zip"
            if ! (cd "$work/zip" && cmake -E tar xf "$file") ||
                [ -z "$(find "$work/zip" -type f \( -iname '*.exe' -o -iname '*.dll' \))" ]; then
                echo "FAIL $(basename "$file"): cannot be unpacked, or holds no program"
                checked=$((checked + 1))
                failed_files=$((failed_files + 1))
            fi
            while IFS= read -r -d '' member; do
                check "$member"
            done < <(find "$work/zip" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
            ;;
        *) check "$file" ;;
    esac
done
echo "signatures: $((checked - failed_files)) passed, $failed_files failed"
[ "$failed_files" -eq 0 ] && [ "$checked" -gt 0 ]
