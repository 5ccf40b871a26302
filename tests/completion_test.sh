#!/usr/bin/env bash
# Checks the completion files in completion/. bash: sources each one as
# bash-completion's loader would, sets COMP_WORDS and COMP_CWORD as bash does
# for a command line, calls the function that the file registered, and
# compares COMPREPLY with what is expected. zsh and fish are asked through
# their own completion systems: zsh's compinit in an interactive shell
# (tests/zsh_complete.zsh), which also runs the bash files through its
# bashcompinit, and fish's complete -C. Exits 77 when all that could be
# checked passed but zsh or fish is missing.
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
    sprites/jump.anm maps/top.map edit.json sheet.png

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

source "$completion_dir/anm-cellmap"
completes "anm-cellmap "                  dump build check view --help --version
completes "anm-cellmap c"                 check
completes "anm-cellmap dump -"            --anm --map --help
completes "anm-cellmap build "            edit.json maps old.map sprites
completes "anm-cellmap build -o n"        notes.txt
completes "anm-cellmap check -Wno-c"      -Wno-cut -Wno-cell-size
completes "anm-cellmap view --t"          --tiles= --texture=
completes "anm-cellmap view --tiles = s"  sheet.png sprites     # bash splits at '='
completes "anm-cellmap view --groups "

# zsh and fish: SHELLS, LINE, then the matches offered. zsh shows a blank in
# a name as "\ " and a folder without its '/'.
sorted() { printf '%s\n' "$@" | LC_ALL=C sort | paste -sd ' '; }
zsh_lines=() zsh_wants=()
asks() # SHELLS LINE EXPECTED...
{
    local line=$2 want
    want=$(sorted "${@:3}")
    [[ $1 == *zsh* ]] && zsh_lines+=("$line") zsh_wants+=("$want")
    [[ $1 == *fish* ]] && command -v fish >/dev/null || return 0
    current="fish: $line"
    check "fish: \"$line\"" "$want" "$(fish -c "source $completion_dir/${line%% *}.fish; complete -C '$line'" |
        cut -f1 | LC_ALL=C sort | paste -sd ' ')"
}
asks "zsh fish" "quarnel -"                 -d -s -l -r '-?'
asks zsh        "quarnel "                  walk.anm RUN.ANM -odd.anm sprites maps old.map
asks zsh        "quarnel n"                 notes.txt
asks zsh        "quarnel walk.anm -"        -odd.anm
asks fish       "quarnel walk.anm -"        -odd.anm -x
asks zsh        "quarnel -- -"              -odd.anm
asks "zsh fish" "pavrin -"                  -o -v -x -y -w -h -c '-?'
asks "zsh fish" "pavrin -w1"
asks zsh        "pavrin -x wi"              'with\ space.map'
asks fish       "pavrin -x wi"              'with space.map'
asks "zsh fish" "pavrin -or"                -oright.map
asks zsh        "pavrin -v left.map -"      -odd.anm -x
asks fish       "pavrin -v -- -"            -odd.anm -x
asks "zsh fish" "anm-cellmap "              dump build check view
asks zsh        "anm-cellmap build "        edit.json maps old.map sprites
asks "zsh fish" "anm-cellmap check -Wno-c"  -Wno-cut -Wno-cell-size
asks zsh        "anm-cellmap view --tiles=s" --tiles=sheet.png --tiles=sprites
asks fish       "anm-cellmap view --tiles=s" --tiles=sheet.png --tiles=sprites/
if command -v zsh >/dev/null; then
    # The bash files through bashcompinit: no error, and quarnel's files.
    for mode in native bashcompinit; do
        current="zsh, $mode"
        LC_ALL=C zsh -f "$completion_dir/../tests/zsh_complete.zsh" $mode "$completion_dir" "$work/.zsh" \
            "${zsh_lines[@]}" >"$work/.zsh-got"
        check "zsh, $mode: nothing on standard error" "" "$(cat "$work/.zsh.err")"
        mapfile -t got <"$work/.zsh-got"
        for ((i = 0; i < ${#zsh_lines[@]}; i++)); do
            [[ $mode == native || ${zsh_lines[i]} == quarnel\ @(|walk.anm -|-- -) ]] &&
                check "zsh, $mode: \"${zsh_lines[i]}\"" "${zsh_lines[i]}"$'\t'"${zsh_wants[i]}" "${got[i]-}"
        done
    done
fi
current=
echo "completion: $passed passed, $failed failed"
((failed == 0)) || exit 1
command -v zsh >/dev/null && command -v fish >/dev/null || { echo "skipped: zsh or fish is not installed"; exit 77; }
