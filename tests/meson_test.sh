#!/usr/bin/env bash
# Builds tests/meson, a game that takes this tree in as a Meson subproject,
# cross-compiled for bare-metal ARM with a cross file that names a C compiler
# only: its NAME.c and NAME.h must be the CMake functions' bytes for the same
# inputs, its map the native pavrin's, its objects ARM's, and a failed
# quarnel run must leave no NAME.c. Exits 77 without meson, ninja or
# arm-none-eabi-gcc.
#   tests/meson_test.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd -P)
for tool in meson ninja arm-none-eabi-gcc; do
    command -v $tool >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"
game=$work/game
cp -r "$root/tests/meson" "$game" && mkdir "$game/sprites" "$game/subprojects"
cp "$root"/examples/{anm.h,walk.anm,left.map,right.map} "$game/"
cp "$root/examples/walk.anm" "$game/sprites/-Run-2.anm"
ln -s "$root" "$game/subprojects/quarnel-pavrin"
quietly meson setup --cross-file "$game/arm-none-eabi.ini" "$work/meson" "$game"
quietly ninja -C "$work/meson"
quietly cmake -S "$game" -B "$work/cmake" -Dquarnel-pavrin_DIR="$build"
quietly cmake --build "$work/cmake"
same_as_cmake() {
    for file in walk.anm.c walk.anm.h -Run-2.anm.c -Run-2.anm.h; do
        cmp -- "$work/cmake/tables_quarnel/$file" "$work/meson/$file" 2>&1 || :
    done
}
check "NAME.c and NAME.h: the CMake functions' bytes" "" "$(same_as_cmake)"
(cd "$game" && "$build/pavrin" -x -o"$work/joined.map" left.map right.map)
check "the map: the native pavrin's" "" "$(cmp "$work/joined.map" "$work/meson/joined.map" 2>&1)"
check "objects for ARM" "ARM ARM" "$(file -b "$work/meson"/libtables.a.p/*.o | cut -d, -f2 | xargs)"

# A cut input fails the build and leaves no NAME.c; mended, it is made again.
head -c 20 "$root/examples/walk.anm" >"$game/walk.anm"
check "a failed quarnel fails the build" 1 "$(ninja -C "$work/meson" >/dev/null 2>&1; echo $?)"
check "a failed quarnel leaves no NAME.c" absent "$([[ -e $work/meson/walk.anm.c ]] || echo absent)"
cp "$root/examples/walk.anm" "$game/walk.anm" && quietly ninja -C "$work/meson"
check "the next build makes NAME.c again" "" "$(same_as_cmake)"
echo "meson: $passed passed, $failed failed"
((failed == 0))
