# Shared by the end-to-end scripts: the programs under test, the case bookkeeping, the host
# helpers and the exact texts. Sourced, with the scripts' arguments: CLIENT HOST [RUNNER].
# RUNNER (the Wine wrapper, qemu-user) prefixes every program start; a Windows client (.exe)
# talks to a named pipe.

CLIENT=$1
HOST=$2
RUNNER=${3:-}
# The scripted caller: stalls, trickles and holds connections, as the client never does.
CALLER=${VTM_E2E_CALLER:?}
WORK=${VTM_E2E_WORK:-$(mktemp -d)}
rm -rf "$WORK" && mkdir -p "$WORK"
WINDOWS=0
[[ $CLIENT == *.exe ]] && WINDOWS=1

passed=0
failed=0
current=""
case_failed=0

run_prog() { if [ -n "$RUNNER" ]; then "$RUNNER" "$@"; else "$@"; fi; }

begin() {
  current=$1
  case_failed=0
}
fail() {
  echo "FAIL [$current]: $*" >&2
  case_failed=1
}
end() {
  if [ "$case_failed" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

endpoint_for() {
  if [ "$WINDOWS" = 1 ]; then printf '\\\\.\\pipe\\vtm-e2e-%s-%s' "$$" "$1"; else printf '%s/%s.sock' "$WORK" "$1"; fi
}

HOST_PID=""
# start_host NAME [host options...]: serves one connection at ENDPOINT; HOST_IDLE overrides the
# idle limit, HOST_ENDPOINT the endpoint.
start_host() {
  local name=$1
  shift
  ENDPOINT=${HOST_ENDPOINT:-$(endpoint_for "$name")}
  # exec: HOST_PID is the host itself, so that a signal reaches it. Its standard input is the
  # caller's, not the empty one a background job gets, for --raw-file /dev/stdin.
  (exec ${RUNNER:+"$RUNNER"} "$HOST" --listen "$ENDPOINT" --idle-ms "${HOST_IDLE:-60000}" "$@") <&0 >"$WORK/$name.host.out" 2>"$WORK/$name.host.err" &
  HOST_PID=$!
  wait_listening "$name" && return 0
  fail "host did not start: $(cat "$WORK/$name.host.err" 2>/dev/null)"
  return 1
}
# wait_listening NAME: until the host HOST_PID says it listens (true) or stops (false). A slow
# start on a busy machine is no failure; ctest's time-out still ends a host that never starts.
wait_listening() {
  while kill -0 "$HOST_PID" 2>/dev/null; do
    grep -q '^listening on ' "$WORK/$1.host.out" 2>/dev/null && return 0
    sleep 0.05
  done
  grep -q '^listening on ' "$WORK/$1.host.out" 2>/dev/null
}
# await_count N COMMAND...: until COMMAND prints N, while the host runs. A busy machine may take
# any time; ctest's time-out ends a wait that never ends.
await_count() {
  until [ "$("${@:2}")" = "$1" ]; do
    kill -0 "$HOST_PID" 2>/dev/null || return 1
    sleep 0.05
  done
}
# stop_host [now]: waits for the host to end by itself, as it does when its count is reached,
# however long a busy machine takes; "now" stops a host whose connections never came.
stop_host() {
  [ -n "$HOST_PID" ] || return 0
  [ "${1:-}" = now ] && kill "$HOST_PID" 2>/dev/null
  wait "$HOST_PID" 2>/dev/null
  HOST_STATUS=$?
  HOST_PID=""
}

# client [args...]: runs the client with the current environment; fills OUT, ERR, STATUS.
client() {
  run_prog "$CLIENT" "$@" >"$WORK/out" 2>"$WORK/err"
  STATUS=$?
}

expect_status() { [ "$STATUS" = "$1" ] || fail "status $STATUS, expected $1"; }
expect_stdout() {
  printf '%s' "$1" >"$WORK/expected"
  cmp -s "$WORK/expected" "$WORK/out" || fail "stdout differs: got [$(head -c 600 "$WORK/out")] expected [$1]"
}
expect_stderr() {
  printf '%s' "$1" >"$WORK/expected"
  cmp -s "$WORK/expected" "$WORK/err" || fail "stderr differs: got [$(head -c 600 "$WORK/err")] expected [$1]"
}

FIX_A='Run the bundled CLI through Vantelmire'"'"'s authorized SSH shell, or set VANTELMIRE_BRIDGE_SOCKET to the socket exported by the running desktop app.'
FIX_B='Open Vantelmire, then rerun `vantelmirectl bridge status --json` before retrying the requested action.'
FIX_D='Run `vantelmirectl bridge status --json`, preserve this error message, and do not retry a mutation without inspecting current state.'

# envelope CODE MESSAGE RETRYABLE FIX: the exact stderr line (MESSAGE already JSON-escaped).
envelope() {
  printf '{"data":null,"debugLog":[],"error":{"code":"%s","details":null,"message":"%s","recommendedFix":"%s","retryable":%s},"requestId":"client","success":false}\n' "$1" "$2" "$4" "$3"
}
client_failure() { envelope CLIENT_FAILURE "$1" false "$FIX_D"; }

# The exact bytes of a host answer rendered by the client, compact and indented. The version is
# the project's (VTM_VERSION, set by the build).
VERSION_COMPACT='{"data":{"name":"vantelmirectl","protocolVersion":1,"version":"'"${VTM_VERSION:?}"'"},"success":true}
'
VERSION_INDENTED='{
  "data": {
    "name": "vantelmirectl",
    "protocolVersion": 1,
    "version": "'"$VTM_VERSION"'"
  },
  "success": true
}
'
USAGE='Vantelmire native computer use
Usage: vantelmirectl <command> [options]

Commands:
'
for w in bridge permissions screen image capture see verify click type set-value action press scroll \
  paste drag move window menu menubar app dock dialog browser space clipboard clean tools learn completions; do
  USAGE+="  $w"$'\n'
done
USAGE+=$'\nUse --json or --json-output for compact structured output.\n'


# calls SOCKET COMMAND...: one client run per command (words split on spaces), each output line
# followed by its status, all into $WORK/calls.
calls() {
  local endpoint=$1 c
  shift
  for c in "$@"; do
    # shellcheck disable=SC2086
    VANTELMIRE_BRIDGE_SOCKET=$endpoint run_prog "$CLIENT" $c --json 2>&1
    echo "status $?"
  done >"$WORK/calls"
}
# ids_dropped FILE: the file without request ids, which differ from run to run.
ids_dropped() { sed 's/"requestId":"[0-9]*-[0-9]*"/"requestId":"-"/g' "$1"; }
expect_host() {
  [ "$HOST_STATUS" = "$1" ] || fail "host status $HOST_STATUS, expected $1"
  printf '%s' "$2" >"$WORK/expected"
  cmp -s "$WORK/expected" "$WORK/$3.host.err" || fail "host stderr: [$(cat "$WORK/$3.host.err")] expected [$2]"
}


# A host that holds every click: connections stay open until it stops.
echo '{"stubs": [{"match": {"command": "click"}, "fault": {"hang": true}}]}' >"$WORK/hang.json"

summary() {
  echo "$passed passed, $failed failed"
  [ "$failed" = 0 ]
}
