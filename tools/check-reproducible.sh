#!/usr/bin/env bash
# Checks that the Windows build is reproducible: builds one commit twice, in two folders of
# different names and depths, without ccache and without signing, and compares byte for byte
# what ships before it is signed: both programs, the setup library, the zip, the NSIS
# installer and the MSI. A release's signed files differ from these only by their signatures.
# Two full builds: about half an hour on two cores, so it is no part of .ci/run.
# Usage: tools/check-reproducible.sh [COMMIT]   (default HEAD; a dirty tree's changes are not built)
set -uo pipefail
cd "$(dirname "$0")/.."
commit=$(git rev-parse --verify "${1:-HEAD}^{commit}") || exit 2
tools/setup.sh || exit 1

root=$(mktemp -d "${TMPDIR:-/tmp}/horalux-reproducible.XXXXXX")
trap 'rm -rf "$root"' EXIT
first=$root/a
second=$root/second-folder/of/another/depth
# The packages' one date, as a release build of the commit sets it.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
# No compiler cache: what it returns was compiled elsewhere.
unset CMAKE_C_COMPILER_LAUNCHER CMAKE_CXX_COMPILER_LAUNCHER
export CCACHE_DISABLE=1

shipped=(ship/unsigned/HoraluxServ.exe ship/unsigned/HoraluxCons.exe ship/unsigned/HoraluxSetup.dll)
build() {
    local tree=$1
    mkdir -p "$tree"
    git archive "$commit" | tar -x -C "$tree" || return 1
    echo "=== building $commit in $tree"
    (cd "$tree" && cmake --preset win64 -DHORALUX_SIGN=OFF >"$root/$(basename "$tree").log" 2>&1 &&
        cmake --build --preset win64 -j "$(nproc)" --target horalux_package horalux_msi \
            >>"$root/$(basename "$tree").log" 2>&1) || {
        echo "=== the build in $tree failed:"
        tail -n 30 "$root/$(basename "$tree").log"
        return 1
    }
}
build "$first" && build "$second" || exit 1

version=$(sed -nE 's/^project\(Horalux VERSION ([0-9.]+).*/\1/p' "$first/CMakeLists.txt")
files=("${shipped[@]}" "package/Horalux-$version-win64.zip" "package/Horalux-$version-win64.exe"
    "package/Horalux-$version-win64.msi")
passed=0
failed=0
for file in "${files[@]}"; do
    a=$first/build/win64/$file
    b=$second/build/win64/$file
    if [ ! -f "$a" ] || [ ! -f "$b" ]; then
        echo "MISSING   $file"
        failed=$((failed + 1))
    elif cmp -s "$a" "$b"; then
        echo "identical $file  sha256 $(sha256sum "$a" | cut -c1-16)...  $(stat -c %s "$a") bytes"
        passed=$((passed + 1))
    else
        echo "DIFFERENT $file: $(cmp -l "$a" "$b" | wc -l) bytes differ, the first at offsets" \
            "$(cmp -l "$a" "$b" | head -n 5 | awk '{printf "%d ", $1 - 1}')"
        failed=$((failed + 1))
    fi
done
echo "reproducible: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
