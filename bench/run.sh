#!/usr/bin/env bash
# Measures quarnel on a large generated file (20,000 groups of 127 sprites
# and 5,000 sequence entries, 44.8 MB) and on examples/walk.anm:
#
#   1. instructions per sprite entry, counted by callgrind (repeatable,
#      whatever else the machine is doing);
#   2. time against another build (the one before a change), the two run in
#      alternation and the best of each taken;
#   3. time against `cat` of quarnel's own output, both to /dev/null;
#   4. instructions on examples/walk.anm (start-up and table set-up), against
#      the other build;
#   and the peak memory (resident set size).
#
#   bench/run.sh [BUILD_DIR [OTHER_BUILD_DIR]]     (default: build)
#
# BUILD_DIR is configured as a Release build and built; OTHER_BUILD_DIR must
# already hold a built quarnel, e.g. one of the 1.0 tool:
#   git worktree add /tmp/q10 c30508c && cmake -S /tmp/q10 -B /tmp/q10/build \
#       -DBUILD_TESTING=OFF && cmake --build /tmp/q10/build --target quarnel
#
# Needs valgrind (callgrind) and GNU time (/usr/bin/time), Debian packages
# valgrind and time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
other=${2:-}
groups=20000 sprites=127 sequences=5000 rounds=7

for tool in valgrind /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "bench/run.sh needs $tool" >&2; exit 1; }
done
if [[ -n $other && ! -x $other/quarnel ]]; then
    echo "bench/run.sh: no quarnel in $other" >&2
    exit 1
fi

# The input comes from the tests' byte builder.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
cmake --build "$build" -j2 --target quarnel bytes >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/tests/bytes" anm $groups $sprites $sequences >"$work/big.anm"
entries=$((groups * sprites))
echo "input: $(stat -c %s "$work/big.anm") bytes, $groups groups of $sprites sprites, $sequences sequence entries"

# Instructions of one run, from callgrind's summary line.
instructions() {
    valgrind --tool=callgrind --callgrind-out-file="$work/cg" "$@" 2>/dev/null >/dev/null
    grep -E '^(summary|totals):' "$work/cg" | head -1 | awk '{print $2}'
}

# shellcheck source=bench/timing.sh
source bench/timing.sh

report() {  # NAME DIR
    local name=$1 dir=$2 total walk rss cat_time own_time
    "$dir/quarnel" "$work/big.anm" >"$work/$name.c"
    total=$(instructions "$dir/quarnel" "$work/big.anm")
    walk=$(instructions "$dir/quarnel" examples/walk.anm)
    rss=$(/usr/bin/time -f %M "$dir/quarnel" "$work/big.anm" 2>&1 >/dev/null)
    mapfile -t times < <(best_times "$dir/quarnel $work/big.anm" "cat $work/$name.c")
    own_time=${times[0]} cat_time=${times[1]}
    echo "$name ($dir):"
    echo "  instructions per sprite entry: $((total / entries)) ($total in all)"
    echo "  time: ${own_time} s; cat of its output (to /dev/null): ${cat_time} s;" \
         "$(ratio "$own_time" "$cat_time") x cat"
    echo "  examples/walk.anm: $walk instructions"
    echo "  peak memory: $rss KiB"
    eval "${name}_walk=$walk"
}

report after "$build"
if [[ -n $other ]]; then
    report before "$other"
    cmp -s "$work/after.c" "$work/before.c" && same="byte for byte the same" || same="DIFFERENT"
    mapfile -t times < <(best_times "$other/quarnel $work/big.anm" "$build/quarnel $work/big.anm")
    echo "output of the two builds: $same"
    echo "after against before, in alternation: ${times[1]} s against ${times[0]} s," \
         "$(ratio "${times[0]}" "${times[1]}") x faster"
    echo "examples/walk.anm: $(awk "BEGIN { printf \"%+.1f\", 100 * ($after_walk - $before_walk) / $before_walk }")% instructions"
fi
