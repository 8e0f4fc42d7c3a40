#compdef vantelmirectl
# zsh completion for vantelmirectl: the command words, the list shorthand and its targets, and the
# global options. Whatever follows a command word belongs to the desktop app, so it completes file
# names there.

local -a command_words=(
  bridge permissions screen image capture see verify click type set-value action press scroll
  paste drag move window menu menubar app dock dialog browser space clipboard clean tools learn
  completions
)
local -a list_targets=(apps applications windows screens displays)
local -a global_options=(
  '--json:print the response as one compact line'
  '--json-output:print the response as one compact line'
  '--no-remote:accepted, without effect'
  '--version:print the version report'
  '--help:print the usage text'
  '-h:print the usage text'
)
local -a shorthand=('list:shorthand for app, window or screen list')

# Global options count wherever they stand, so they are skipped when finding the word typed first
# and, after `list`, the target.
local -a typed
local word
for word in "${(@)words[2,CURRENT-1]}"; do
  (( ${global_options[(I)${(b)word}:*]} )) || typed+=("$word")
done

if [[ $PREFIX == -* ]]; then
  _describe -t options 'global option' global_options
elif (( $#typed == 0 )); then
  _describe -t commands 'command' command_words -- shorthand
elif (( $#typed == 1 )) && [[ $typed[1] == list ]]; then
  _describe -t targets 'list target' list_targets
else
  _files
fi
