# Sourced by the Wine bench scripts. bench_prepare TARGET sets root, build (HORALUX_WIN_BUILD,
# default build/win64), exe (the bench program TARGET of that build) and work (a folder in the
# build tree, removed when the script ends, whatever happened).
bench_prepare() {
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    build=${HORALUX_WIN_BUILD:-$root/build/win64}
    exe=$build/bench/$1.exe
    [ -f "$exe" ] || { echo "missing: $exe (build the target $1)" >&2; exit 1; }
    work=$(mktemp -d "$build/$1.XXXXXX")
    trap 'rm -rf "$work"' EXIT
}
