# bash completion for mock-host: its options, and file names for the values that name a file or
# an endpoint. Values that are numbers or text get nothing.

_mock_host() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local options='--listen --scenario --responses --echo --raw --raw-file --payload-bytes --proxy
    --prefix --short --close --no-read --extra --delay-ms --record --journal --strict --capture
    --count --idle-ms --timeout-ms --version -h --help'
  case $prev in
    --listen | --scenario | --responses | --raw-file | --proxy | --record | --journal | --capture)
      return 0 ;;
    --raw | --payload-bytes | --prefix | --short | --extra | --delay-ms | --count | --idle-ms | --timeout-ms)
      compopt +o default 2>/dev/null
      COMPREPLY=()
      return 0 ;;
  esac
  compopt +o default 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
}

complete -o default -F _mock_host mock-host
