# Sourced by the Wine bench scripts.
# bench_work NAME sets root, build (HORALUX_WIN_BUILD, default build/win64), version (the
# product's version that build was made with) and work (a folder NAME.XXXXXX in the build tree,
# removed when the script ends, whatever happened).
bench_work() {
    root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
    build=${HORALUX_WIN_BUILD:-$root/build/win64}
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null)
    [ -n "$version" ] || { echo "missing: $build (configure it with cmake --preset win64)" >&2; exit 1; }
    work=$(mktemp -d "$build/$1.XXXXXX")
    trap 'rm -rf "$work"' EXIT
}

# bench_prepare TARGET does the same and sets exe, the bench program TARGET of that build.
bench_prepare() {
    bench_work "$1"
    exe=$build/bench/$1.exe
    [ -f "$exe" ] || { echo "missing: $exe (build the target $1)" >&2; exit 1; }
}
