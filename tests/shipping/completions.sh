#!/usr/bin/env bash
# The completions of the .deb, unpacked under a root of its own, each loaded the way its shell
# finds it on the installed system: bash through bash-completion and fish through XDG_DATA_DIRS
# (the root's /usr/share), zsh through compinit and the fpath it starts with, every folder of it
# seen inside the root. Each must offer the client's own command words (taken from its usage
# text), `list` and its targets, and the global options, and nothing of its own after a command
# word; and mock-host's options (taken from its option table, as --help prints it), nothing after
# one that takes a number. A plain install (the .tar.gz's tree) must give zsh the same functions
# from the folder the README says to add to fpath. PowerShell cannot run here: its scripts must
# hold the same words and use only long-stable cmdlets.
# Usage: completions.sh BUILD_DIR CLIENT HOST
set -uo pipefail
build=$1 client=$2 host=$3
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/packages" >cpack.log 2>&1) ||
  { echo "cpack failed:" >&2; cat "$work/cpack.log" >&2; exit 1; }
root=$work/root
dpkg -x "$work"/packages/*.deb "$root" || { echo "dpkg -x failed" >&2; exit 1; }
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "install failed" >&2; exit 1; }
mkdir "$work/empty" "$work/home"
cd "$work/empty" || exit 1

mapfile -t words < <("$client" --help | sed -n '/^Commands:$/,/^$/s/^  //p')
[ "${#words[@]}" -gt 0 ] || { echo "no command words in the usage text" >&2; exit 1; }
targets=(apps applications windows screens displays)
# "  --listen PATH  ...", "  -h, --help  ...": every name before the value or the help.
mapfile -t host_options < <("$host" --help |
  awk '/^  -/ { for (i = 1; i <= NF && $i ~ /^-/; i++) { sub(/,$/, "", $i); print $i } }')
mapfile -t host_valued < <("$host" --help | sed -n 's/^  \(--[a-z-]*\) [A-Z].*/\1/p')
[ "${#host_options[@]}" -gt 0 ] || { echo "no options in mock-host's usage text" >&2; exit 1; }
options=(--json --json-output --no-remote --version --help -h)

# sorted WORD...: the words one per line, sorted, as the shells' answers are compared.
sorted() { printf '%s\n' "$@" | sed '/^$/d' | LC_ALL=C sort; }
starting() {
  local prefix=$1 w
  shift
  for w in "$@"; do [[ $w == "$prefix"* ]] && printf '%s\n' "$w"; done
}

# What is typed | what must be offered.
cases=(
  "vantelmirectl |$(sorted "${words[@]}" list)"
  "vantelmirectl cl|$(sorted $(starting cl "${words[@]}"))"
  "vantelmirectl --json cl|$(sorted $(starting cl "${words[@]}"))"
  "vantelmirectl list |$(sorted "${targets[@]}")"
  "vantelmirectl --no-remote list w|windows"
  "vantelmirectl -|$(sorted "${options[@]}")"
  "vantelmirectl click --j|$(sorted --json --json-output)"
  "vantelmirectl click |"
  "vantelmirectl list windows |"
  "mock-host -|$(sorted "${host_options[@]}")"
  "mock-host --listen x --s|$(sorted $(starting --s "${host_options[@]}"))"
  "mock-host --count |"
  "mock-host --strict --delay-ms |"
)

bash_offers() {
  XDG_DATA_DIRS=$root/usr/share bash --norc --noprofile -c '
    source /usr/share/bash-completion/bash_completion || exit 1
    line=$1
    read -ra COMP_WORDS <<<"$line"
    __load_completion "${COMP_WORDS[0]}" || exit 1
    registration=$(complete -p "${COMP_WORDS[0]}") || exit 1
    function=${registration##* -F }
    function=${function%% *}
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line}
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$1"
}

fish_offers() {
  HOME=$work/home XDG_CONFIG_HOME=$work/home XDG_DATA_DIRS=$root/usr/share PATH=$root/usr/bin:$PATH \
    TYPED=$1 fish -c 'complete -C "$TYPED"' | cut -f1
}

# zsh answers all lines in one interactive session, after saying where it found the functions;
# the parts are split at the "--" lines.
zsh_lines=()
for c in "${cases[@]}"; do zsh_lines+=("${c%%|*}"); done
zsh "$here/zsh-complete.zsh" "$root" "$work/zsh.out" "${zsh_lines[@]}" \
  || echo "zsh: the completion session failed" >&2
zsh_part() { awk -v n="$1" '/^--$/ { i++; next } i == n' "$work/zsh.out"; }
zsh_offers() { zsh_part $(($1 + 1)); }

failed=0
checks=0
# zsh_found WHAT SOURCES DIR: the client's and the host's functions came from DIR.
zsh_found() {
  checks=$((checks + 1))
  [ "$2" = "$(printf '%s\n' "$3/_vantelmirectl" "$3/_mock-host")" ] ||
    { echo "FAIL [zsh] $1: functions from [$(echo $2)], expected $3" >&2; failed=$((failed + 1)); }
}
zsh_found "the .deb, with the fpath zsh starts with" "$(zsh_part 0)" "$root/usr/share/zsh/vendor-completions"
zsh_found "a plain install, with the README's fpath" "$(zsh -f -c '
  fpath=($1/share/zsh/site-functions $fpath)
  autoload -Uz compinit && compinit -u -D && zmodload zsh/parameter || exit 1
  print -rl -- $functions_source[$_comps[vantelmirectl]] $functions_source[$_comps[mock-host]]' _ "$prefix")" \
  "$prefix/share/zsh/site-functions"
for shell in bash zsh fish; do
  for i in "${!cases[@]}"; do
    typed=${cases[i]%%|*}
    want=${cases[i]#*|}
    case $shell in
      bash) got=$(bash_offers "$typed" 2>&1) ;;
      zsh) got=$(zsh_offers "$i") ;;
      fish) got=$(fish_offers "$typed" 2>&1) ;;
    esac
    got=$(sorted $got)
    checks=$((checks + 1))
    if [ "$got" != "$want" ]; then
      echo "FAIL [$shell] $typed<Tab>: offered [$(echo $got)], expected [$(echo $want)]" >&2
      failed=$((failed + 1))
    fi
  done
done

# PowerShell: the three lists as the script spells them, and no cmdlet beyond the plain ones.
ps_dir=$root/usr/share/vantelmirectl
ps_list() {
  awk -v name="\$$2" '$1 == name && $2 == "=" { on = 1 } on { print } on && /\)/ { exit }' \
    "$ps_dir/$1-completion.ps1" | grep -o "'[^']*'" | tr -d "'"
}
ps_check() {
  local program=$1 name=$2
  shift 2
  checks=$((checks + 1))
  if [ "$(ps_list "$program" "$name")" != "$(printf '%s\n' "$@")" ]; then
    echo "FAIL [powershell] $program \$$name is [$(echo $(ps_list "$program" "$name"))], expected [$*]" >&2
    failed=$((failed + 1))
  fi
}
ps_check vantelmirectl commandWords "${words[@]}"
ps_check vantelmirectl listTargets "${targets[@]}"
ps_check vantelmirectl globalOptions "${options[@]}"
ps_check mock-host hostOptions "${host_options[@]}"
ps_check mock-host valuedOptions "${host_valued[@]}"
checks=$((checks + 1))
cmdlets=$(cat "$ps_dir"/*-completion.ps1 | grep -v '^ *#' | grep -oE '\b[A-Z][a-z]+-[A-Z][A-Za-z]+\b' | sort -u)
unexpected=$(comm -23 <(echo "$cmdlets") <(printf '%s\n' ForEach-Object Register-ArgumentCompleter \
  Select-Object Where-Object))
if [ -n "$unexpected" ]; then
  echo "FAIL [powershell] cmdlets beyond the plain ones: $(echo $unexpected)" >&2
  failed=$((failed + 1))
fi

echo "completions: $((checks - failed)) passed, $failed failed"
[ "$failed" = 0 ]
