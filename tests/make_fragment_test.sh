#!/usr/bin/env bash
# tests/make_fragment_test.sh QUARNEL PAVRIN: the Make fragment refuses options as it reads a call,
# remakes what a change touches and no more, writes nothing under -n, names a failed input,
# survives make -t and an interruption, and gives the tools every file name as it is.
set -euo pipefail
unset MAKEFLAGS # the cases count on one job at a time, as make starts by default
root=$(cd "$(dirname "$0")/.." && pwd)
quarnel=$(realpath "$1") pavrin=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$root/tests/checks.sh"
cd "$work"
mkdir a b && cp "$root/examples/walk.anm" a/Walk.anm && cp "$root/examples/walk.anm" b/jump.anm
cp "$root/examples/left.map" "$root/examples/right.map" .
# Every run of quarnel is logged: a run make should not have started shows.
printf '#!/bin/sh\necho "$*" >>%s/runs\nexec %s "$@"\n' "$work" "$quarnel" >logged-quarnel && chmod +x logged-quarnel
cat >Makefile <<EOF
QUARNEL := $work/logged-quarnel
PAVRIN := $pavrin
H ?= anm.h
include $root/make/quarnel-pavrin.mk
all: out/wrap/Walk.anm.c out/wrap/jump.anm.c out/j.map
\$(call quarnel_tables,out,a/Walk.anm,\$(A),\$(H))
\$(call quarnel_tables,out,b/jump.anm,-l,anm.h)
\$(call pavrin_join,out/j.map,left.map right.map,\$(J))
EOF
# Variables and goals given to make (';' between them); the OPTIONS word refused, or none.
while IFS='|' read -r assignments word; do
    IFS=';' read -ra vars <<<"$assignments"
    rm -rf out runs
    if [[ -z $word ]]; then
        check "accepted, and make -n writes nothing: $assignments" 0 \
            "$(make -n "${vars[@]}" >/dev/null 2>&1; echo $?)$(ls -d runs out 2>/dev/null)"
    else
        check "refused before any rule ran: $assignments" "1" \
            "$(make "${vars[@]}" 2>&1 | grep -cF -- "$word in OPTIONS")$(ls -d runs out 2>/dev/null)"
    fi
done <<'EOF'
A=-lr|-lr
A=--lower|--lower
A=-s|-s
J=-w 40|-w
J=-wabc|-wabc
J=-w300|-w300
J=-h0x100|-h0x100
J=-c0400|-c0400
J=-w08|-w08
J=-w0x|-w0x
J=-o/tmp/x|-o/tmp/x
A=-l -r -d|
A=-s;H=;out/Walk.anm.c|
J=-x -y -v -w0377 -h0xFF -c255|
J=-w0 -h00 -c0X0f|
EOF
# Each build's short lines, sorted; and the options quarnel must have been
# given for out/Walk.anm.c as it stands after it.
all="GEN out/Walk.anm.h GEN out/jump.anm.h GEN out/wrap/Walk.anm.c GEN out/wrap/jump.anm.c PAVRIN out/j.map QUARNEL out/Walk.anm.c QUARNEL out/jump.anm.c"
while IFS='|' read -r assignments remade options; do
    IFS=';' read -ra vars <<<"$assignments"
    check "remade by make ${assignments:-with no variables}" "${remade/ALL/$all}" \
        "$(make "${vars[@]}" | grep -E '^(GEN|PAVRIN|QUARNEL) ' | LC_ALL=C sort | xargs)"
    check "out/Walk.anm.c is quarnel $options Walk.anm" "" "$(cmp out/Walk.anm.c <(cd a && "$quarnel" $options Walk.anm) 2>&1)"
done <<'EOF'
|ALL|
||
A=-r|GEN out/wrap/Walk.anm.c QUARNEL out/Walk.anm.c|-r
A=-r||-r
A=-r -l|GEN out/Walk.anm.h GEN out/wrap/Walk.anm.c QUARNEL out/Walk.anm.c|-r -l
A=-r -l;H=inc/other.h|GEN out/Walk.anm.h GEN out/wrap/Walk.anm.c|-r -l
A=-r -l;H=inc/other.h;J=-x|PAVRIN out/j.map|-r -l
|GEN out/Walk.anm.h GEN out/wrap/Walk.anm.c PAVRIN out/j.map QUARNEL out/Walk.anm.c|
EOF
check "NAME.h includes HEADER by its file name" 1 "$(make H=inc/other.h >/dev/null; grep -c '^#include "other.h"$' out/Walk.anm.h)"
before=$(ls -l --full-time out; cat runs)
check "make -n writes and runs nothing when options changed" "$before" \
    "$(make -n A=-d >/dev/null; ls -l --full-time out; cat runs)"
check "V=1 shows the commands, not the short lines" "1 0" \
    "$(make V=1 A=-d >log; grep -c "; cd 'a/' && '$work/logged-quarnel' '-d' 'Walk.anm' >" log) $(grep -c '^QUARNEL' log)"
rm -rf out
check "after make -t on a clean tree, make makes the tables" "" \
    "$(make -t >/dev/null 2>&1; make 2>&1 >/dev/null && cmp out/Walk.anm.c <(cd a && "$quarnel" Walk.anm) 2>&1)"
printf '#!/bin/sh\nkill -INT 0\n' >interrupting-quarnel && chmod +x interrupting-quarnel
check "an interrupted run leaves no temporary file" "" \
    "$(setsid make QUARNEL=./interrupting-quarnel >/dev/null 2>&1; ls out/*.tmp 2>/dev/null)"
# A broken input stops its tool; the line after the tool's own message names
# it, and neither the output nor its temporary file is left.
head -c 10 "$root/examples/walk.anm" >a/Walk.anm
head -c 10 "$root/examples/left.map" >left.map
make -k >/dev/null 2>log || true
check "the failed .anm file is named" "quarnel_tables: a/Walk.anm failed" "$(grep -A1 "^$quarnel: " log | sed -n 2p)"
check "the failed join is named" "pavrin_join: out/j.map failed" "$(grep -A1 '^pavrin: ' log | sed -n 2p)"
check "no output left by a failure" "" "$(ls out/Walk.anm.c* out/j.map 2>/dev/null)"
# Names the shell or make would misread. Each case builds GIVEN (a pattern for
# qw) beside broken OTHERS: the tool reads exactly NAMED, only the outputs are
# added, nothing is remade when the others change; or make fails with MESSAGE
# and changes nothing. The p case with '?' is OUTPUT, joined from a broken map.
cat >names.mk <<EOF
QUARNEL := $quarnel
PAVRIN := $pavrin
all: \$(value GOAL)
include $root/make/quarnel-pavrin.mk
FILES := \$(if \$(filter qw,\$(TOOL)),\$(wildcard \$(value GIVEN)),\$(value GIVEN))
\$(if \$(filter p,\$(TOOL)),\$(call pavrin_join,\$(value OUT),\$(FILES)),\$(call quarnel_tables,out,\$(FILES),,anm.h))
EOF
snapshot() { find . -type f -exec cksum {} + | LC_ALL=C sort; }
while IFS=@ read -r tool given named others message; do
    rm -rf names && mkdir names && cd names
    IFS=, read -ra others <<<"$others"
    for file in "${others[@]}"; do mkdir -p "$(dirname "$file")" && head -c 10 "$root/examples/left.map" >"$file"; done
    [[ -z $named ]] || cp "$root/examples/$([[ $tool == p ]] && echo left.map || echo walk.anm)" "$named"
    out=out/j.map made=out/j.map outputs=$'./out/.j.map.cmd\n./out/j.map'
    [[ $tool == p ]] || out=out/wrap/$named.c made=out/$named.c outputs=$(printf './%s\n' "$made" out/"$named".h "out/.$named.c.cmd" "$out")
    goal=$out && [[ $tool != p || $given != *'?'* ]] || out=$given given=m1.map goal=${out/'?'/'\?'}
    before=$(snapshot)
    status=$(TOOL=$tool GIVEN=$given OUT=$out GOAL=$goal make -f ../names.mk >../log 2>&1; echo $?)
    if [[ -n $message ]]; then
        check "$tool $given $out: refused" "2 1 $before" "$status $(grep -cF -- "$message" ../log) $(snapshot)"
    else
        if [[ $tool == p ]]; then "$pavrin" -o../ref "$named"; else "$quarnel" "$named" >../ref; fi
        touch -d tomorrow . "${others[@]}"
        check "$tool $given: reads $named only" "0 $(LC_ALL=C sort <<<"$outputs" | xargs -d'\n') 0" \
            "$status $(LC_ALL=C comm -13 <(echo "$before") <(snapshot) | cut -d' ' -f3- | LC_ALL=C sort | xargs -d'\n') $(cmp "$made" ../ref 2>&1
            TOOL=$tool GIVEN=$given OUT=$out GOAL=$goal make -f ../names.mk -q; echo $?)"
    fi
    cd ..
done <<'EOF'
qw@x*.anm@x`id>PWN`.anm
q@st*r.anm@st*r.anm@stXr.anm
p@m[1].map@m[1].map@m1.map
p@out/level?.map@@m1.map,out/level1.map,out/level2.map@pavrin_join: out/level?.map failed
q@a\b.anm@a\b.anm@ab.anm
q@it's.anm@it's.anm
q@say"hi".anm@say"hi".anm
q@x(1.anm@x(1.anm@x
p@a&b|c$d(e).map@a&b|c$d(e).map@a,b,c
q@a\ b.anm@@@quarnel_tables: a\...: make cannot carry a name with a blank
qw@a*.anm@@a b.anm@quarnel_tables: a b.anm: make cannot carry a name with a blank
p@m:1.map@@@pavrin_join: m:1.map: make cannot carry a name with ':'
q@#1.anm@@@quarnel_tables: #1.anm: make cannot carry a name with '#'
q@50%.anm@@@quarnel_tables: 50%.anm: make cannot carry a name with '%'
q@a=b.anm@@@quarnel_tables: a=b.anm: make cannot carry a name with '='
q@a;b.anm@@@quarnel_tables: a;b.anm: make cannot carry a name with ';'
p@lib(m.map)@@@pavrin_join: lib(m.map): make reads a name A(B) as the member B
EOF
echo "make fragment: $passed passed, $failed failed"
((failed == 0))
