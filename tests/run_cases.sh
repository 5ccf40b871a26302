#!/usr/bin/env bash
# Runs the command-line cases in tests/cases with one build of the tools, on
# this host or another, and compares every byte with the expected files.
#
#   tests/run_cases.sh [--update] TOOLS [CASE...] [-- PREFIX...]
#
# TOOLS is the folder holding quarnel and pavrin (quarnel.exe and pavrin.exe:
# a Windows build). PREFIX is the command that runs them on another host:
# qemu-s390x -L /usr/s390x-linux-gnu, wine, ... A CASE is a case folder or a
# folder of cases; without one, every case runs. --update first writes what
# each run gave as the case's expected files: review the diff, then commit.
#
# A case is a folder tests/cases/TOOL/NAME holding
#   args      the arguments, one a line (an empty line: an empty argument)
#   stdin     standard input; without it, /dev/null
#   stdout, stderr, status   the expected bytes and exit status; or instead
#   output    standard output and standard error as one stream (2>&1)
#   inputs/   input files of this case only
#   after/    every file the run creates or changes, as it must be after it
# The tool runs in a fresh copy of tests/cases/TOOL/inputs and the case's
# own inputs; after the run the copy must hold those inputs as after/
# changes them, and nothing else. A new case needs only its args (and its
# stdin, inputs/, an empty output file for one stream): --update writes the
# rest.
#
# Only two things are normalised, on standard error (or the one stream)
# before it is compared: quarnel's program name, its argv[0], which differs
# per host and prefix (a word ending in quarnel or quarnel.exe, starting a
# line or following "usage: "), is shown as quarnel; and for a Windows
# build, whose standard error is a text stream, a \r before a newline goes.
set -uo pipefail
update=0
[[ ${1:-} == --update ]] && update=1 && shift
(($# >= 1)) || { echo "usage: $0 [--update] TOOLS [CASE...] [-- PREFIX...]" >&2; exit 2; }
tools=$(realpath "$1")
shift
wanted=()
while (($#)) && [[ $1 != -- ]]; do wanted+=("$1"); shift; done
(($#)) && shift
prefix=("$@")
((${#wanted[@]})) || wanted=("$(dirname "$0")/cases")
suffix=""
[[ -e $tools/quarnel.exe ]] && suffix=.exe

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs CASE in $work/run, a copy of its inputs in $work/inputs; leaves the
# normalised streams in $work/stdout and $work/stderr, the status in
# $work/status.
run_case() {  # CASE
    local case=$1 status=0 input=/dev/null args=()
    rm -rf "$work/inputs" "$work/run" && cp -r "$(dirname "$case")/inputs" "$work/inputs"
    [[ -d $case/inputs ]] && cp -r "$case/inputs/." "$work/inputs"
    cp -r "$work/inputs" "$work/run"
    mapfile -t args <"$case/args"
    [[ -f $case/stdin ]] && input=$case/stdin
    (
        cd "$work/run" || exit 125
        [[ -f $case/output ]] && exec 2>&1
        exec timeout 120 "${prefix[@]}" "$tools/$(basename "$(dirname "$case")")$suffix" "${args[@]}"
    ) <"$input" >"$work/stdout" 2>"$work/stderr" || status=$?
    echo "$status" >"$work/status"
    local shown=$work/stderr
    [[ -f $case/output ]] && shown=$work/stdout
    sed -i -E 's#^[^ ]*quarnel(\.exe)?: #quarnel: #; s#^usage: [^ ]*quarnel(\.exe)? #usage: quarnel #' "$shown"
    [[ -z $suffix ]] || sed -i 's/\r$//' "$shown"
}

# Writes what the run gave as CASE's expected files.
update_case() {  # CASE
    local case=$1 file
    if [[ -f $case/output ]]; then
        cp "$work/stdout" "$case/output"
    else
        cp "$work/stdout" "$case/stdout" && cp "$work/stderr" "$case/stderr"
    fi
    cp "$work/status" "$case/status"
    rm -rf "$case/after"
    while IFS= read -r file; do
        cmp -s "$work/inputs/$file" "$work/run/$file" && continue
        mkdir -p "$(dirname "$case/after/$file")" && cp "$work/run/$file" "$case/after/$file"
    done < <(cd "$work/run" && find . -type f)
}

# Compares the run with CASE's expected files; prints what differs.
check_case() {  # CASE
    local case=$1 part same=0
    for part in stdout stderr status output; do
        [[ -f $case/$part ]] || continue
        local got=$work/$part
        [[ $part == output ]] && got=$work/stdout
        cmp -s "$case/$part" "$got" && continue
        echo "  $part differs:"
        diff -a -u --label expected --label got "$case/$part" "$got" | head -n 40
        same=1
    done
    rm -rf "$work/expected" && cp -r "$work/inputs" "$work/expected"
    [[ -d $case/after ]] && cp -r "$case/after/." "$work/expected"
    if ! diff -r "$work/expected" "$work/run" >"$work/files"; then
        echo "  files left behind differ (expected, got):"
        sed 's/^/    /' "$work/files" | sed "s#$work/expected#expected#; s#$work/run#got#"
        same=1
    fi
    return $same
}

mapfile -t cases < <(for folder in "${wanted[@]}"; do
    find "$(realpath "$folder")" -name args -printf '%h\n'
done | LC_ALL=C sort -u)
((${#cases[@]})) || { echo "$0: no cases in ${wanted[*]}" >&2; exit 2; }
failed=0
for case in "${cases[@]}"; do
    run_case "$case"
    ((update)) && update_case "$case"
    if ! check_case "$case" >"$work/report"; then
        echo "FAIL: ${case#"$(realpath "$(dirname "$0")")"/}"
        cat "$work/report"
        failed=$((failed + 1))
    fi
done
echo "${#cases[@]} cases${prefix[*]:+ under ${prefix[*]}}, $failed failed"
((failed == 0))
