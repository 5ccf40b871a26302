#!/usr/bin/env bash
# Measures anm-cellmap against what a user would run otherwise, one function
# per measurement, on a 9 MB animation (4,000 groups of 127 sprites, 1,000
# sequence entries) and a 255 x 255 cell map from the tests' byte builder:
#
#   dump_against_quarnel   `anm-cellmap dump` and quarnel on the same file,
#                          both to /dev/null; the goal is at most 4 x
#                          quarnel's time
#   check_speed            `anm-cellmap check` of the same files, against
#                          `cat` of them to /dev/null: the cost of a CI step
#   build_against_python   `anm-cellmap build` of the animation's dump, to
#                          /dev/null, against Python's json.load merely
#                          parsing it; the goal is at most half its time
#   peak_memory            peak resident memory of dump and build on a
#                          0.2 MB and the 9 MB animation; the goal is the
#                          same for both (needs GNU time, /usr/bin/time)
#
#   bench/anm-cellmap.sh [BUILD_DIR]     (default: build)
#
# BUILD_DIR is configured as a Release build and built. Every time is the
# best of ROUNDS runs (default 7), the commands run in alternation.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
rounds=${ROUNDS:-7}
groups=4000 sprites=127 sequences=1000

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j2 --target quarnel anm-cellmap bytes >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tests/bytes" anm $groups $sprites $sequences >"$work/big.anm"
cells=$(for ((i = 0; i < 255 * 255; i++)); do echo $((i * 7919 % 65536)); done)
# shellcheck disable=SC2086 # one argument per cell
"$build/tests/bytes" map 255 255 8 8 $cells >"$work/big.map"

# shellcheck source=bench/timing.sh
source bench/timing.sh
megabytes() { awk "BEGIN { printf \"%.1f MB\", $(stat -c %s "$1") / 1e6 }"; }

dump_against_quarnel() {
    "$build/quarnel" "$work/big.anm" >"$work/big.c"
    "$build/anm-cellmap" dump "$work/big.anm" >"$work/big.json"
    "$build/anm-cellmap" dump "$work/big.map" >"$work/map.json"
    echo "input: $(megabytes "$work/big.anm"), $groups groups of $sprites sprites;" \
         "quarnel's C $(megabytes "$work/big.c"), the dump $(megabytes "$work/big.json")"
    mapfile -t times < <(best_times "$build/quarnel $work/big.anm" \
                                    "$build/anm-cellmap dump $work/big.anm" \
                                    "$build/anm-cellmap dump $work/big.map")
    echo "  quarnel: ${times[0]} s; dump: ${times[1]} s; $(ratio "${times[1]}" "${times[0]}") x quarnel"
    echo "  dump of a 255 x 255 map ($(megabytes "$work/map.json") of JSON): ${times[2]} s"
}

check_speed() {
    mapfile -t times < <(best_times "$build/anm-cellmap check $work/big.anm $work/big.map" \
                                    "cat $work/big.anm $work/big.map")
    echo "check of both files: ${times[0]} s; cat of them: ${times[1]} s"
}

build_against_python() {
    "$build/anm-cellmap" dump "$work/big.anm" >"$work/big.json"
    "$build/anm-cellmap" build "$work/big.json" -o "$work/built.anm"
    cmp -s "$work/big.anm" "$work/built.anm" || { echo "build gave other bytes" >&2; exit 1; }
    # What `python3 -c 'import json,sys; json.load(sys.stdin)' <FILE` does, as
    # one command line that best_times can split.
    echo 'import json,sys; json.load(open(sys.argv[1]))' >"$work/parse.py"
    mapfile -t times < <(best_times "python3 $work/parse.py $work/big.json" \
                                    "$build/anm-cellmap build $work/big.json -o /dev/null")
    echo "build of the dump ($(megabytes "$work/big.json")): ${times[1]} s;" \
         "Python's json.load of it: ${times[0]} s; $(ratio "${times[1]}" "${times[0]}") x Python"
}

peak_memory() {
    local size
    "$build/tests/bytes" anm 89 $sprites $sequences >"$work/small.anm"
    "$build/anm-cellmap" dump "$work/small.anm" >"$work/small.json"
    for size in small big; do
        echo "$size animation ($(megabytes "$work/$size.anm")): peak memory" \
             "dump $(/usr/bin/time -f %M "$build/anm-cellmap" dump "$work/$size.anm" 2>&1 >/dev/null) KiB," \
             "build $(/usr/bin/time -f %M "$build/anm-cellmap" build "$work/$size.json" -o /dev/null 2>&1) KiB"
    done
}

dump_against_quarnel
check_speed
build_against_python
peak_memory
