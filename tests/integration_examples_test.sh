#!/usr/bin/env bash
# Builds examples/make with the given tools and examples/cmake against the
# package in the given build folder, outside the source tree; runs the
# program each one links, checks the map each one joins and that both
# generated the same C; checks that clashing calls stop make.
#
#   tests/integration_examples_test.sh PATH/TO/quarnel PATH/TO/pavrin BUILD_DIR
set -euo pipefail
if (($# != 3)); then
    echo "usage: $0 QUARNEL PAVRIN BUILD_DIR" >&2
    exit 2
fi
examples=$(cd "$(dirname "$0")/../examples" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The Make build reaches the tools through wrappers that log each run, under
# names that are not on PATH: a build that ignored QUARNEL/PAVRIN and ran
# some other quarnel or pavrin shows up in the log.
mkdir "$work/bin"
logged() # NAME PROGRAM
{
    printf '#!/bin/sh\necho %s >>"%s/used"\nexec "%s" "$@"\n' \
        "$1" "$work" "$(realpath "$2")" >"$work/bin/logged-$1"
    chmod +x "$work/bin/logged-$1"
}
logged quarnel "$1"
logged pavrin "$2"

source "$(dirname "$0")/checks.sh"

# Checks what a build left in DIR: the program's output and the joined map.
check_build() # NAME DIR
{
    check "$1: program output" \
        "walk.anm: 1 sprite group(s), first sprite 16x16, first step 10 frames" \
        "$("$2/walk_demo")"
    # left.map is 2x2 cells and right.map 3x1, side by side: 5x2, so
    # 8 + 2*5*2 bytes.
    check "$1: joined map size (header bytes 4-5)" "5 2" \
        "$(od -An -tu1 -j4 -N2 "$2/joined.map" | xargs)"
    check "$1: joined map length" 28 "$(wc -c <"$2/joined.map" | xargs)"
}

sources_before=$(cd "$examples" && find . -print | sort)

quietly make -C "$examples/make" OUT="$work/make" \
    QUARNEL="$work/bin/logged-quarnel" PAVRIN="$work/bin/logged-pavrin"
check_build make "$work/make"

quietly cmake -S "$examples/cmake" -B "$work/cmake" -Dquarnel-pavrin_DIR="$3"
quietly cmake --build "$work/cmake"
check_build cmake "$work/cmake"

check "make ran the tools it was given" "pavrin quarnel" "$(sort "$work/used" | xargs)"
for file in walk.anm.c walk.anm.h wrap/walk.anm.c; do
    check "make and cmake generated the same $file" "" \
        "$(cmp "$work/make/$file" "$work/cmake/walk_quarnel/$file" 2>&1)"
done
check "nothing written beside the sources" "$sources_before" \
    "$(cd "$examples" && find . -print | sort)"

# Clashes stop make before any rule runs, naming what clashes.
while IFS='|' read -r calls message; do
    # A makefile on standard input would leave make's copy of it in /tmp.
    printf 'include %s\n%s\n' "$examples/../make/quarnel-pavrin.mk" "${calls//; /$'\n'}" >"$work/clash.mk"
    check "make stops on: $calls" 1 "$(make -n -f "$work/clash.mk" 2>&1 | grep -cF "$message")"
done <<'EOF'
$(call quarnel_tables,o,a/walk.anm); $(call quarnel_tables,o/,b/walk.anm)|b/walk.anm and a/walk.anm have the same name
$(call quarnel_tables,o,hero-1.anm hero_1.anm)|hero_1.anm and hero-1.anm give the same table names
$(call quarnel_tables,o,Hero.anm hero.anm,-l)|hero.anm and Hero.anm give the same table names
$(call pavrin_join,o/j.map,a.map); $(call pavrin_join,./o/j.map,b.map)|./o/j.map is joined twice
EOF

# The README quotes both build files; every line it quotes must still be in
# the file it names, so the README cannot drift from what is tested here.
readme=$examples/../README.md
for file in examples/make/Makefile examples/cmake/CMakeLists.txt; do
    missing=$(awk -v marker="<!-- excerpt: $file -->" '
        $0 == marker { state = 1; next }
        state == 1 && /^```/ { state = 2; next }
        state == 2 && /^```/ { state = 0; next }
        state == 2 && NF { print }' "$readme" |
        while IFS= read -r line; do
            grep -qxF -- "$line" "$examples/../$file" || echo "$line"
        done)
    check "README excerpt of $file matches the file" "" "$missing"
done

echo "examples: $passed passed, $failed failed"
((failed == 0))
