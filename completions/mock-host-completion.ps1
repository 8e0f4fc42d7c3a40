# PowerShell completion for mock-host: its options; a value after an option that takes one is left
# to PowerShell's default completion (paths). Load it from your profile:
#   . "$HOME\vantelmirectl\mock-host-completion.ps1"

Register-ArgumentCompleter -Native -CommandName 'mock-host', 'mock-host.exe' -ScriptBlock {
    param($wordToComplete, $commandAst, $cursorPosition)

    $hostOptions = @(
        '--listen', '--scenario', '--responses', '--echo', '--raw', '--raw-file', '--payload-bytes',
        '--proxy', '--prefix', '--short', '--close', '--no-read', '--extra', '--delay-ms', '--record',
        '--journal', '--strict', '--capture', '--count', '--idle-ms', '--timeout-ms', '--version', '-h',
        '--help')
    $valuedOptions = @(
        '--listen', '--scenario', '--responses', '--raw', '--raw-file', '--payload-bytes', '--proxy',
        '--prefix', '--short', '--extra', '--delay-ms', '--record', '--journal', '--capture',
        '--count', '--idle-ms', '--timeout-ms')

    # The word before the one under the cursor says whether a value is due.
    $before = @($commandAst.CommandElements |
        Where-Object { $_.Extent.EndOffset -lt $cursorPosition } |
        ForEach-Object { $_.Extent.Text })
    if ($before.Count -gt 1 -and $valuedOptions -ccontains $before[-1]) {
        return
    }
    $hostOptions |
        Where-Object { $_.StartsWith($wordToComplete, [System.StringComparison]::Ordinal) } |
        ForEach-Object { [System.Management.Automation.CompletionResult]::new($_, $_, 'ParameterName', $_) }
}
