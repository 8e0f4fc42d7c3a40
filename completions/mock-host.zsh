#compdef mock-host
# zsh completion for mock-host: its options, and file names for the values that name a file or
# an endpoint. Values that are numbers or text get nothing.

local -a options=(
  '--listen:Unix socket path, or \\.\pipe\NAME on Windows'
  '--scenario:answer from the stubs of a scenario file'
  '--responses:JSON object mapping command word -> response value'
  '--echo:answer with the request itself under data.request'
  '--raw:answer every request with exactly these payload bytes'
  '--raw-file:same, payload bytes from a file'
  '--payload-bytes:answer with a valid JSON payload of exactly N bytes'
  '--proxy:forward each request to the host at TARGET, relay its answer'
  '--prefix:send this 8-hex-digit length prefix instead of the real one'
  '--short:send only the first N payload bytes, then close'
  '--close:read the request, then close without answering'
  '--no-read:do not read the request: answer (or close) at once'
  '--extra:after the frame, send these extra bytes too'
  '--delay-ms:wait N ms before answering'
  '--record:write the raw bytes received to FILE'
  '--journal:write one JSON line per finished connection to FILE'
  '--strict:unmatched requests and proxy failures fail; exit 3 on unmet expectations'
  '--capture:with --proxy: write the exchanges to FILE as a scenario'
  '--count:stop after N finished connections'
  '--idle-ms:stop after N ms with no connection in flight'
  '--timeout-ms:time limit for a request to arrive and an answer to be taken'
  '--version:print the version'
  '-h:print the usage text'
  '--help:print the usage text'
)

case $words[CURRENT-1] in
  --listen|--scenario|--responses|--raw-file|--proxy|--record|--journal|--capture) _files ;;
  --raw|--payload-bytes|--prefix|--short|--extra|--delay-ms|--count|--idle-ms|--timeout-ms) return 1 ;;
  *) _describe -t options 'option' options ;;
esac
