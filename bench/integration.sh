#!/usr/bin/env bash
# Times the build integrations over COUNT copies of examples/walk.anm
# (walk0001.anm ...), each with NAME.h and the wrapper (the HEADER form):
#
#   1. make/quarnel-pavrin.mk against a hand-written makefile that does the
#      least a correct build needs: pattern rules, per input one shell
#      running `cd in && quarnel NAME >OUT.tmp && mv -f OUT.tmp OUT`, NAME.h
#      and the wrapper written by make's $(file) from the same template, each
#      folder made once (an order-only prerequisite). First build and no-op
#      build, the two makefiles in alternation;
#   2. the CMake package with Ninja: configure, first build and no-op build
#      of the tables (the target quarnel_add_tables() adds; the wrappers are
#      not compiled), in the same rounds as the makefiles, against the
#      hand-written one.
# Each figure is the median of ROUNDS runs (default 5); both build tools
# run one job at a time (JOBS, default 1). Every run's time follows the
# medians.
#
#   bench/integration.sh [COUNT [BUILD_DIR]]      (default: 1000 build)
#
# BUILD_DIR is configured as a Release build and its quarnel built; the
# CMake project loads the package from there. Needs bash, GNU make 4.2 or
# later and CMake 3.25, and for the CMake figures Ninja (Debian: make cmake
# ninja-build); not run by CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-1000}
build=$(realpath "${2:-$root/build}")
rounds=${ROUNDS:-5} jobs=${JOBS:-1}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target quarnel >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"
for ((i = 1; i <= count; i++)); do
    cp "$root/examples/walk.anm" "$(printf '%s/in/walk%04d.anm' "$work" "$i")"
done
cp "$root/examples/anm.h" "$work"

# The goal names every output, so that none is an intermediate file.
cat >"$work/hand.mk" <<EOF
QUARNEL := $build/quarnel
include $root/make/quarnel-pavrin-template.mk
NAMES := \$(notdir \$(wildcard in/*.anm))
all: \$(addprefix out/,\$(NAMES:=.c) \$(NAMES:=.h)) \$(addprefix out/wrap/,\$(NAMES:=.c))
fill = \$(subst @HEADER@,anm.h,\$(subst @LABEL@,anm_\$(subst .,_,\$*)_anm,\$(subst @NAME@,\$*.anm,\$(1))))
out/%.anm.c: in/%.anm \$(QUARNEL) | out
	cd in && \$(QUARNEL) \$*.anm >\$(CURDIR)/\$@.tmp && mv -f \$(CURDIR)/\$@.tmp \$(CURDIR)/\$@
out/%.anm.h: | out
	\$(file >\$@,\$(call fill,\$(quarnel_pavrin_header_text)))
out/wrap/%.anm.c: out/%.anm.h out/%.anm.c | out/wrap
	\$(file >\$@,\$(call fill,\$(quarnel_pavrin_wrapper_text)))
out out/wrap:
	mkdir -p \$@
EOF
cat >"$work/fragment.mk" <<EOF
QUARNEL := $build/quarnel
include $root/make/quarnel-pavrin.mk
NAMES := \$(notdir \$(wildcard in/*.anm))
all: \$(addprefix out/wrap/,\$(NAMES:=.c))
\$(call quarnel_tables,out,\$(wildcard in/*.anm),,anm.h)
EOF
mkdir "$work/cmake"
cat >"$work/cmake/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.25)
project(bench LANGUAGES C)
find_package(quarnel-pavrin CONFIG REQUIRED)
file(GLOB anms $work/in/*.anm)
add_library(tables STATIC)
quarnel_add_tables(tables HEADER $work/anm.h FILES \${anms})
EOF

# Wall-clock seconds of one run, to the millisecond; a failed run stops.
seconds() {
    local TIMEFORMAT=%3R
    { time "$@" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }; } 2>&1
}
median() { printf '%s\n' "$@" | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }

# The two makefiles write the same bytes.
for file in walk0001.anm.c walk0001.anm.h wrap/walk0001.anm.c; do
    rm -rf "$work/out" && make -s -C "$work" -f hand.mk "out/$file" && mv "$work/out/$file" "$work/hand-file"
    make -s -C "$work" -f fragment.mk "out/$file"
    cmp "$work/hand-file" "$work/out/$file"
done

# Each round starts with the other makefile, from an empty folder whose
# removal is on disk, and then builds with CMake.
command -v ninja >/dev/null || echo "no ninja: the CMake figures are left out" >&2
declare -A times
for ((round = 0; round < rounds; round++)); do
    order="hand fragment"
    ((round % 2 == 0)) || order="fragment hand"
    for makefile in $order; do
        rm -rf "$work/out" && sync
        times[$makefile.first]+=" $(seconds make -C "$work" -j"$jobs" -f "$makefile.mk")"
        times[$makefile.noop]+=" $(seconds make -C "$work" -j"$jobs" -f "$makefile.mk")"
    done
    command -v ninja >/dev/null || continue
    rm -rf "$work/cmake-build" && sync
    times[cmake.configure]+=" $(seconds cmake -G Ninja -S "$work/cmake" -B "$work/cmake-build" \
        -Dquarnel-pavrin_DIR="$build")"
    times[cmake.first]+=" $(seconds cmake --build "$work/cmake-build" -j"$jobs" --target tables_quarnel_tables)"
    times[cmake.noop]+=" $(seconds cmake --build "$work/cmake-build" -j"$jobs" --target tables_quarnel_tables)"
done

# shellcheck disable=SC2086 # the lists of times are split on purpose
for key in "${!times[@]}"; do declare "median_${key/./_}=$(median ${times[$key]})"; done
echo "$count inputs, median of $rounds runs, $jobs job(s), $(make --version | head -1)"
printf '%-28s %8s %8s %8s\n' "" configure first no-op
printf '%-28s %8s %8s %8s\n' "hand-written makefile" - "$median_hand_first" "$median_hand_noop"
printf '%-28s %8s %8s %8s\n' "quarnel-pavrin.mk" - "$median_fragment_first" "$median_fragment_noop"
printf '%-28s %8s %8s %8s\n' "  against hand-written" - "$(ratio "$median_fragment_first" "$median_hand_first")x" \
    "$(ratio "$median_fragment_noop" "$median_hand_noop")x"
if [[ -n ${times[cmake.first]:-} ]]; then
    printf '%-28s %8s %8s %8s\n' "CMake package, Ninja" "$median_cmake_configure" "$median_cmake_first" "$median_cmake_noop"
    printf '%-28s %8s %8s %8s\n' "  against hand-written" - "$(ratio "$median_cmake_first" "$median_hand_first")x" \
        "$(ratio "$median_cmake_noop" "$median_hand_noop")x"
fi
echo "every run, in seconds:"
for key in "${!times[@]}"; do printf '  %s:%s\n' "$key" "${times[$key]}"; done | sort
