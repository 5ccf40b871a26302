#!/usr/bin/env bash
# Checks the bash completion files in completion/: sources each one as
# bash-completion's loader would, sets COMP_WORDS and COMP_CWORD as bash does
# for a command line, calls the function that the file registered, and
# compares COMPREPLY with what is expected.
#
#   tests/completion_test.sh
set -euo pipefail
completion_dir=$(cd "$(dirname "$0")/../completion" && pwd)
source "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
# The completion functions run under this script's set -eu, which they are
# written to survive; when a command in one fails anyway, say where.
current=
trap 'status=$?; rm -rf "$work"
      if ((status)) && [[ $current ]]; then echo "FAIL: stopped completing \"$current\""; fi' EXIT
cd "$work"

# -x is there so that an unquoted "-?" would glob to it; "with space.map" so
# that a name split at its blank shows; a directory named like a map file must
# be offered once.
mkdir sprites maps old.map
touch -- walk.anm RUN.ANM notes.txt left.map right.map 'with space.map' -x -odd.anm \
    sprites/jump.anm maps/top.map

# completes LINE [EXPECTED...]: completes the last word of LINE (a trailing
# blank means an empty word) and checks COMPREPLY, in any order, against
# EXPECTED. Words of LINE are split at blanks, so none of them may hold one.
completes()
{
    local line=$1 registered function got want
    shift
    current=$line
    read -ra COMP_WORDS <<<"$line"
    if [[ $line == *' ' ]]; then COMP_WORDS+=(''); fi
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line COMP_POINT=${#line}
    registered=$(complete -p "${COMP_WORDS[0]}")    # "complete -F FUNCTION NAME"
    function=${registered#*-F }
    function=${function%% *}
    COMPREPLY=()
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" \
        "${COMP_WORDS[COMP_CWORD - 1]}"
    got=$(printf '%s\n' ${COMPREPLY[@]+"${COMPREPLY[@]}"} | sort)
    want=$(printf '%s\n' "$@" | sort)
    check "\"$line\"" "$want" "$got"
}

source "$completion_dir/quarnel"
completes "quarnel -"             -d -s -l -r '-?'
completes "quarnel -r"            -r
completes "quarnel -s -"          -d -s -l -r '-?'
completes "quarnel "              walk.anm RUN.ANM -odd.anm sprites maps old.map
completes "quarnel w"             walk.anm
completes "quarnel n"             notes.txt       # no .anm file: any file
completes "quarnel sprites/"      sprites/jump.anm
completes "quarnel -d walk.anm "  walk.anm RUN.ANM -odd.anm sprites maps old.map
completes "quarnel walk.anm -"    -odd.anm        # options ended at walk.anm
completes "quarnel -- -"          -odd.anm        # and at "--"
completes "quarnel -q"

source "$completion_dir/pavrin"
completes "pavrin -"              -o -v -x -y -w -h -c '-?'
completes "pavrin -w"             -w
completes "pavrin -w1"
completes "pavrin -x "            left.map right.map 'with space.map' maps old.map sprites
completes "pavrin -x wi"          'with space.map'
completes "pavrin -o"             -oleft.map -oright.map '-owith space.map' -omaps/ -oold.map/ \
                                  -osprites/
completes "pavrin -or"            -oright.map
completes "pavrin -omaps/"        -omaps/top.map
completes "pavrin -on"            -onotes.txt     # no .map file: any file
completes "pavrin -v left.map -"  -odd.anm -x     # options ended at left.map
completes "pavrin -v -- -"        -odd.anm -x     # and at "--"

current=
echo "completion: $passed passed, $failed failed"
((failed == 0))
