#!/usr/bin/env bash
# Installs a built tree into a temporary prefix, moves the prefix elsewhere,
# and builds tests/consumer against it as a user's project would.
#   native: the program reads the tables, the joined map is right, each
#     NAME.c is quarnel's own output byte for byte and the same from a second
#     build folder; a build remakes the outputs after an input or the
#     installed tools change, and not otherwise; clashing files are refused;
#     names a shell would run or expand reach the tools as they are, under
#     Ninja and make.
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
    [[ ! -x $prefix/bin/anm-cellmap ]] ||
        check "$dir: quarnel-pavrin::anm-cellmap drew it" "PNG" "$(head -c 4 "$dir/maps/joined.png" | tail -c 3)"
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

# The installed Make fragment, given the header, writes what CMake wrote.
make -s -C "$src" -f - OUT="$work/make" QUARNEL="$prefix/bin/quarnel" <<EOF
include $prefix/share/quarnel-pavrin/quarnel-pavrin.mk
\$(call quarnel_tables,\$(OUT)/c,walk.anm sprites/-Run-2.anm,,anm.h)
\$(call quarnel_tables,\$(OUT)/cxx,sprites/Jump.anm,-l -r,../anm.h)
all: \$(OUT)/c/wrap/walk.anm.c \$(OUT)/c/wrap/-Run-2.anm.c \$(OUT)/cxx/wrap/Jump.anm.c
EOF
mv "$work/make/cxx/wrap/Jump.anm.c" "$work/make/cxx/wrap/Jump.anm.cpp"
check "make writes the files cmake writes" "" \
    "$(diff -r -x '.*.cmd' "$work/make/c" "$work/one/tables_c_quarnel" &&
        diff -r -x '.*.cmd' "$work/make/cxx" "$work/one/sprites/cxx")"

# Added with add_subdirectory(), the project installs nothing of its own.
mkdir "$work/parent"
printf 'cmake_minimum_required(VERSION 3.25)\nproject(parent CXX)\nadd_subdirectory(%s qp)\n' \
    "$root" >"$work/parent/CMakeLists.txt"
quietly cmake -S "$work/parent" -B "$work/parent/build"
quietly cmake --install "$work/parent/build" --prefix "$work/parent/prefix"
check "added with add_subdirectory(): nothing installed" "" "$(find "$work/parent/prefix" -type f 2>/dev/null)"

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

# Mistakes stop the configure step, and a label shared by two targets warns,
# naming what is wrong (SRC and BUILD stand for the folders; each text
# between | must show), a missing input at its call in CMake's call stack;
# no message shows a doubled blank.
while IFS='|' read -r outcome mistake message; do
    message=${message//SRC/$src} message=${message//BUILD/$work/mistake}
    printf '%s\n' "${mistake//; /$'\n'}" >"$src/mistake.cmake"
    cmake -G "Unix Makefiles" -S "$src" -B "$work/mistake" -DCMAKE_PREFIX_PATH="$prefix" >"$work/log" 2>&1 &&
        result=passed || result=failed
    IFS='|' read -ra fragments <<<"$message"
    for fragment in "${fragments[@]}"; do
        tr -s ' \n' ' ' <"$work/log" | grep -qF -- "$fragment" || result+=" without: $fragment"
    done
    check "$mistake" "$outcome 0" "$result $(grep -c '\.  ' "$work/log")"
done <<'EOF'
failed|add_library(c STATIC); quarnel_add_tables(c HEADER anm.h FILES walk.anm sprites/walk.anm)|quarnel_add_tables: SRC/sprites/walk.anm and SRC/walk.anm have the same name, so their tables would overwrite each other in BUILD/c_quarnel
failed|add_library(c STATIC); quarnel_add_tables(c HEADER anm.h FILES Walk-1.anm Walk_1.anm)|SRC/Walk_1.anm and SRC/Walk-1.anm give the same table names (anm_Walk_1_anm_seq, anm_Walk_1_anm_ptr)
passed|add_library(c STATIC); quarnel_add_tables(c HEADER anm.h FILES walk.anm)|quarnel_add_tables: SRC/walk.anm (target tables_c) and SRC/walk.anm (target c) give the same table names
failed|add_library(c STATIC); quarnel_add_tables(c HEADR anm.h LOWR FILES walk.anm)|quarnel_add_tables: unknown arguments: HEADR anm.h LOWR
failed|add_library(c STATIC); quarnel_add_tables(c HEADER anm.h FILES sprites/Jump.anm); add_library(d STATIC); quarnel_add_tables(d HEADER anm.h FILES nowhere.anm)|quarnel_add_tables: SRC/nowhere.anm does not exist, and no rule of this build makes it| mistake.cmake:4 (quarnel_add_tables)
failed|pavrin_join(a.map TARGET a INPUTS left.map nowhere.map)|pavrin_join: SRC/nowhere.map does not exist, and no rule of this build makes it| mistake.cmake:1 (pavrin_join)
failed|add_library(c STATIC); quarnel_add_tables(c HEADER anm.h FILES [[st*r.anm]])|quarnel_add_tables: SRC/st*r.anm: make would read *, ? or [ in a rule as a pattern
failed|add_library(c STATIC); quarnel_add_tables(c HEADER anm.h FILES [[a$b.anm]])|quarnel_add_tables: SRC/a$b.anm: CMake cannot carry a name with \ or a line break into a rule, nor one with #, < or > into a file it makes, nor $ into one it compiles
failed|add_library(c STATIC); quarnel_add_tables(c HEADER anm.h FILES [[a\b.anm]])|quarnel_add_tables: SRC/a\b.anm: CMake cannot carry
passed|pavrin_join(a.map TARGET a WIDTH 0377 HEIGHT 0xFF CELL 255 INPUTS ${CMAKE_BINARY_DIR}/l.map); add_custom_command(OUTPUT l.map COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/left.map l.map)|-- Generating done
failed|pavrin_join(maps/joined.map TARGET early INPUTS left.map)|pavrin_join: TARGET joined and TARGET early both make BUILD/maps/joined.map
failed|pavrin_join(a.map TARGET a WIDTH 0400 INPUTS left.map)|pavrin_join: WIDTH 0400 lies outside 0-255
failed|pavrin_join(a.map TARGET a CELL 0x100 INPUTS left.map)|pavrin_join: CELL 0x100 lies outside 0-255
failed|pavrin_join(a.map TARGET a HEIGHT 08 INPUTS left.map)|pavrin_join: HEIGHT 08 is not a number
EOF
rm "$src/mistake.cmake"

# Names a shell would run or expand: nothing runs, the named files are read,
# a failing join deletes nothing; a failed quarnel leaves no NAME.c nor
# temporary file, and the next build makes it though the input is older.
names=$work/names
mkdir "$names" && cp "$root"/examples/{anm.h,walk.anm} "$names/"
cp "$root/examples/left.map" "$names/m[1].map" && cp "$root/examples/right.map" "$names/m1.map"
head -c 5 "$root/examples/left.map" >"$names/broken.map" && head -c 30 "$root/examples/walk.anm" >"$names/stXr.anm"
printf '%s\n' 'cmake_minimum_required(VERSION 3.25)' 'project(names C)' \
    'find_package(quarnel-pavrin CONFIG REQUIRED)' 'add_library(t STATIC)' \
    'quarnel_add_tables(t HEADER anm.h FILES ${ANMS})' 'pavrin_join(j.map TARGET j INPUTS ${MAPS})' \
    'pavrin_join("${BAD}" TARGET bad INPUTS broken.map)' >"$names/CMakeLists.txt"
while IFS='|' read -r generator anms maps bad; do
    IFS=';' read -ra anm_list <<<"$anms" && IFS=';' read -ra map_list <<<"$maps"
    for f in "${anm_list[@]}"; do cp "$root/examples/walk.anm" "$names/$f"; done
    for f in "${map_list[@]}"; do [[ -e $names/$f ]] || cp "$root/examples/right.map" "$names/$f"; done
    rm -rf "$work/b" && mkdir "$work/b" && echo 1 >"$work/b/level1.map" && echo 2 >"$work/b/level2.map"
    quietly cmake -G "$generator" -S "$names" -B "$work/b" -DCMAKE_PREFIX_PATH="$prefix" \
        -DANMS="$anms" -DMAPS="$maps" -DBAD="$bad"
    cmake --build "$work/b" --target t j >/dev/null 2>&1 && result=built || result=failed
    (cd "$names" && "$prefix/bin/pavrin" -o"$work/j.map" "${map_list[@]}")
    for f in "${anm_list[@]}"; do
        (cd "$names" && "$prefix/bin/quarnel" "$f") | cmp -s - "$work/b/t_quarnel/$f.c" || result+=" $f"
    done
    cmp -s "$work/j.map" "$work/b/j.map" || result+=" j.map"
    cmake --build "$work/b" --target bad >/dev/null 2>&1 && result+=" bad built"
    check "$generator: $anms $maps" "built 1 2" "$result $(cat "$work/b/level"{1,2}.map | xargs)"
    head -c 30 "$root/examples/walk.anm" >"$names/${anm_list[0]}"
    cmake --build "$work/b" --target t >/dev/null 2>&1 && result=built || result=failed
    result+=" $(ls "$work/b/t_quarnel" | grep -c '\.c' || :)"
    cp "$root/examples/walk.anm" "$names/${anm_list[0]}" && touch -d '1 hour ago' "$names/${anm_list[0]}"
    cmake --build "$work/b" --target t >/dev/null 2>&1 && result+=" built"
    result+=" $(ls "$work/b/t_quarnel" | grep -c '\.c' || :)"
    check "$generator: a failed run leaves no NAME.c, the next remakes it" "failed $((${#anm_list[@]} - 1)) built ${#anm_list[@]}" "$result"
    check "$generator: nothing ran" "" "$(find "$work" -name PWN)"
done <<'EOF'
Ninja|x`touch PWN`.anm;st*r.anm;a b'{1,2}&(.anm|m[1].map;q?.map;a'b"{1,2}$(touch PWN).map|level?.map
Unix Makefiles|x`touch PWN`.anm;a b'{1,2}&(.anm|m1.map;a'b"{1,2}$(touch PWN).map|level`touch PWN`.map
EOF

echo "cmake package, native: $passed passed, $failed failed"
((failed == 0))
