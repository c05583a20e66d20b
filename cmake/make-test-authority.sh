#!/usr/bin/env bash
# Makes the throwaway TEST-ONLY signing authority of a build without a signing key: a root
# certificate, a code-signing certificate and a time-stamping certificate issued by it, and
# their keys, in the folder given. Nothing here is trusted anywhere: the root exists only in
# this build tree, is never installed, and its key signs nothing but this build's files.
# Usage: make-test-authority.sh FOLDER
set -euo pipefail
folder=$1
work=$(mktemp -d "${folder%/}.XXXXXX")
trap 'rm -rf "$work"' EXIT

notice="TEST ONLY - NOT TRUSTED"
days=825

# issue NAME SUBJECT EXTENSIONS: a key and a certificate issued by the root.
issue() {
    local name=$1 subject=$2 extensions=$3
    printf '%b' "$extensions" >"$work/$name.ext"
    openssl req -new -newkey rsa:2048 -nodes -keyout "$work/$name.key" -subj "$subject" \
        -out "$work/$name.csr" 2>/dev/null
    openssl x509 -req -in "$work/$name.csr" -CA "$work/root.pem" -CAkey "$work/root.key" \
        -set_serial "0x$(openssl rand -hex 8)" -days "$days" -sha256 -extfile "$work/$name.ext" \
        -out "$work/$name.pem" 2>/dev/null
    cat "$work/$name.pem" "$work/root.pem" >"$work/$name-chain.pem"
    rm -f "$work/$name.csr" "$work/$name.ext"
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/root.key" -out "$work/root.pem" -days "$days" -sha256 \
    -subj "/O=Horalux build/CN=Horalux $notice root" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
issue codesign "/O=Horalux build/CN=Horalux $notice code signing" \
    "basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n"
issue timestamp "/O=Horalux build/CN=Horalux $notice time stamping" \
    "basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,timeStamping\n"
rm -f "$work/root.key"  # nothing more is issued: the root key goes
cat >"$work/README.txt" <<EOF
A throwaway signing authority made by this build because no signing key was given.
$notice: never install root.pem into a certificate store. See the README's release section
for signing with a real key.
EOF

rm -rf "$folder"
mv "$work" "$folder"
trap - EXIT
