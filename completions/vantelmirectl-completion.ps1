# PowerShell completion for vantelmirectl: the command words, the list shorthand and its targets,
# and the global options. Whatever follows a command word belongs to the desktop app, so
# PowerShell's default completion (paths) takes over there. Load it from your profile:
#   . "$HOME\vantelmirectl\vantelmirectl-completion.ps1"

Register-ArgumentCompleter -Native -CommandName 'vantelmirectl', 'vantelmirectl.exe' -ScriptBlock {
    param($wordToComplete, $commandAst, $cursorPosition)

    $commandWords = @(
        'bridge', 'permissions', 'screen', 'image', 'capture', 'see', 'verify', 'click', 'type',
        'set-value', 'action', 'press', 'scroll', 'paste', 'drag', 'move', 'window', 'menu',
        'menubar', 'app', 'dock', 'dialog', 'browser', 'space', 'clipboard', 'clean', 'tools',
        'learn', 'completions')
    $listTargets = @('apps', 'applications', 'windows', 'screens', 'displays')
    $globalOptions = @('--json', '--json-output', '--no-remote', '--version', '--help', '-h')

    # Global options count wherever they stand, so they are skipped when finding the word typed
    # first and, after `list`, the target. The word under the cursor is not typed yet.
    $typed = @($commandAst.CommandElements |
        Select-Object -Skip 1 |
        Where-Object { $_.Extent.EndOffset -lt $cursorPosition } |
        ForEach-Object { $_.Extent.Text } |
        Where-Object { $globalOptions -cnotcontains $_ })

    if ($wordToComplete.StartsWith('-')) {
        $candidates = $globalOptions
        $kind = 'ParameterName'
    } elseif ($typed.Count -eq 0) {
        $candidates = $commandWords + 'list'
        $kind = 'ParameterValue'
    } elseif ($typed.Count -eq 1 -and $typed[0] -ceq 'list') {
        $candidates = $listTargets
        $kind = 'ParameterValue'
    } else {
        return
    }
    $candidates |
        Where-Object { $_.StartsWith($wordToComplete, [System.StringComparison]::Ordinal) } |
        ForEach-Object { [System.Management.Automation.CompletionResult]::new($_, $_, $kind, $_) }
}
