#!/usr/bin/env zsh
# zsh-complete.zsh ROOT OUT LINE...: types each LINE and a Tab into an interactive zsh that sees
# a package unpacked under ROOT as if installed: every folder of the fpath it starts with is looked
# for inside ROOT first (no folder is named here: the ones this zsh was built to read decide).
# Writes to OUT the files the client's and the host's completion functions come from and a line
# "--", then per LINE the matches offered and a line "--".
zmodload zsh/zpty zsh/zselect || exit 1
root=$1 out=$2
shift 2
home=$out.zdotdir
mkdir -p "$home" && : >"$out"

# Every match the completion functions add, filtered by what was typed, goes to OUT; the end of
# each completion writes the separator and keeps the command line and the screen as they were.
print -r -- 'setopt no_global_rcs' >"$home/.zshenv"
cat >"$home/.zshrc" <<SETUP
PS1=''
fpath=(${(q)root}\${^fpath} \$fpath)
autoload -Uz compinit && compinit -u -D
zmodload zsh/parameter
print -rl -- \$functions_source[\$_comps[vantelmirectl]] \$functions_source[\$_comps[mock-host]] >>${(q)out}
compadd() {
  if (( \${@[(I)-[OAD]]} )); then builtin compadd "\$@"; return; fi
  local -a hits
  builtin compadd -O hits "\$@"
  (( \$#hits )) && print -rl -- \$hits >>${(q)out}
  builtin compadd "\$@"
}
# The completion system empties comppostfuncs before calling them: each call arms the next.
vtm_done() {
  print -r -- -- >>${(q)out}
  compstate[insert]=''
  compstate[list]=''
  comppostfuncs=(vtm_done)
}
comppostfuncs=(vtm_done)
bindkey '^I' complete-word
print -r -- -- >>${(q)out}
SETUP

separators() { grep -c '^--$' "$out" }
# Sends TEXT and waits, draining the terminal, until OUT holds one separator more.
send() {
  local want=$(( $(separators) + 1 ))
  zpty -w -n vtm "$1"
  repeat 400; do
    while zpty -r -t vtm _ '*'; do :; done
    (( $(separators) >= want )) && return 0
    zselect -t 5
  done
  print -u2 "zsh-complete: no answer to [${1%$'\t'}]"
  return 1
}

# The shell's own startup file sets it up and writes the first separator once it is ready.
zpty vtm "ZDOTDIR=${(q)home} zsh -i" || exit 1
send '' || exit 1
for line in "$@"; do
  send "$line"$'\t' || exit 1
  zpty -w -n vtm $'\x15'  # kill the whole line
done
zpty -d vtm
rm -rf "$home"
