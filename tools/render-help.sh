#!/usr/bin/env bash
# Renders every page of the user's guide with headless Chromium into a PNG, to look at them as a
# reader would (Wine's help viewer shows nothing without its HTML engine). Not part of the tests.
# Usage: tools/render-help.sh [BUILD_DIR]   (default build/win64; its help/src holds the pages
# with the pictures the build took). The PNGs go to BUILD_DIR/help/rendered.
# Chromium runs without a network (a loopback-only namespace), with a fresh profile that is
# removed afterwards, and each page is bounded by a time-out.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win64}
pages=$build/help/src
out=$build/help/rendered
if [ ! -f "$pages/zHoraluxHelp.hhp" ]; then
    echo "render-help: $pages has no help sources; build the help file first (cmake --build --preset win64 --target horalux_help)" >&2
    exit 1
fi
if ! command -v chromium >/dev/null; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "render-help: chromium is missing; install Debian's chromium" >&2
        exit 1
    fi
    apt-get install -y --no-install-recommends chromium >/dev/null
fi

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT
mkdir -p "$out"
rm -f "$out"/*.png

render() {
    local page=$1 name
    name=$(basename "$page" .html)
    timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --hide-scrollbars --user-data-dir="$profile" --window-size=820,2000 \
        --screenshot="$PWD/$out/$name.png" "file://$PWD/$page" >/dev/null 2>&1
    [ -s "$out/$name.png" ] || { echo "render-help: no picture of $page" >&2; return 1; }
}

export -f render
export out profile
failed=0
for page in "$pages"/*.html; do
    unshare -n -- bash -c 'ip link set lo up && render "$0"' "$page" || failed=1
done
ls "$out"
exit $failed
