#!/usr/bin/env bash
# anm-cellmap's runs that a case folder cannot hold, in groups:
#   cut_places   dump of every cut of examples/walk.anm and left.map: the place
#                on standard error, valid JSON marked cut, status 1
#   warnings     check: each warning raised by one file at its offset and not
#                by another; -Werror, -Werror=NAME, -Wno-NAME, -Wno-error=NAME
#   textconv     git diff of a changed .anm through "anm-cellmap dump"
#
#   tests/anm_cellmap_test.sh GROUP ANM_CELLMAP
set -uo pipefail
group=$1
tool=$(realpath "$2")
examples=$(realpath "$(dirname "$0")/../examples")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/checks.sh
source "$(dirname "$0")/checks.sh"
cd "$work" || exit 1

# The word of walk.anm that each group of four bytes is.
walk_words=("header word" "count word" "sequence 1 of 1, word A" "sequence 1 of 1, word B"
    "group 1 of 1, word nsprt"
    'group 1 of 1, sprite 1 of 2, word "OfsY OfsX v u"' 'group 1 of 1, sprite 1 of 2, word "FLAG CBA"'
    'group 1 of 1, sprite 1 of 2, word "FLAG2 ROT"' 'group 1 of 1, sprite 1 of 2, word "Y X"'
    'group 1 of 1, sprite 2 of 2, word "OfsY OfsX v u"' 'group 1 of 1, sprite 2 of 2, word "FLAG CBA"'
    'group 1 of 1, sprite 2 of 2, word "H W"' 'group 1 of 1, sprite 2 of 2, word "FLAG2 ROT"'
    'group 1 of 1, sprite 2 of 2, word "Y X"')

# The place left.map (2 x 2 cells) stops in, cut to LENGTH bytes.
map_place() {  # LENGTH
    local n=$1
    if ((n < 8)); then echo "header (bytes 0-7)"; return; fi
    local cell=$(((n - 8) / 2))
    echo "row $((cell / 2 + 1)) of 2, cell $((cell % 2 + 1)) of 2 (bytes $((8 + 2 * cell))-$((9 + 2 * cell)))"
}

# Dumps every cut of FILE; PLACE_OF gives the expected place of a length.
check_cuts() {  # FILE PLACE_OF
    local file=$1 place_of=$2 size n status place json_offset
    size=$(stat -c %s "$file")
    for ((n = 0; n < size; n++)); do
        head -c "$n" "$file" >"cut.${file##*.}"
        status=0
        "$tool" dump "cut.${file##*.}" >cut.json 2>cut.err || status=$?
        place=$("$place_of" "$n")
        check "$file cut to $n: status" 1 "$status"
        check "$file cut to $n: message" "anm-cellmap: cut.${file##*.}: cut at byte $n: $place" \
            "$(cat cut.err)"
        json_offset=$(python3 -c 'import json,sys; c=json.load(open(sys.argv[1]))["cut"]; print(c["offset"], c["place"])' cut.json)
        check "$file cut to $n: JSON" "$n $place" "$json_offset"
    done
}

walk_place() {  # LENGTH
    local word=$(($1 / 4))
    echo "${walk_words[word]} (bytes $((4 * word))-$((4 * word + 3)))"
}

cut_places() {
    command -v python3 >/dev/null || { echo "skipped: no python3"; exit 77; }
    check_cuts "$examples/walk.anm" walk_place
    check_cuts "$examples/left.map" map_place
}

# A copy of FILE as NAME with the bytes at OFFSET replaced (hexadecimal pairs).
patched() {  # FILE NAME OFFSET HEX
    cp "$1" "$2"
    printf '%b' "$(sed 's/../\\x&/g' <<<"$4")" | dd of="$2" bs=1 seek="$3" conv=notrunc status=none
}

# NAME STATUS FINDINGS ARGS...: check's status, and its findings without the
# summary line.
expect_check() {
    local name=$1 status=$2 findings=$3 got=0
    shift 3
    "$tool" check "$@" 2>check.err || got=$?
    check "$name: status" "$status" "$got"
    check "$name: findings" "$findings" "$(grep -v '^anm-cellmap: ' check.err)"
}

warnings() {
    cp "$examples/walk.anm" walk.anm
    cp "$examples/left.map" left.map
    head -c 50 walk.anm >cut.anm
    patched walk.anm nsprt.anm 16 00
    patched walk.anm sprgpno.anm 8 01
    cp walk.anm trailing.anm && printf '\0' >>trailing.anm
    patched walk.anm reserved.anm 27 22
    patched left.map id.map 0 24
    patched left.map big_cells.map 6 1010
    # Each raised, then not raised by the file it was made from.
    expect_check cut 1 "cut.anm: offset 0x30: error: cut at byte 50: ${walk_words[12]} (bytes 48-51) [-Wcut]" cut.anm
    expect_check nsprt 1 "nsprt.anm: offset 0x10: error: group 1 has nsprt 0; quarnel takes 1 to 127 and stops here [-Wnsprt]" nsprt.anm
    expect_check sprgpno 0 "sprgpno.anm: offset 0x8: warning: sequence 1 names group 1; the file has 1 group [-Wsprgpno]" sprgpno.anm
    expect_check trailing 0 "trailing.anm: offset 0x38: warning: 1 byte after the last group [-Wtrailing]" trailing.anm
    expect_check reserved 0 "reserved.anm: offset 0x18: warning: group 1, sprite 1: bits 0x02000000 are set, which no field takes [-Wreserved]" reserved.anm
    expect_check id 0 "id.map: offset 0x0: warning: id is 0x24; pavrin writes 0x23 [-Wid]" id.map
    expect_check cell-size 0 "big_cells.map: offset 0x6: warning: cell size 16x16 differs from 8x8 in left.map [-Wcell-size]" left.map big_cells.map
    expect_check clean 0 "" walk.anm left.map "$examples/right.map"

    # Silenced, made errors, and kept warnings under -Werror.
    local trailing="trailing.anm: offset 0x38:"
    expect_check -Werror 1 "$trailing error: 1 byte after the last group [-Werror=trailing]" -Werror trailing.anm
    expect_check -Werror=trailing 1 "$trailing error: 1 byte after the last group [-Werror=trailing]" -Werror=trailing trailing.anm
    expect_check -Werror=id 0 "$trailing warning: 1 byte after the last group [-Wtrailing]" -Werror=id trailing.anm
    expect_check -Wno-error=trailing 0 "$trailing warning: 1 byte after the last group [-Wtrailing]" -Werror -Wno-error=trailing trailing.anm
    expect_check -Wno-error 0 "$trailing warning: 1 byte after the last group [-Wtrailing]" -Werror -Wno-error trailing.anm
    expect_check -Wno-trailing 0 "" -Wno-trailing -Werror trailing.anm
    check "-Wno-trailing: summary" "anm-cellmap: 1 file checked: 0 errors, 0 warnings" "$(cat check.err)"
    expect_check -Wtrailing 0 "$trailing warning: 1 byte after the last group [-Wtrailing]" -Wno-trailing -Wtrailing trailing.anm
}

textconv() {
    command -v git >/dev/null || { echo "skipped: no git"; exit 77; }
    PATH=$(dirname "$tool"):$PATH
    export PATH HOME=$work GIT_CONFIG_NOSYSTEM=1
    git init -q repo && cd repo || return
    git config user.name test && git config user.email test@example.org
    echo '*.anm diff=anm' >.gitattributes
    git config diff.anm.textconv "anm-cellmap dump"
    cp "$examples/walk.anm" walk.anm
    git add . && git commit -qm walk
    patched "$examples/walk.anm" walk.anm 12 0d  # the sequence entry's x: 12 to 13
    check "git diff: changed lines" \
        '-  {"atr": 1, "time": 10, "sprgpno": 0, "x": 12, "y": -4}
+  {"atr": 1, "time": 10, "sprgpno": 0, "x": 13, "y": -4}' \
        "$(git diff | grep '^[-+] ')"
}

"$group"
echo "$passed passed, $failed failed"
((failed == 0))
