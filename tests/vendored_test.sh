#!/usr/bin/env bash
# Builds tests/vendored, taking quarnel-pavrin in with add_subdirectory() or FetchContent,
# natively, for s390x, or bare-metal ARM with C++ or C only: its tables and map must be the
# native tools' bytes, its objects the target's; ARM with the target's flags in the environment,
# the host build's own flags and a wrong host compiler. Exits 77 without the compiler.
#   tests/vendored_test.sh BUILD_DIR native|s390x|arm|arm-c
set -euo pipefail
build=$1 mode=$2
root=$(cd "$(dirname "$0")/.." && pwd -P)
declare -A needs=([native]=git [s390x]=s390x-linux-gnu-gcc [arm]=arm-none-eabi-g++ [arm-c]=arm-none-eabi-gcc)
command -v git >/dev/null && command -v "${needs[$mode]}" >/dev/null ||
    { echo "skipped: git or ${needs[$mode]} is not installed"; exit 77; }
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"
quietly cmake --install "$build" --prefix "$work/prefix"
game=$work/game tools=$work/game/third_party/quarnel-pavrin arm=$work/game/arm-none-eabi-c.cmake
cp -r "$root/tests/vendored" "$game"
cp "$root"/examples/{anm.h,walk.anm,left.map,right.map} "$game/"
(cd "$game" && "$work/prefix/bin/quarnel" walk.anm >"$work/walk.anm.c" &&
    "$work/prefix/bin/pavrin" -x -o"$work/joined.map" left.map right.map)
# The source as a checkout or an unpacked tarball holds it, and as a repository.
mkdir -p "$tools" && tar -c -C "$root" --exclude='./build*' --exclude=./.git . | tar -x -C "$tools"
cp -r "$tools" "$work/repo" && git -C "$work/repo" init -q && git -C "$work/repo" add -A
git -C "$work/repo" -c user.name=test -c user.email=test@invalid commit -qm source
fetch=(-DGAME_REPOSITORY="file://$work/repo" -DGAME_COMMIT="$(git -C "$work/repo" rev-parse HEAD)")
machine() { readelf -h "$@" | sed -n 's/^ *Machine: *//p' | sort -u; }
# Builds the game in DIR with the cmake arguments after it and checks it.
build_game() # DIR MACHINE CMAKE_ARGUMENT...
{
    local dir=$1 target=$2
    quietly cmake -S "$game" -B "$dir" "${@:3}" && quietly cmake --build "$dir"
    check "$dir: the tables and the map are the native tools'" "" "$(cd "$dir" &&
        cmp tables_quarnel/walk.anm.c "$work/walk.anm.c" 2>&1 && cmp joined.map "$work/joined.map" 2>&1)"
    check "$dir: objects for $target" "$target" "$(machine "$dir"/lib*.a)"
}
case $mode in
native)
    native=$(machine "$work/prefix/bin/quarnel")
    build_game "$work/subdir" "$native"
    build_game "$work/fetch" "$native" "${fetch[@]}"
    # With an installed package found, the repository is not even read.
    build_game "$work/found" "$native" -DGAME_REPOSITORY=file:///nowhere -DCMAKE_PREFIX_PATH="$work/prefix" ;;
s390x)
    build_game "$work/s390x" "IBM S/390" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/s390x-linux-gnu.cmake"
    cd "$work/s390x" && before=$(stat -c %y joined.map)
    echo '// changed' >>"$tools/quarnel/c_writer.h" && quietly cmake --build .
    check "a header of quarnel changed: its tables remade, the map kept" "new $before" \
        "$([[ tables_quarnel/walk.anm.c -nt $tools/quarnel/c_writer.h ]] && echo new) $(stat -c %y joined.map)" ;;
# The target's flags in the environment stay out of the build of the tools.
arm) CXXFLAGS="-mcpu=arm7tdmi -mthumb" build_game "$work/arm" ARM -DCMAKE_TOOLCHAIN_FILE="$arm" \
        -DCMAKE_CXX_COMPILER=arm-none-eabi-g++ "${fetch[@]}" ;;
arm-c)
    CFLAGS=-mthumb CXXFLAGS=-mthumb LDFLAGS=-mthumb build_game "$work/arm" ARM -DCMAKE_TOOLCHAIN_FILE="$arm" \
        -DQUARNEL_PAVRIN_HOST_CXX_FLAGS=-DHOST_FLAGS_TAKEN
    check "the host flags reach the tools' compiler" 2 \
        "$(cat "$work"/arm/third_party/quarnel-pavrin/host/CMakeFiles/*_lib.dir/flags.make | grep -c HOST_FLAGS_TAKEN)"
    # A host compiler that builds no program of this machine fails that build, which says so.
    quietly cmake -S "$game" -B "$work/wrong" -DCMAKE_TOOLCHAIN_FILE="$arm" -DQUARNEL_PAVRIN_HOST_CXX_COMPILER=arm-none-eabi-gcc
    cmake --build "$work/wrong" >"$work/log" 2>&1 || true
    check "a wrong host compiler: the host build's failure, its compiler and an error line" 3 "$(tr -s ' \n' ' ' <"$work/log" |
        grep -o 'build of quarnel and pavrin for the build machine, with the C++ compiler [^ ]*arm-none-eabi-gcc, failed\|is not able to compile a simple test program\|error: ld returned' | sort -u | wc -l)"
    check "a host compiler that is no program" 1 "$(cmake -S "$game" -B "$work/none" -DCMAKE_TOOLCHAIN_FILE="$arm" \
        -DQUARNEL_PAVRIN_HOST_CXX_COMPILER=/nowhere/c++ 2>&1 | tr -s ' \n' ' ' | grep -c '/nowhere/c++ is not a program of this machine')"
    check "C only: no C++ compiler in the game" 0 "$(grep -c '^CMAKE_CXX_COMPILER:' "$work/arm/CMakeCache.txt")" ;;
esac
echo "vendored, $mode: $passed passed, $failed failed"
((failed == 0))
