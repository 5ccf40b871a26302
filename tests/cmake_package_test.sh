#!/usr/bin/env bash
# Installs a built tree into a temporary prefix, moves the prefix elsewhere,
# and builds tests/consumer against it as a user's project would.
#   native: the program reads the tables, the joined map is right, each
#     NAME.c is quarnel's own output byte for byte and the same from a second
#     build folder; a build remakes the outputs after an input or the
#     installed tools change, and not otherwise; clashing files are refused.
#   s390x: cross-built with a toolchain that confines package search to the
#     target's root, given the host package by quarnel-pavrin_DIR, and run
#     under qemu. Exits 77 (skipped) without the cross compilers or qemu.
#
#   tests/cmake_package_test.sh BUILD_DIR native|s390x
set -euo pipefail
build=$1 mode=$2
root=$(cd "$(dirname "$0")/.." && pwd)
if [[ $mode == s390x ]]; then
    for tool in s390x-linux-gnu-gcc s390x-linux-gnu-g++ qemu-s390x; do
        command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
    done
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$(dirname "$0")/checks.sh"

# Moved after installing: the package must find its tools from where it is.
quietly cmake --install "$build" --prefix "$work/staged"
mv "$work/staged" "$work/prefix"
prefix=$work/prefix

src=$work/src
cp -r "$root/tests/consumer" "$src"
cp "$root"/examples/{anm.h,walk.anm,left.map,right.map} "$src/"
cp "$root/examples/walk.anm" "$src/sprites/-Run-2.anm"
cp "$root/examples/walk.anm" "$src/sprites/Jump.anm"

# Checks the program's output, the joined map and the generated C of the
# build in DIR; the program runs through RUNNER..., if given.
check_build() # DIR [RUNNER...]
{
    local dir=$1
    shift
    check "$dir: program output" \
        "walk.anm: 1 step(s), 1 group(s), first sprite 16x16, first step 10 frames
-Run-2.anm: 1 step(s), 1 group(s), first sprite 16x16, first step 10 frames
Jump.anm: 1 step(s), 1 group(s), first sprite 24x40, first step 10 frames" \
        "$("$@" "$dir/consumer")"
    # left.map (2x2) and right.map (3x1) side by side make 5x2, cut to 4
    # wide and padded to 3 high, in 16-pixel cells: 8 + 2*4*3 bytes.
    check "$dir: joined map header" "35 0 0 0 4 3 16 16" \
        "$(od -An -tu1 -N8 "$dir/maps/joined.map" | xargs)"
    check "$dir: joined map length" 32 "$(wc -c <"$dir/maps/joined.map" | xargs)"
    check "$dir: walk.anm.c is quarnel's output" "" \
        "$(cd "$src" && "$prefix/bin/quarnel" walk.anm | cmp - "$dir/tables_c_quarnel/walk.anm.c" 2>&1)"
    check "$dir: Jump.anm.c is quarnel -l -r's output" "" \
        "$(cd "$src/sprites" && "$prefix/bin/quarnel" -l -r Jump.anm |
            cmp - "$dir/sprites/cxx/Jump.anm.c" 2>&1)"
    check "$dir: -Run-2.anm read as a file" "/* file: -Run-2.anm */" \
        "$(head -n 1 "$dir/tables_c_quarnel/-Run-2.anm.c")"
}

if [[ $mode == s390x ]]; then
    toolchain=$root/cmake/s390x-linux-gnu.cmake
    # The toolchain really hides the host prefix...
    check "confined package search misses the host package" 1 \
        "$(cmake -S "$src" -B "$work/hidden" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_PREFIX_PATH="$prefix" >/dev/null 2>&1 && echo 0 || echo 1)"
    # ...and quarnel-pavrin_DIR reaches it.
    quietly cmake -S "$src" -B "$work/s390x" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -Dquarnel-pavrin_DIR="$prefix/share/cmake/quarnel-pavrin"
    quietly cmake --build "$work/s390x"
    check "the program is built for s390x" 1 \
        "$(file "$work/s390x/consumer" | grep -c 'IBM S/390')"
    check_build "$work/s390x" qemu-s390x -L /usr/s390x-linux-gnu
    echo "cmake package, s390x: $passed passed, $failed failed"
    ((failed == 0))
    exit
fi

for dir in "$work/one" "$work/two"; do
    quietly cmake -S "$src" -B "$dir" -DCMAKE_PREFIX_PATH="$prefix"
    quietly cmake --build "$dir"
done
check_build "$work/one"
check "two build folders, same generated files" "" \
    "$(diff -r "$work/one/tables_c_quarnel" "$work/two/tables_c_quarnel" &&
        diff -r "$work/one/sprites/cxx" "$work/two/sprites/cxx")"

# Which outputs the next build remakes: inputs and tools are dated two hours
# back, the outputs one hour, so whatever a build rewrites is newer than the
# mark at half an hour.
one=$work/one
outputs=("$one/tables_c_quarnel/walk.anm.c" "$one/tables_c_quarnel/-Run-2.anm.c"
         "$one/sprites/cxx/Jump.anm.c" "$one/maps/joined.map")
age_everything()
{
    touch -d '2 hours ago' "$src"/* "$src"/sprites/* "$prefix"/bin/* \
        "$prefix"/share/cmake/quarnel-pavrin/*
    touch -d '1 hour ago' "${outputs[@]}"
    touch -d '30 minutes ago' "$work/mark"
}
remade_by_build()
{
    quietly cmake --build "$one"
    for file in "${outputs[@]}"; do
        [[ $file -nt $work/mark ]] && echo "${file##*/}"
    done | xargs
}
age_everything
check "nothing changed: nothing remade" "" "$(remade_by_build)"

# walk.anm's first step now lasts 12 frames (the time field, byte 10).
printf '\x0c' | dd of="$src/walk.anm" bs=1 seek=10 conv=notrunc status=none
check "walk.anm changed: its tables remade" "walk.anm.c" "$(remade_by_build)"
check "walk.anm changed: the program sees it" \
    "walk.anm: 1 step(s), 1 group(s), first sprite 16x16, first step 12 frames" \
    "$("$one/consumer" | head -n 1)"

age_everything
touch "$prefix/bin/quarnel" "$prefix/bin/pavrin"
check "tools changed: everything remade" "walk.anm.c -Run-2.anm.c Jump.anm.c joined.map" \
    "$(remade_by_build)"

for clash in "name:have the same name" "label:give the same table names"; do
    if cmake -S "$src" -B "$work/clash" -DCMAKE_PREFIX_PATH="$prefix" -DCLASH="${clash%%:*}" \
        >"$work/log" 2>&1; then
        check "files with the same ${clash%%:*} refused" "configure failed" "configure passed"
    else
        check "files with the same ${clash%%:*} refused" 1 \
            "$(tr -s ' \n' ' ' <"$work/log" | grep -c "${clash#*:}")"
    fi
    rm -rf "$work/clash"
done

echo "cmake package, native: $passed passed, $failed failed"
((failed == 0))
