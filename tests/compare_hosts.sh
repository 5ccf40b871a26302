#!/usr/bin/env bash
# Runs the same cases through two builds of the tools, one of them on another
# host (a big-endian CPU under qemu, Windows under wine), and compares every
# byte: standard output, standard error, exit status, the output files and
# which files the run left behind.
#
#   tests/compare_hosts.sh REFERENCE_BUILD OTHER_BUILD [RUNNER ...]
#
# REFERENCE_BUILD is a native build directory (it also provides the input
# generator bench/make_big_anm); OTHER_BUILD holds the other host's quarnel
# and pavrin (or quarnel.exe and pavrin.exe); RUNNER is the command that runs
# them, e.g. "qemu-s390x -L /usr/s390x-linux-gnu" or "wine64".
set -euo pipefail
reference=$(realpath "$1")
other=$(realpath "$2")
shift 2
runner=("$@")
suffix=""
[[ -e $other/quarnel.exe ]] && suffix=.exe
examples=$(realpath "$(dirname "$0")/../examples")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"
cd "$work/in"

# ---- inputs ----

# Bytes from a fixed seed, so every run compares the same cases.
RANDOM=20261208
random_bytes() {
    local count=$1 i byte text=""
    # printf -v: RANDOM in a command substitution is reseeded.
    for ((i = 0; i < count; i++)); do printf -v byte '\\x%02x' $((RANDOM % 256)); text+=$byte; done
    printf "$text"
}
# A cell map header and its cells; the cells are random, 0x0d 0x0a 0x1a among
# them (bytes a text-mode stream on Windows would change).
map_file() {
    local width=$1 height=$2 cell_width=$3 cell_height=$4
    printf "\\x23\\x00\\x00\\x00\\x$(printf %02x "$width")\\x$(printf %02x "$height")"
    printf "\\x$(printf %02x "$cell_width")\\x$(printf %02x "$cell_height")"
    printf '\x0d\x0a\x1a\x0a'
    random_bytes $((2 * width * height - 2))
}

cp "$examples/walk.anm" walk.anm
"$reference/bench/make_big_anm" 3 127 5 >groups.anm
"$reference/bench/make_big_anm" 40 9 30 >many.anm
head -c 1000 groups.anm >cut.anm
printf '\x0d\x0a\x1a\x0a\x01\x00\x01\x00\x0d\x0a\x1a\x0d\x0a\x1a\x0d\x0a' >crlf.anm
printf '\x01\x00\x00\x00\x0a\x0d\x1a\x0a\x0d\x0a\x1a\x0d\x1a\x0a\x0d\x0a' >>crlf.anm
printf '\x0d\x0a\x1a\x0d\x0a\x1a\x0a\x0d' >>crlf.anm
printf '\x00\x00\x00\x00\x01\x00\x00\x00\x80\x00\x00\x00' >bad_nsprt.anm
for i in 1 2 3 4 5 6; do random_bytes $((RANDOM % 300)) >"random$i.anm"; done

map_file 2 2 8 8 >a.map
map_file 3 1 8 8 >b.map
map_file 5 4 16 16 >c.map
map_file 0 3 8 8 >empty.map
map_file 255 2 8 8 >wide.map
map_file 4 4 8 8 >short.map && truncate -s 20 short.map
printf 'old contents' >old.map

# ---- cases: tool, then its arguments; "<file" feeds standard input ----

cases=(
    "quarnel walk.anm"
    "quarnel -s -l -r -d walk.anm groups.anm"
    "quarnel many.anm"
    "quarnel -r groups.anm"
    "quarnel <walk.anm"
    "quarnel <crlf.anm"
    "quarnel -d <crlf.anm"
    "quarnel -- crlf.anm -"
    "quarnel cut.anm"
    "quarnel bad_nsprt.anm"
    "quarnel walk.anm missing.anm"
    "quarnel -x"
    "quarnel -?"
    "quarnel random"{1..6}.anm
    "pavrin a.map b.map"
    "pavrin -v -x a.map b.map c.map"
    "pavrin -v -y a.map empty.map b.map"
    "pavrin -v -x -w3 -h6 -oout.map a.map c.map"
    "pavrin -c16 -v -oout.map a.map c.map"
    "pavrin -w0x10 -h010 c.map"
    "pavrin -v -y -oout.map wide.map a.map"
    "pavrin -x wide.map wide.map"
    "pavrin a.map short.map"
    "pavrin -v -oold.map a.map b.map"
    "pavrin -oold.map a.map short.map"
    "pavrin -x -oa.map a.map b.map"
    "pavrin a.map missing.map"
    "pavrin -w-1 a.map"
    "pavrin -q"
    "pavrin -?"
)

# ---- run and compare ----

# Runs one case in a fresh copy of the inputs, so output files and relative
# names are the same for both builds.
run_case() {  # DIR CASE COMMAND_PREFIX...
    local dir=$1 tool args input=""
    read -r tool args <<<"$2"
    shift 2
    if [[ $args == \<* ]]; then input=${args#<}; args=""; fi
    rm -rf "$dir" && cp -r "$work/in" "$dir" && cd "$dir"
    local status=0
    # shellcheck disable=SC2086 # the arguments are split on purpose
    "$@" "$tool" $args <"${input:-/dev/null}" >stdout 2>stderr_raw || status=$?
    echo "$status" >status
    # Messages may differ in the program's own path and, on Windows, where
    # standard error is a text stream, in their line ends; nothing else.
    sed -E 's#\r$##; s#^[^ ]*(quarnel|pavrin)(\.exe)?: #\1: #; s#^usage: [^ ]*(quarnel|pavrin)(\.exe)? #usage: \1 #' \
        stderr_raw >stderr
    # The files left behind, so a stray temporary file shows too.
    ls -A >listing
    cd "$work"
}

run_reference() { local tool=$1; shift; "$reference/$tool" "$@"; }
run_other() { local tool=$1; shift; "${runner[@]}" "$other/$tool$suffix" "$@"; }

failures=0
for case in "${cases[@]}"; do
    run_case "$work/ref" "$case" run_reference
    run_case "$work/other" "$case" run_other
    for part in stdout stderr status listing out.map old.map a.map; do
        if [[ -e $work/ref/$part || -e $work/other/$part ]] &&
            ! cmp -s "$work/ref/$part" "$work/other/$part"; then
            echo "DIFFERENT $part: $case"
            diff <(od -c "$work/ref/$part" | head -20) <(od -c "$work/other/$part" | head -20) || true
            failures=$((failures + 1))
        fi
    done
done
echo "${#cases[@]} cases compared, $failures differences"
((failures == 0))
