#!/usr/bin/env bash
# Fuzzes quarnel as a whole program with AFL++: each input is one .anm file
# dumped with every option on (-d -s -l -r), by a build instrumented by
# afl-clang-fast++ with AddressSanitizer. quarnel ends the process on bad
# input, which suits AFL++'s one-process-per-input model.
#
#   fuzz/afl_quarnel.sh [SECONDS]     (default 600)
# Findings land in build-afl/findings/default/crashes; replay one with
#   build-afl/quarnel -d -s -l -r FILE
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
for tool in afl-clang-fast++ afl-fuzz; do
    if ! command -v "$tool" >/dev/null; then
        echo "$0: $tool not found: install AFL++ (on Debian: apt-get install afl++)" >&2
        exit 1
    fi
done

CXX=afl-clang-fast++ AFL_USE_ASAN=1 cmake -S . -B build-afl -DBUILD_TESTING=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
AFL_USE_ASAN=1 cmake --build build-afl -j2 --target quarnel >/dev/null

seeds=build-afl/seeds
mkdir -p "$seeds"
# The command-line cases' .anm inputs: whole, cut, empty, random, CR/LF bytes.
cp tests/cases/quarnel/inputs/*.anm "$seeds/"
cp fuzz/crashes/quarnel/* "$seeds/" 2>/dev/null || true

# Containers rarely let us set the core pattern or the CPU governor; neither
# matters for finding crashes.
export AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1 AFL_SKIP_CPUFREQ=1 AFL_NO_UI=1
afl-fuzz -V "$seconds" -i "$seeds" -o build-afl/findings -m none -- \
    build-afl/quarnel -d -s -l -r @@ >build-afl/afl.log 2>&1 || true
grep -E 'run_time|execs_done|execs_per_sec|corpus_count|saved_crashes|saved_hangs' \
    build-afl/findings/default/fuzzer_stats
