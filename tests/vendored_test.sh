#!/usr/bin/env bash
# Builds tests/vendored, a game that takes quarnel-pavrin in with
# add_subdirectory() or FetchContent (from a repository of the source, at
# its commit), as its users do. In every build the tables and the joined map
# are the native tools' bytes and the game's objects are the target's.
#   native: both forms, the first with C++ tables; FetchContent takes an
#     installed package when one is found, and then reads no repository.
#   s390x: add_subdirectory(); the build of the tools for this machine is
#     remade when their source changes and not otherwise, and shows its
#     compile errors; an installed prefix is taken instead of building.
#   arm: bare-metal ARM with C and C++, FetchContent, and with the installed
#     package through quarnel-pavrin_DIR.
#   arm-c: bare-metal ARM with a C compiler only, add_subdirectory(), and a
#     host compiler named.
# Exits 77 (skipped) without the cross compilers.
#
#   tests/vendored_test.sh BUILD_DIR native|s390x|arm|arm-c
set -euo pipefail
build=$1 mode=$2
root=$(cd "$(dirname "$0")/.." && pwd -P)
toolchain="" needs=(git) generator=()
case $mode in
    s390x) toolchain=$root/cmake/s390x-linux-gnu.cmake needs+=(s390x-linux-gnu-gcc) ;;
    arm) toolchain=$root/tests/vendored/arm-none-eabi.cmake needs+=(arm-none-eabi-gcc arm-none-eabi-g++)
         ! command -v ninja >/dev/null || generator=(-G Ninja) ;;
    arm-c) toolchain=$root/tests/vendored/arm-none-eabi-c.cmake needs+=(arm-none-eabi-gcc) ;;
esac
for tool in "${needs[@]}"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap '[[ -n ${KEEP:-} ]] || rm -rf "$work"' EXIT

source "$(dirname "$0")/checks.sh"

# The installed tools make the expected bytes, and are the package found.
quietly cmake --install "$build" --prefix "$work/prefix"
prefix=$work/prefix
package=$prefix/share/cmake/quarnel-pavrin
machine_of() { readelf -h "$1" | sed -n 's/^ *Machine: *//p' | sort -u; }
target_machine=$(machine_of "$prefix/bin/quarnel")

game=$work/game
cp -r "$root/tests/vendored" "$game"
cp "$root"/examples/{anm.h,walk.anm,left.map,right.map} "$game/"
cp "$root/examples/walk.anm" "$game/Jump.anm"
(cd "$game" && "$prefix/bin/pavrin" -x -o"$work/joined.map" left.map right.map)

# The tools' source as a game keeps it: the files git would commit, or
# every file of an unpacked source tarball, in third_party/, and as a
# repository of its own.
tools=$game/third_party/quarnel-pavrin
mkdir -p "$tools"
if [[ $(git -C "$root" rev-parse --show-toplevel 2>/dev/null) == "$root" ]]; then
    git -C "$root" ls-files -z --cached --others --exclude-standard
else
    (cd "$root" && find . -path './build*' -prune -o -type f -print0)
fi | (cd "$root" && tar -c --null -T - -f -) | tar -x -C "$tools" -f -
repo=$work/repo
cp -r "$tools" "$repo"
git -C "$repo" -c init.defaultBranch=main init -q
git -C "$repo" add -A
git -C "$repo" -c user.name=test -c user.email=test@example.invalid -c commit.gpgsign=false \
    commit -qm source
commit=$(git -C "$repo" rev-parse HEAD)
fetch=(-DGAME_REPOSITORY="file://$repo" -DGAME_COMMIT="$commit")
# With a package found first, FetchContent must not even look at this one.
no_fetch=(-DGAME_REPOSITORY="file://$work/nowhere" -DGAME_COMMIT="$commit")

# Configures and builds the game in DIR with the cmake arguments after it,
# then checks what it made.
build_game() # DIR CMAKE_ARGUMENT...
{
    local dir=$1
    shift
    quietly cmake -S "$game" -B "$dir" "${generator[@]}" \
        ${toolchain:+"-DCMAKE_TOOLCHAIN_FILE=$toolchain"} "$@"
    quietly cmake --build "$dir"
    check "$dir: walk.anm.c is quarnel's output" "" \
        "$(cd "$game" && "$prefix/bin/quarnel" walk.anm | cmp - "$dir/tables_quarnel/walk.anm.c" 2>&1)"
    check "$dir: the joined map is pavrin's" "" "$(cmp "$work/joined.map" "$dir/joined.map" 2>&1)"
    check "$dir: objects for the target" "$target_machine" "$(machine_of "$dir/libtables.a")"
    if [[ -f $dir/libtables_cxx.a ]]; then
        check "$dir: Jump.anm.c is quarnel -l -r's output" "" \
            "$(cd "$game" && "$prefix/bin/quarnel" -l -r Jump.anm | cmp - "$dir/cxx/Jump.anm.c" 2>&1)"
        check "$dir: C++ objects for the target" "$target_machine" "$(machine_of "$dir/libtables_cxx.a")"
    fi
}
# The folder of the tools' own build for this machine, if there is one.
host_build() { find "$1" -type d -path '*quarnel-pavrin*/host' -prune; }

if [[ $mode == native ]]; then
    build_game "$work/subdir" -DGAME_CXX=ON
    check "native add_subdirectory(): the tools are the game's targets" \
        "$work/subdir/third_party/quarnel-pavrin/quarnel" \
        "$(find "$work/subdir" -type f -name quarnel)$(host_build "$work/subdir")"
    build_game "$work/fetch" "${fetch[@]}"
    check "fetched at the pinned commit" "$commit" \
        "$(git -C "$work/fetch/_deps/quarnel-pavrin-src" rev-parse HEAD)"
    build_game "$work/found" "${no_fetch[@]}" -DCMAKE_PREFIX_PATH="$prefix"
    check "FetchContent takes the installed package" "$package" \
        "$(sed -n 's/^quarnel-pavrin_DIR:PATH=//p' "$work/found/CMakeCache.txt")"
fi

if [[ $mode == s390x ]]; then
    target_machine="IBM S/390"
    dir=$work/s390x
    build_game "$dir"
    host=$(host_build "$dir")
    check "s390x: the tools are built for this machine only" "$dir/third_party/quarnel-pavrin/host" \
        "$host$(find "$dir" -path "$host" -prune -o -name 'lib*_lib.a' -print)"
    outputs=("$host/quarnel" "$host/pavrin" "$dir/tables_quarnel/walk.anm.c" "$dir/joined.map")
    # The outputs that the next build rewrites.
    remade_by_build()
    {
        local i before=()
        for i in "${!outputs[@]}"; do before[i]=$(stat -c %y "${outputs[i]}"); done
        quietly cmake --build "$dir"
        for i in "${!outputs[@]}"; do
            [[ $(stat -c %y "${outputs[i]}") == "${before[i]}" ]] || echo "${outputs[i]##*/}"
        done | xargs
    }
    check "nothing changed: nothing remade" "" "$(remade_by_build)"
    echo '// changed' >>"$tools/quarnel/c_writer.cpp"
    check "quarnel's source changed: quarnel and the tables remade" "quarnel walk.anm.c" \
        "$(remade_by_build)"
    # A compile error stops the game's build and shows there.
    cp "$tools/quarnel/input.cpp" "$work/input.cpp"
    echo 'int broken = ;' >>"$tools/quarnel/input.cpp"
    cmake --build "$dir" >"$work/log" 2>&1 && result=passed || result=failed
    check "a compile error in the tools: the game's build fails and shows it" "failed 1" \
        "$result $(grep -c "quarnel/input.cpp:[0-9]*:[0-9]*: error" "$work/log")"
    cp "$work/input.cpp" "$tools/quarnel/input.cpp"
    build_game "$work/s390x-prefix" -DQUARNEL_PAVRIN_HOST_PREFIX="$prefix"
    check "an installed prefix named: nothing built" "$package" \
        "$(host_build "$work/s390x-prefix")$(sed -n 's/^quarnel-pavrin_DIR:PATH=//p' "$work/s390x-prefix/CMakeCache.txt")"
fi

if [[ $mode == arm ]]; then
    target_machine=ARM
    build_game "$work/arm" -DGAME_CXX=ON "${fetch[@]}"
    check "arm: the tools are built for this machine only" "$work/arm/_deps/quarnel-pavrin-build/host" \
        "$(host_build "$work/arm")$(find "$work/arm" -path '*/host' -prune -o -name 'lib*_lib.a' -print)"
    build_game "$work/arm-found" "${no_fetch[@]}" -Dquarnel-pavrin_DIR="$package"
fi

if [[ $mode == arm-c ]]; then
    target_machine=ARM
    compiler=$(command -v g++)
    build_game "$work/arm-c" -DQUARNEL_PAVRIN_HOST_CXX_COMPILER="$compiler"
    check "arm, C only: no C++ compiler in the game" 0 \
        "$(grep -c '^CMAKE_CXX_COMPILER:' "$work/arm-c/CMakeCache.txt")"
    check "arm, C only: the host compiler named is used" "$compiler" \
        "$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$(host_build "$work/arm-c")/CMakeCache.txt")"
fi

echo "vendored, $mode: $passed passed, $failed failed"
((failed == 0))
