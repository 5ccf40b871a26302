# Completes each LINE as a user pressing Tab at its end would, in an
# interactive zsh -f run under zpty with compinit, and prints a line for each:
# LINE, a tab, and the matches offered, sorted, one blank between them.
# native loads the zsh functions (_quarnel, ...) of DIR; bashcompinit
# sources the bash files of DIR through zsh's bashcompinit instead. What the
# completing shell prints on standard error goes to MATCHES.err.
#   zsh -f tests/zsh_complete.zsh native|bashcompinit DIR MATCHES LINE...
zmodload zsh/zpty || exit 77
export COMPLETIONS=$2 MATCHES=$3
zpty shell "zsh -f -i 2>$MATCHES.err"
zpty -w shell 'PS1= RPS1=; fpath=($COMPLETIONS $fpath); autoload -Uz compinit && compinit -u -D'
if [[ $1 == bashcompinit ]]; then
  zpty -w shell 'autoload -U bashcompinit && bashcompinit; for f in $COMPLETIONS/{quarnel,pavrin,anm-cellmap}(N); source $f'
fi
# Every match the completion functions add is noted, with the part of the
# word before it; after each Tab a line "." ends the list, and the line is
# cleared for the next.
zpty -w shell 'compadd() {
    if (( ${@[(I)-[OAD]*]} )); then builtin compadd "$@"; return; fi
    local -a hits; builtin compadd -O hits "$@"
    (( $#hits )) && print -rl -- "$IPREFIX${(@)^hits}" >>$MATCHES
    builtin compadd "$@"
  }
  complete-and-note() { zle complete-word; print . >>$MATCHES; BUFFER= }
  zle -N complete-and-note; bindkey "^I" complete-and-note'
: >$MATCHES
integer done=0
local -a notes
for line in "${@:4}"; do
  zpty -w -n shell "$line"$'\t'
  for ((i = 0; i < 200; i++)); do
    while zpty -rt shell screen '*'; do :; done   # keeps the terminal from filling up
    notes=(${(M)${(f)"$(<$MATCHES)"}:#.})
    (( $#notes > done )) && break
    sleep 0.05
  done
  (( done++ ))
done
zpty -d shell
# The notes, a block per line, each block ended by ".".
local -a block
integer n=4
for note in ${(f)"$(<$MATCHES)"}; do
  if [[ $note == . ]]; then
    print -r -- "${@[n++]}"$'\t'"${(j: :)${(@ou)block}}"; block=()
  else
    block+=($note)
  fi
done
