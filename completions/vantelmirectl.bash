# bash completion for vantelmirectl: the command words, the list shorthand and its targets, and
# the global options. Whatever follows a command word belongs to the desktop app, so the shell's
# default completion takes over there.

_vantelmirectl() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  local command_words='bridge permissions screen image capture see verify click type set-value
    action press scroll paste drag move window menu menubar app dock dialog browser space
    clipboard clean tools learn completions'
  local list_targets='apps applications windows screens displays'
  local global_options='--json --json-output --no-remote --version --help -h'

  # Global options count wherever they stand, so they are skipped when finding the word typed
  # first and, after `list`, the target.
  local typed=() i
  for ((i = 1; i < COMP_CWORD; i++)); do
    case " $global_options " in
      *" ${COMP_WORDS[i]} "*) ;;
      *) typed+=("${COMP_WORDS[i]}") ;;
    esac
  done

  local candidates
  if [[ $cur == -* ]]; then
    candidates=$global_options
  elif ((${#typed[@]} == 0)); then
    candidates="$command_words list"
  elif ((${#typed[@]} == 1)) && [[ ${typed[0]} == list ]]; then
    candidates=$list_targets
  else
    return 0
  fi
  compopt +o default 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -W "$candidates" -- "$cur")
}

complete -o default -F _vantelmirectl vantelmirectl
