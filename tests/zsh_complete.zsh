# Completes each LINE as Tab at its end would, in an interactive zsh -f run
# under zpty with compinit, and prints for each LINE, a tab and the matches
# offered, sorted, a blank between them. native loads the zsh functions of
# DIR; bashcompinit sources its bash files through zsh's bashcompinit
# instead. The completing shell's standard error goes to MATCHES.err.
#   zsh -f tests/zsh_complete.zsh native|bashcompinit DIR MATCHES LINE...
zmodload zsh/zpty || exit 77
export COMPLETIONS=$2 MATCHES=$3
zpty shell "zsh -f -i 2>$MATCHES.err"
zpty -w shell 'PS1= RPS1=; fpath=($COMPLETIONS $fpath); autoload -Uz compinit && compinit -u -D'
[[ $1 == native ]] || zpty -w shell 'autoload -U bashcompinit && bashcompinit
  for f in $COMPLETIONS/{quarnel,pavrin,anm-cellmap}(N); source $f'
# Each match added is noted with the part of the word before it; a line "."
# ends each Tab's notes, and the line is cleared for the next.
zpty -w shell 'compadd() {
    if (( ${@[(I)-[OAD]*]} )); then builtin compadd "$@"; return; fi
    local -a hits; builtin compadd -O hits "$@"
    (( $#hits )) && print -rl -- "$IPREFIX${(@)^hits}" >>$MATCHES
    builtin compadd "$@"
  }
  complete-and-note() { zle complete-word; print . >>$MATCHES; BUFFER= }
  zle -N complete-and-note; bindkey "^I" complete-and-note'
: >$MATCHES
local -a notes block
integer i n
for ((n = 4; n <= $#; n++)); do
  zpty -w -n shell "$@[n]"$'\t'
  for ((i = 0; i < 200; i++)); do   # 10 s at most
    while zpty -rt shell screen '*'; do :; done   # keeps the terminal from filling up
    notes=(${(M)${(f)"$(<$MATCHES)"}:#.})
    (( $#notes > n - 4 )) && break
    sleep 0.05
  done
done
zpty -d shell
n=4
for note in ${(f)"$(<$MATCHES)"}; do
  if [[ $note == . ]]; then
    print -r -- "$@[n++]"$'\t'"${(j: :)${(@ou)block}}"; block=()
  else
    block+=($note)
  fi
done
