#!/usr/bin/env bash
# Measures quarnel on a large generated file: peak memory (/usr/bin/time -v)
# and instructions per sprite entry (callgrind, repeatable whatever else the
# machine is doing).
#
#   bench/run.sh [BUILD_DIR]      (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
groups=20000 sprites=127 sequences=5000

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target quarnel make_big_anm >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/make_big_anm" $groups $sprites $sequences >"$work/big.anm"
entries=$((groups * sprites))
echo "input: $(stat -c %s "$work/big.anm") bytes, $groups groups of $sprites sprites, $sequences sequence entries"

/usr/bin/time -v "$build/quarnel" "$work/big.anm" 2>"$work/time" >"$work/big.c"
echo "output: $(stat -c %s "$work/big.c") bytes"
grep -E 'Maximum resident|Elapsed' "$work/time" | sed 's/^\s*/  /'

valgrind --tool=callgrind --callgrind-out-file="$work/cg" "$build/quarnel" "$work/big.anm" \
    2>"$work/cg.log" >/dev/null
total=$(grep -E '^summary:|^totals:' "$work/cg" | head -1 | awk '{print $2}')
echo "instructions: $total in all, $((total / entries)) per sprite entry"
