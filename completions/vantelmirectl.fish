# fish completion for vantelmirectl: the command words, the list shorthand and its targets, and the
# global options. Whatever follows a command word belongs to the desktop app, so fish's default
# completion (file names) takes over there.

set -l command_words bridge permissions screen image capture see verify click type set-value \
    action press scroll paste drag move window menu menubar app dock dialog browser space \
    clipboard clean tools learn completions
set -l list_targets apps applications windows screens displays

# Succeeds when the words typed so far, global options aside, leave room for WHAT: the first word
# ("word") or the target after `list` ("target").
function __vantelmirectl_expects -a what
    set -l typed
    set -l tokens (commandline -opc)
    set -e tokens[1]
    for token in $tokens
        switch $token
            case --json --json-output --no-remote --version --help -h
            case '*'
                set -a typed $token
        end
    end
    switch $what
        case word
            test (count $typed) -eq 0
        case target
            test (count $typed) -eq 1; and test "$typed[1]" = list
    end
end

complete -c vantelmirectl -n '__vantelmirectl_expects word' -f -a "$command_words"
complete -c vantelmirectl -n '__vantelmirectl_expects word' -f -a list \
    -d 'shorthand for app, window or screen list'
complete -c vantelmirectl -n '__vantelmirectl_expects target' -f -a "$list_targets"
complete -c vantelmirectl -l json -d 'print the response as one compact line'
complete -c vantelmirectl -l json-output -d 'print the response as one compact line'
complete -c vantelmirectl -l no-remote -d 'accepted, without effect'
complete -c vantelmirectl -l version -d 'print the version report'
complete -c vantelmirectl -l help -s h -d 'print the usage text'
