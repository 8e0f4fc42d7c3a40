#!/usr/bin/env bash
# End-to-end checks: the built client against the stand-in host, comparing exact stdout and
# stderr bytes and exit statuses; then the host's features as a test double.
# Usage: run.sh CLIENT HOST [RUNNER]
set -uo pipefail
# shellcheck source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# --- roads that never touch the bridge: the variable points at nothing, so any contact would fail
export VANTELMIRE_BRIDGE_SOCKET="$(endpoint_for never-there)"

while IFS='|' read -r name expect args; do
  [ -n "$name" ] || continue
  begin "$name"
  eval "set -- $args"
  client "$@"
  case $expect in
    version-indented) expect_stdout "$VERSION_INDENTED" ;;
    version-compact) expect_stdout "$VERSION_COMPACT" ;;
    usage) expect_stdout "$USAGE" ;;
  esac
  expect_stderr ""
  expect_status 0
  end
done <<'CASES'
version|version-indented|--version
version compact|version-compact|--version --json
version json-output|version-compact|--json-output --version
version beats help and words|version-indented|click -h --help --version nonsense
version after unknown word|version-compact|Click --version --json
no arguments|usage|
json alone|usage|--json
no-remote alone|usage|--no-remote
help|usage|--help
short help after command|usage|click -h
help after list|usage|list windows --help
help with json|usage|--json --help
CASES

# --- failures settled before any contact: unknown words and list targets
while IFS='|' read -r name message args; do
  [ -n "$name" ] || continue
  begin "$name"
  eval "set -- $args"
  client "$@"
  expect_stdout ""
  expect_stderr "$(client_failure "$message")"$'\n'
  expect_status 1
  end
done <<'CASES'
unknown command|unknown command: clic|clic --x 1
capital command|unknown command: Click|Click
near miss|unknown command: set_value|set_value
empty first word|unknown command: |""
json-output kept as word|unknown command: --json-output|--json --json-output click
near miss option|unknown command: --JSON|--JSON
list alone|list requires apps, windows, or screens|list
list only options|list requires apps, windows, or screens|list --json --no-remote
list bad target|unsupported list target: Apps|list Apps
list command word|unsupported list target: window|list window
quote in word|unknown command: a\"b\\\\c|'a"b\\c'
CASES

begin "phrase inside unknown word is classified by the phrase"
client "Connection refused"
expect_stderr "$(envelope CONTROL_HOST_UNAVAILABLE "unknown command: Connection refused" true "$FIX_B")"$'\n'
expect_status 1
end

# --- the bridge variable
begin "variable unset"
(unset VANTELMIRE_BRIDGE_SOCKET; client click --x 1; echo "$STATUS" >"$WORK/status")
STATUS=$(cat "$WORK/status")
expect_stdout ""
expect_stderr "$(envelope BRIDGE_SOCKET_NOT_CONFIGURED "VANTELMIRE_BRIDGE_SOCKET is not configured" false "$FIX_A")"$'\n'
expect_status 1
end

# Message of a failed open: the OS's own words. Linux wording is fixed and classified.
if [ "$WINDOWS" = 0 ]; then
  begin "variable empty"
  VANTELMIRE_BRIDGE_SOCKET= client click
  expect_stderr "$(client_failure "Invalid argument (os error 22)")"$'\n'
  expect_status 1
  end

  begin "missing path"
  VANTELMIRE_BRIDGE_SOCKET="$WORK/nothing-here.sock" client click
  expect_stderr "$(envelope CONTROL_HOST_UNAVAILABLE "No such file or directory (os error 2)" true "$FIX_B")"$'\n'
  expect_status 1
  [ -e "$WORK/nothing-here.sock" ] && fail "the client created the endpoint"
  end

  begin "socket file without listener"
  python3 -c 'import socket,sys; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1])' "$WORK/dead.sock"
  VANTELMIRE_BRIDGE_SOCKET="$WORK/dead.sock" client click
  expect_stderr "$(envelope CONTROL_HOST_UNAVAILABLE "Connection refused (os error 111)" true "$FIX_B")"$'\n'
  expect_status 1
  end

  begin "busy endpoint fails at once"
  python3 - "$WORK/busy.sock" ${RUNNER:+"$RUNNER"} "$CLIENT" >"$WORK/out" 2>"$WORK/err" <<'PY'
import os, socket, subprocess, sys
path = sys.argv[1]
listener = socket.socket(socket.AF_UNIX)
listener.bind(path)
listener.listen(0)
fillers = []
while True:  # fill the backlog until a further connect would have to wait
    c = socket.socket(socket.AF_UNIX)
    c.setblocking(False)
    try:
        c.connect(path)
    except BlockingIOError:
        break
    fillers.append(c)
env = dict(os.environ, VANTELMIRE_BRIDGE_SOCKET=path)
p = subprocess.run(sys.argv[2:] + ["click"], env=env, stderr=subprocess.PIPE, timeout=20)
sys.stderr.buffer.write(p.stderr)
sys.exit(p.returncode)
PY
  STATUS=$?
  expect_status 1
  expect_stderr "$(client_failure "Resource temporarily unavailable (os error 11)")"$'\n'
  end

  begin "variable not valid UTF-8"
  VANTELMIRE_BRIDGE_SOCKET=$'/tmp/\xff.sock' client click
  expect_stderr "$(envelope BRIDGE_SOCKET_NOT_CONFIGURED "VANTELMIRE_BRIDGE_SOCKET is not configured" false "$FIX_A")"$'\n'
  expect_status 1
  end

  begin "stdout opened read-only is a failed write"
  run_prog "$CLIENT" --version 1</dev/null 2>"$WORK/err"
  STATUS=$?
  expect_status 101
  expect_stderr $'failed printing to stdout: Bad file descriptor (os error 9)\n'
  end

  begin "path longer than a socket address"
  VANTELMIRE_BRIDGE_SOCKET="/tmp/$(printf 'x%.0s' $(seq 1 120))" client click
  expect_stderr "$(client_failure "File name too long (os error 36)")"$'\n'
  expect_status 1
  end
else
  begin "missing pipe"
  VANTELMIRE_BRIDGE_SOCKET="$(endpoint_for nothing-here)" client click
  expect_stdout ""
  expect_status 1
  grep -q '"message":"[^"]* (os error 2)"' "$WORK/err" || fail "unexpected envelope: $(cat "$WORK/err")"
  end

  begin "variable empty"
  VANTELMIRE_BRIDGE_SOCKET= client click
  expect_stdout ""
  expect_status 1
  grep -q '"message":"[^"]* (os error [0-9]*)"' "$WORK/err" || fail "unexpected envelope: $(cat "$WORK/err")"
  end
fi

# --- exchanges with the host
# host_case NAME "HOST OPTIONS" "CLIENT ARGS" STATUS EXPECTED-STDOUT EXPECTED-STDERR
host_case() {
  begin "$1"
  eval "local host_opts=($2)"
  eval "local client_args=($3)"
  if start_host "case$passed-$failed" "${host_opts[@]}"; then
    VANTELMIRE_BRIDGE_SOCKET=$ENDPOINT client "${client_args[@]}"
    stop_host
    expect_status "$4"
    expect_stdout "$5"
    expect_stderr "$6"
  fi
  end
}

host_case "success indented" "--raw '{\"success\":true}'" "click" 0 $'{\n  "success": true\n}\n' ""
host_case "success compact" "--raw '{\"success\":true}'" "click --json" 0 $'{"success":true}\n' ""
host_case "members sorted, spacing dropped" \
  "--raw '{ \"success\" : true, \"requestId\":\"r\", \"data\":{\"z\":1,\"a\":2} }'" "see --json-output" 0 \
  $'{"data":{"a":2,"z":1},"requestId":"r","success":true}\n' ""
host_case "success false" "--raw '{\"success\":false,\"error\":{}}'" "click --json" 1 \
  $'{"error":{},"success":false}\n' ""
host_case "success as string" "--raw '{\"success\":\"true\"}'" "click --json" 1 $'{"success":"true"}\n' ""
host_case "Success capitalised" "--raw '{\"Success\":true}'" "click --json" 1 $'{"Success":true}\n' ""
host_case "nested success" "--raw '{\"data\":{\"success\":true}}'" "click --json" 1 $'{"data":{"success":true}}\n' ""
host_case "duplicate success keeps last" "--raw '{\"success\":false,\"success\":true}'" "click --json" 0 \
  $'{"success":true}\n' ""
host_case "one byte payload" "--raw 1" "click" 1 $'1\n' ""
host_case "empty object" "--raw '{}'" "click" 1 $'{}\n' ""
host_case "numbers" "--raw '[-0,1E2,0.10,1e-400,18446744073709551616,-9223372036854775809]'" "click --json" 1 \
  $'[-0.0,100.0,0.1,0.0,1.8446744073709552e+19,-9.223372036854776e+18]\n' ""
host_case "white space after value" "--raw $'{\"success\":true} \\r\\n\\t'" "click --json" 0 $'{"success":true}\n' ""
host_case "extra bytes after the frame are never read" "--raw '{\"success\":true}' --extra 'garbage'" \
  "click --json" 0 $'{"success":true}\n' ""
host_case "trailing characters" "--raw '{\"a\":1}x'" "click" 1 "" \
  "$(client_failure "trailing characters at line 1 column 8")"$'\n'
host_case "payload of one space" "--raw ' '" "click" 1 "" \
  "$(client_failure "EOF while parsing a value at line 1 column 1")"$'\n'
host_case "byte order mark" "--raw $'\\xef\\xbb\\xbf{}'" "click" 1 "" \
  "$(client_failure "expected value at line 1 column 1")"$'\n'
host_case "prefix zero" "--prefix 00000000" "click" 1 "" \
  "$(client_failure "control response frame size is invalid")"$'\n'
host_case "prefix one past the limit" "--prefix 0C000001" "click" 1 "" \
  "$(client_failure "control response frame size is invalid")"$'\n'
host_case "prefix all ones" "--prefix FFFFFFFF" "click" 1 "" \
  "$(client_failure "control response frame size is invalid")"$'\n'
host_case "close without answer" "--close" "click" 1 "" \
  "$(client_failure "failed to fill whole buffer")"$'\n'
host_case "short payload" "--raw '{\"success\":true}' --short 5" "click" 1 "" \
  "$(client_failure "failed to fill whole buffer")"$'\n'

begin "prefix at the limit is read whole"
if start_host limit --payload-bytes 201326592; then
  VANTELMIRE_BRIDGE_SOCKET=$ENDPOINT client click --json
  stop_host
  expect_status 1
  size=$(stat -c %s "$WORK/out")
  [ "$size" = 201326593 ] || fail "printed $size bytes, expected 201326593"
  [ "$(tail -c 3 "$WORK/out" | od -An -c | tr -d ' ')" = 'a"\n' ] || fail "unexpected tail"
  expect_stderr ""
fi
end

# host_stream_case NAME RAW STATUS REDIRECT: the command road with stdout closed or full.
host_stream_case() {
  begin "$1"
  if start_host "stream$passed-$failed" --raw "$2"; then
    case $4 in
      closed) VANTELMIRE_BRIDGE_SOCKET=$ENDPOINT run_prog "$CLIENT" click >&- 2>"$WORK/err" ;;
      full) VANTELMIRE_BRIDGE_SOCKET=$ENDPOINT run_prog "$CLIENT" click >/dev/full 2>"$WORK/err" ;;
    esac
    STATUS=$?
    stop_host
    expect_status "$3"
    if [ "$4" = full ]; then expect_diagnostic stdout "$full_text"; else expect_stderr ""; fi
  fi
  end
}
# --- what the host receives
begin "request bytes"
if start_host request --record "$WORK/request.bin" --raw '{"success":true}'; then
  (
    echo "$BASHPID" >"$WORK/client.pid"
    export VANTELMIRE_BRIDGE_SOCKET=$ENDPOINT
    exec ${RUNNER:+"$RUNNER"} "$CLIENT" click --x 120 --json --y 48 >"$WORK/out" 2>"$WORK/err"
  )
  STATUS=$?
  stop_host
  expect_status 0
  payload=$(tail -c +5 "$WORK/request.bin")
  len=$(( $(stat -c %s "$WORK/request.bin") - 4 ))
  prefix=$(head -c 4 "$WORK/request.bin" | od -An -tx1 | tr -d ' \n')
  [ "$prefix" = "$(printf '%08x' "$len")" ] || fail "prefix $prefix for $len payload bytes"
  pattern='^\{"arguments":\["--x","120","--y","48"\],"command":"click","protocolVersion":1,"requestId":"([0-9]+)-([0-9]{19})"\}$'
  if [[ $payload =~ $pattern ]]; then
    if [ "$WINDOWS" = 0 ]; then
      [ "${BASH_REMATCH[1]}" = "$(cat "$WORK/client.pid")" ] || fail "request id pid ${BASH_REMATCH[1]}"
    else
      [[ ${BASH_REMATCH[2]} == *00 ]] || fail "Windows time stamp not in 100 ns units"
    fi
  else
    fail "request payload: $payload"
  fi
fi
end

begin "list shorthand and escaping reach the host as sent"
if start_host listreq --record "$WORK/listreq.bin" --raw '{"success":true}'; then
  VANTELMIRE_BRIDGE_SOCKET=$ENDPOINT client list windows "" 'q"\' $'\x01\t' é --json-output --json
  stop_host
  expect_status 0
  payload=$(tail -c +5 "$WORK/listreq.bin")
  expected='{"arguments":["list","","q\"\\","\u0001\t","é","--json-output"],"command":"window","protocolVersion":1,"requestId":"'
  [[ $payload == "$expected"* ]] || fail "request payload: $payload"
fi
end

# --- request size limit: exact payload sizes need the client's pid, known before exec
if [ "$WINDOWS" = 0 ]; then
  for want in 4194304 4194305; do
    begin "request of $want bytes"
    if start_host "limit$want" --record "$WORK/limit$want.bin" --raw '{"success":true}'; then
      (
        ulimit -s unlimited 2>/dev/null || ulimit -s 1048576 2>/dev/null
        pid=$BASHPID
        now=$(date +%s%N)
        # {"arguments":[<args>],"command":"type","protocolVersion":1,"requestId":"<pid>-<19 digits>"}
        fixed=$(( ${#pid} + ${#now} + 69 ))
        rest=$(( want - fixed ))
        # k arguments cost their lengths, 2 quotes each and k-1 commas; each stays far below
        # the kernel's per-argument limit.
        k=$(( (rest + 100002) / 100003 ))
        content=$(( rest - 3 * k + 1 ))
        piece=$(head -c $(( content / k )) /dev/zero | tr '\0' a)
        args=()
        for ((i = 1; i < k; i++)); do args+=("$piece"); done
        args+=("$(head -c $(( content - (k - 1) * (content / k) )) /dev/zero | tr '\0' a)")
        export VANTELMIRE_BRIDGE_SOCKET=$ENDPOINT
        exec ${RUNNER:+"$RUNNER"} "$CLIENT" type "${args[@]}" >"$WORK/out" 2>"$WORK/err"
      )
      STATUS=$?
      # The oversized request is never sent: that host is stopped, not waited for.
      if [ "$want" = 4194304 ]; then stop_host; else stop_host now; fi
      got=$(stat -c %s "$WORK/limit$want.bin" 2>/dev/null || echo 0)
      if [ "$want" = 4194304 ]; then
        expect_status 0
        [ "$got" = $((want + 4)) ] || fail "host received $got bytes"
      else
        expect_status 1
        expect_stderr "$(client_failure "control request exceeds the protocol frame limit")"$'\n'
        [ "$got" = 0 ] || fail "host received $got bytes"
      fi
    fi
    end
  done
fi

if [ "$WINDOWS" = 0 ]; then
  begin "unset variable is read before an oversized request is encoded"
  (
    ulimit -s unlimited 2>/dev/null || ulimit -s 1048576 2>/dev/null
    unset VANTELMIRE_BRIDGE_SOCKET
    piece=$(head -c 100000 /dev/zero | tr '\0' a)
    args=()
    for ((i = 0; i < 43; i++)); do args+=("$piece"); done
    exec ${RUNNER:+"$RUNNER"} "$CLIENT" type "${args[@]}" >"$WORK/out" 2>"$WORK/err"
  )
  STATUS=$?
  expect_status 1
  expect_stderr "$(envelope BRIDGE_SOCKET_NOT_CONFIGURED "VANTELMIRE_BRIDGE_SOCKET is not configured" false "$FIX_A")"$'\n'
  end
fi

# --- output failures. The error wording is the OS's own: exact on Linux, its code elsewhere.
full_text=$'No space left on device (os error 28)'
pipe_text=$'Broken pipe (os error 32)'
if [ "$WINDOWS" = 1 ]; then full_text='* (os error 112)'; pipe_text='* (os error 233)'; fi
expect_diagnostic() {
  local got
  got=$(cat "$WORK/err")
  # shellcheck disable=SC2053
  [[ $got == "failed printing to $1: "$2 ]] || fail "diagnostic: [$got]"
  [ "$(tail -c 1 "$WORK/err" | od -An -c | tr -d ' ')" = '\n' ] || fail "diagnostic not ended by a line feed"
}

begin "stdout closed keeps the status"
run_prog "$CLIENT" --version >&- 2>"$WORK/err"
STATUS=$?
expect_status 0
expect_stderr ""
end

begin "stderr closed keeps the status"
run_prog "$CLIENT" nonsense >"$WORK/out" 2>&-
STATUS=$?
expect_status 1
expect_stdout ""
end

begin "stdout full"
run_prog "$CLIENT" --version >/dev/full 2>"$WORK/err"
STATUS=$?
expect_status 101
expect_diagnostic stdout "$full_text"
end

begin "usage to a full stdout stops at the first line"
run_prog "$CLIENT" >/dev/full 2>"$WORK/err"
STATUS=$?
expect_status 101
expect_diagnostic stdout "$full_text"
end

begin "stderr full"
run_prog "$CLIENT" nonsense >"$WORK/out" 2>/dev/full
STATUS=$?
expect_status 101
expect_stdout ""
end

begin "stdout a closed pipe"
STATUS=$(python3 - "$WORK/err" ${RUNNER:+"$RUNNER"} "$CLIENT" <<'PY'
import os, subprocess, sys
r, w = os.pipe()
os.close(r)
with open(sys.argv[1], "wb") as err:
    p = subprocess.run(sys.argv[2:] + ["--version"], stdout=w, stderr=err)
print(p.returncode)
PY
)
expect_status 101
expect_diagnostic stdout "$pipe_text"
end

host_stream_case "no stdout: host success keeps 0" '{"success":true}' 0 closed
host_stream_case "no stdout: host failure keeps 1" '{"success":false}' 1 closed
host_stream_case "host answer to a full stdout" '{"success":true}' 101 full

if [ "$WINDOWS" = 0 ]; then
  begin "argument not UTF-8"
  run_prog "$CLIENT" click $'\xc3\x28' --version >"$WORK/out" 2>"$WORK/err"
  STATUS=$?
  expect_status 1
  expect_stdout ""
  expect_stderr "$(client_failure "argument 2 is not valid UTF-8")"$'\n'
  end
fi


# --- the host as a test double: scenarios, journal, strict, concurrency, proxy and capture
cat >"$WORK/scenario.json" <<'JSON'
{"stubs": [
  {"name": "busy once", "match": {"command": "click", "arguments": ["--x", "120", "--y", "48"]}, "times": 1,
   "response": {"success": false, "data": null, "error": {"code": "BUSY", "message": "busy"}}},
  {"name": "click", "match": {"command": "click"}, "state": {"moveTo": "clicked"},
   "response": {"success": true, "data": {"clicked": true}}},
  {"match": {"command": "window", "argumentsStartWith": ["list"]}, "state": {"requires": "clicked"},
   "response": {"success": true, "data": {"windows": []}}},
  {"match": {"command": "screen"}, "fault": {"close": true}},
  {"match": {"command": "menu", "argumentsContain": ["--title"]}, "raw": "{\"success\":true}", "delayMs": 50},
  {"name": "never", "match": {"command": "dock"}, "times": 2}
]}
JSON
begin "scenario: sequence, state, faults, journal and strict"
if start_host scenario --scenario "$WORK/scenario.json" --journal "$WORK/journal.jsonl" --strict --count 7; then
  calls "$ENDPOINT" "window list" "click --x 120 --y 48" "click --x 120 --y 48" "window list --app x" \
    "screen" "menu --title File" "app list"
  stop_host
  ids_dropped "$WORK/calls" >"$WORK/out"
  expect_stdout '{"data":null,"error":{"code":"UNMATCHED_REQUEST","message":"no stub matches the request: window [\"list\"]"},"requestId":"-","success":false}
status 1
{"data":null,"error":{"code":"BUSY","message":"busy"},"requestId":"-","success":false}
status 1
{"data":{"clicked":true},"requestId":"-","success":true}
status 0
{"data":{"windows":[]},"requestId":"-","success":true}
status 0
'"$(client_failure "failed to fill whole buffer")"'
status 1
{"success":true}
status 0
{"data":null,"error":{"code":"UNMATCHED_REQUEST","message":"no stub matches the request: app [\"list\"]"},"requestId":"-","success":false}
status 1
'
  expect_host 3 'mock-host: strict: unmatched request on connection 1: window ["list"]
mock-host: strict: unmatched request on connection 7: app ["list"]
mock-host: strict: stub "never": used 0 of 2 times
' scenario
  got=$(jq -c '[.connection, .command, .stub, .stateBefore, .stateAfter, .sent, .faults, .unmatched]' "$WORK/journal.jsonl" | sort)
  [ "$got" = '[1,"window",null,"Started","Started","answer",[],true]
[2,"click","busy once","Started","Started","answer",[],false]
[3,"click","click","Started","clicked","answer",[],false]
[4,"window",2,"clicked","clicked","answer",[],false]
[5,"screen",3,"clicked","clicked","nothing",["close"],false]
[6,"menu",4,"clicked","clicked","answer",[],false]
[7,"app",null,"clicked","clicked","answer",[],true]' ] || fail "journal: $got"
fi
end

begin "concurrency: six callers held at once until the host stops"
# A held connection is released only when the host stops, and the host stops once all six are
# held: it ends on its own only if it held them all at the same time.
if start_host overlap --scenario "$WORK/hang.json" --journal "$WORK/overlap.jsonl" --count 6; then
  run_prog "$CALLER" "$ENDPOINT" hold 5 >"$WORK/held5" 2>&1 &
  holder=$!
  VANTELMIRE_BRIDGE_SOCKET=$ENDPOINT run_prog "$CLIENT" click >"$WORK/held.out" 2>"$WORK/held.err" &
  held=$!
  stop_host
  expect_host 0 "" overlap
  wait "$held"
  [ $? = 1 ] || fail "the held caller ended with $?"
  [ "$(cat "$WORK/held.err")" = "$(client_failure "failed to fill whole buffer")" ] || fail "held: $(cat "$WORK/held.err")"
  wait "$holder"
  [ "$(cat "$WORK/held5")" = "answered 0 of 5" ] || fail "caller: $(cat "$WORK/held5")"
  [ "$(jq -s 'length' "$WORK/overlap.jsonl")" = 6 ] || fail "journal: $(cat "$WORK/overlap.jsonl")"
fi
end

begin "proxy, capture and replay give the same answers"
commands=("window list" "click --x 120 --y 48" "type héllo")
# The proxy's first connection to its target, at start-up, only checks that it is there: it
# sends nothing, so it does not use up one of the target's --count.
if start_host real --count 3; then
  real=$ENDPOINT real_pid=$HOST_PID
  if start_host proxy --proxy "$real" --capture "$WORK/captured.json" --journal "$WORK/proxy.jsonl" --count 3; then
    calls "$ENDPOINT" "${commands[@]}"
    stop_host
    ids_dropped "$WORK/calls" >"$WORK/via-proxy"
    [ "$(jq -rs '.[3].match.arguments[0]' "$WORK/captured.json")" = héllo ] || fail "capture: $(cat "$WORK/captured.json")"
    [ "$(jq -s 'map(.answer != null and .sent == "answer") | all' "$WORK/proxy.jsonl")" = true ] || fail "proxy journal: $(cat "$WORK/proxy.jsonl")"
  fi
  HOST_PID=$real_pid
  stop_host
  expect_host 0 "" real
  if start_host replay --scenario "$WORK/captured.json" --strict --count 3; then
    calls "$ENDPOINT" "${commands[@]}"
    stop_host
    ids_dropped "$WORK/calls" >"$WORK/out"
    expect_stdout "$(cat "$WORK/via-proxy")"$'\n'
    expect_host 0 "" replay
  fi
fi
end

begin "proxy to a host that went away answers as the host"
if start_host gone --count 1; then
  gone=$ENDPOINT gone_pid=$HOST_PID
  if start_host orphan --proxy "$gone" --count 1; then
    calls "$gone" "app list"
    wait "$gone_pid"
    calls "$ENDPOINT" "click"
    ids_dropped "$WORK/calls" >"$WORK/out"
    grep -q '^{"data":null,"error":{"code":"PROXY_TARGET_UNAVAILABLE","message":"cannot reach [^"]*"},"requestId":"-","success":false}$' "$WORK/out" || fail "answer: $(cat "$WORK/out")"
  fi
fi
stop_host
end

if [ "$WINDOWS" = 0 ]; then
  begin "capture survives the proxy being killed"
  if start_host killed-real --count 2; then
    real=$ENDPOINT real_pid=$HOST_PID
    if start_host killed --proxy "$real" --capture "$WORK/killed.json" --count 9; then
      calls "$ENDPOINT" "window list" "click --x 7"
      ids_dropped "$WORK/calls" >"$WORK/before-kill"
      kill -9 "$HOST_PID"
      wait "$HOST_PID" 2>/dev/null
      HOST_PID=""
      if start_host after-kill --scenario "$WORK/killed.json" --strict --count 2; then
        calls "$ENDPOINT" "window list" "click --x 7"
        stop_host
        ids_dropped "$WORK/calls" >"$WORK/out"
        expect_stdout "$(cat "$WORK/before-kill")"$'\n'
        expect_host 0 "" after-kill
      fi
    fi
    HOST_PID=$real_pid
    stop_host
  fi
  end
fi

begin "answers that are not UTF-8: captured as base64, replayed byte for byte, journaled as JSON"
printf '{"success":true,"data":"caf\xe9"}' >"$WORK/latin1.bin"
want=$(base64 -w0 "$WORK/latin1.bin")
if start_host latin1 --raw-file "$WORK/latin1.bin" --count 1; then
  latin1=$ENDPOINT latin1_pid=$HOST_PID
  if start_host latin1-proxy --proxy "$latin1" --capture "$WORK/latin1.json" --journal "$WORK/latin1-proxy.jsonl"; then
    calls "$ENDPOINT" "app list"
    stop_host
  fi
  HOST_PID=$latin1_pid
  stop_host
  [ "$(jq -rs '.[1].rawBase64' "$WORK/latin1.json")" = "$want" ] || fail "capture: $(cat "$WORK/latin1.json")"
  if start_host latin1-replay --scenario "$WORK/latin1.json" --journal "$WORK/latin1-replay.jsonl"; then
    calls "$ENDPOINT" "app list"
    stop_host
  fi
  for journal in latin1-proxy latin1-replay; do
    [ "$(jq -r '.answerBase64' "$WORK/$journal.jsonl")" = "$want" ] || fail "$journal: $(cat "$WORK/$journal.jsonl")"
  done
fi
end

begin "spy mode: stubs answer what they match, the real host the rest; expectations; the timed journal"
cat >"$WORK/spy.json" <<'JSON'
{"stubs": [
  {"name": "fast click", "match": {"command": "click", "options": {"--x": "120", "--fast": null}},
   "response": {"success": true, "data": {"spied": true}}, "expect": {"atLeast": 2}},
  {"name": "no drags", "match": {"command": "drag"}, "expect": {"atMost": 0}}
]}
JSON
if start_host spy-real --count 2; then
  real=$ENDPOINT real_pid=$HOST_PID
  if start_host spy --scenario "$WORK/spy.json" --proxy "$real" --capture "$WORK/spy-capture.json" \
    --journal "$WORK/spy.jsonl" --strict --count 4; then
    calls "$ENDPOINT" "click --fast --y 48 --x 120" "click --x 5 --y 120 --fast" "drag --from 1" "window list"
    stop_host
    ids_dropped "$WORK/calls" | head -3 >"$WORK/out"
    expect_stdout '{"data":{"spied":true},"requestId":"-","success":true}
status 0
{"data":{"button":"left","clicked":true,"element":null,"x":5,"y":120},"debugLog":[],"requestId":"-","success":true}
'
    expect_host 3 'mock-host: strict: stub "fast click": expected at least 2 calls, got 1
mock-host: strict: stub "no drags": expected at most 0 calls, got 1
' spy
    [ "$(jq -rs 'map(.match.command // "head") | join(" ")' "$WORK/spy-capture.json")" = "head click window" ] ||
      fail "capture: $(cat "$WORK/spy-capture.json")"
    # Accepted at a UTC time with milliseconds; what reached the socket is the frame.
    got=$(jq -c '[.stub, (.time | test("^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[.][0-9]{3}Z$")),
      (.durationMs | type), .bytesSent == (.answer | utf8bytelength) + 4]' "$WORK/spy.jsonl" | sort)
    [ "$got" = '["fast click",true,"number",true]
["no drags",true,"number",true]
[null,true,"number",true]
[null,true,"number",true]' ] || fail "journal: $got"
  fi
  HOST_PID=$real_pid
  stop_host
fi
end

# The host's own command line: its version, its usage under either name, the nearest option for
# a mistyped one.
begin "host --version"
run_prog "$HOST" --version >"$WORK/out" 2>"$WORK/err"
STATUS=$?
expect_status 0
expect_stdout "mock-host $VTM_VERSION"$'\n'
expect_stderr ""
end
begin "host -h"
run_prog "$HOST" --help >"$WORK/help" 2>&1
run_prog "$HOST" -h >"$WORK/out" 2>"$WORK/err"
STATUS=$?
expect_status 0
grep -q '^Usage: mock-host --listen PATH' "$WORK/out" && cmp -s "$WORK/help" "$WORK/out" ||
  fail "stdout: $(head -c 200 "$WORK/out")"
expect_stderr ""
end
begin "host option mistyped"
run_prog "$HOST" --listn=/tmp/y >"$WORK/out" 2>"$WORK/err"
STATUS=$?
expect_status 2
expect_stdout ""
expect_stderr "mock-host: unknown option: --listn (did you mean --listen?)"$'\n'"Try 'mock-host --help'."$'\n'
end

# start_refused NAME MESSAGE HOST-OPTIONS...: the host stops at start-up with status 2.
start_refused() {
  begin "$1"
  local message=$2
  shift 2
  run_prog "$HOST" --listen "$(endpoint_for refused)" "$@" >"$WORK/out" 2>"$WORK/err"
  STATUS=$?
  expect_status 2
  expect_stdout ""
  expect_stderr "$message"
  end
}
printf '{"stubs": [\n  {"match": {"command": "click"}, "tmes": 1}]}' >"$WORK/unknown.json"
printf '{"stubs": [\n  {"match": }]}' >"$WORK/broken.json"
start_refused "scenario with an unknown member" \
  "mock-host: --scenario: $WORK/unknown.json: stubs[0]: unknown member \"tmes\""$'\n' --scenario "$WORK/unknown.json"
start_refused "scenario that is not JSON" \
  "mock-host: --scenario: $WORK/broken.json: expected value at line 2 column 13"$'\n' --scenario "$WORK/broken.json"
printf '{"stubs": []}' >"$WORK/empty-stubs.json"
echo '{"click": {}}' >"$WORK/responses.json"
printf 'x' >"$WORK/raw.txt"
ln -f "$WORK/empty-stubs.json" "$WORK/hard-link.json"
# Each output on an input, two outputs on one file, the proxy on the host's own endpoint; by
# identity where the spelling differs.
while IFS='|' read -r name message args; do
  [ -n "$name" ] || continue
  eval "set -- $args"
  start_refused "clobbering: $name" "mock-host: $message"$'\n' "$@"
done <<CASES
journal on the scenario|--journal $WORK/empty-stubs.json is the --scenario file: it would be overwritten|--scenario "$WORK/empty-stubs.json" --journal "$WORK/empty-stubs.json"
record on the responses|--record $WORK/./responses.json is the --responses file: it would be overwritten|--responses "$WORK/responses.json" --record "$WORK/./responses.json"
record on the raw file|--record $WORK/raw.txt is the --raw-file file: it would be overwritten|--raw-file "$WORK/raw.txt" --record "$WORK/raw.txt"
journal on a hard link of the scenario|--journal $WORK/hard-link.json is the --scenario file: it would be overwritten|--scenario "$WORK/empty-stubs.json" --journal "$WORK/hard-link.json"
journal and record on one file|--journal and --record name one file: $WORK/out-one|--record "$WORK/out-one" --journal "$WORK/out-one"
journal and capture on one file|--capture and --journal name one file: $WORK/./out-two|--proxy "$(endpoint_for nothing-there)" --journal "$WORK/out-two" --capture "$WORK/./out-two"
proxy on its own endpoint|--proxy $(endpoint_for refused) is the host's own --listen endpoint|--proxy "\$(endpoint_for refused)"
CASES
[ "$(cat "$WORK/empty-stubs.json")" = '{"stubs": []}' ] || fail "the scenario was overwritten"

# Mistakes in script files, each refused with its place and in plain words.
printf '{"stubs": [{"match": {"command": "click"}}],\n "stubs": []}' >"$WORK/repeated.json"
echo '{"stubs": [{"match": {"command": "clik"}}]}' >"$WORK/clik.json"
echo '{"clik": {}}' >"$WORK/clik-responses.json"
printf '\xef\xbb\xbf{"stubs": []}' >"$WORK/bom.json"
: >"$WORK/empty.json"
while IFS='|' read -r name message args; do
  [ -n "$name" ] || continue
  eval "set -- $args"
  start_refused "script mistake: $name" "mock-host: $message"$'\n' "$@"
done <<CASES
repeated member|--scenario: $WORK/repeated.json: repeated member "stubs" at line 2 column 2|--scenario "$WORK/repeated.json"
unknown command in a stub|--scenario: $WORK/clik.json: stubs[0].match.command: unknown command word "clik"|--scenario "$WORK/clik.json"
unknown command in responses|--responses: $WORK/clik-responses.json: unknown command word "clik"|--responses "$WORK/clik-responses.json"
byte-order mark|--scenario: $WORK/bom.json: starts with a byte-order mark; save it as UTF-8 without one|--scenario "$WORK/bom.json"
empty file|--responses: $WORK/empty.json: the file is empty|--responses "$WORK/empty.json"
CASES

# Input files that cannot be read: the OS's reason, never a crash; and a bound on their size.
for option in --scenario --responses --raw-file; do
  begin "$option naming a directory"
  run_prog "$HOST" --listen "$(endpoint_for refused)" "$option" "$WORK" >"$WORK/out" 2>"$WORK/err"
  STATUS=$?
  expect_status 2
  [[ $(cat "$WORK/err") == "mock-host: $option: cannot read $WORK: "*" (os error "*")" ]] || fail "stderr: $(cat "$WORK/err")"
  end
done
if [ "$WINDOWS" = 0 ]; then
  # pipe_case NAME ANSWER HOST-OPTIONS...: a pipe with a writer loads as a file does.
  pipe_case() {
    begin "$1"
    if start_host pipe --count 1 "${@:3}"; then
      calls "$ENDPOINT" "app list"
      stop_host
      expect_host 0 "" pipe
      [ "$(cat "$WORK/calls")" = "$2"$'\nstatus 0' ] || fail "calls: $(cat "$WORK/calls")"
    fi
    end
  }
  pipe_case "a scenario through process substitution" '{"success":true,"via":"scenario"}' \
    --scenario <(echo '{"stubs": [{"match": {"command": "app"}, "raw": "{\"via\":\"scenario\",\"success\":true}"}]}')
  pipe_case "a raw file on standard input, a pipe" '{"success":true,"via":"stdin"}' \
    --raw-file /dev/stdin < <(printf '{"via":"stdin","success":true}')
  start_refused "raw file that never ends" \
    "mock-host: --raw-file: cannot read /dev/zero: larger than 201326592 bytes"$'\n' --raw-file /dev/zero
  start_refused "scenario missing" \
    "mock-host: --scenario: cannot read $WORK/none.json: No such file or directory (os error 2)"$'\n' --scenario "$WORK/none.json"
  start_refused "journal that cannot be written" \
    "mock-host: --journal: cannot write $WORK/no-dir/j: No such file or directory (os error 2)"$'\n' --journal "$WORK/no-dir/j"
fi
begin "proxy target that is not there"
run_prog "$HOST" --listen "$(endpoint_for refused)" --proxy "$(endpoint_for nothing-there)" >"$WORK/out" 2>"$WORK/err"
STATUS=$?
expect_status 2
# The description is the OS's own: exact on Linux, its code elsewhere.
[[ $(cat "$WORK/err") == "mock-host: --proxy: cannot reach $(endpoint_for nothing-there): "*" (os error 2)" ]] ||
  fail "stderr: $(cat "$WORK/err")"
end

if [ "$WINDOWS" = 0 ]; then
  begin "journal write failing later: every answer sent, status 1 at the end"
  if start_host full --journal /dev/full --count 2; then
    calls "$ENDPOINT" "click --x 1" "click --x 2"
    stop_host
    [ "$(grep -c '^status 0$' "$WORK/calls")" = 2 ] || fail "answers: $(cat "$WORK/calls")"
    expect_host 1 $'mock-host: --journal: cannot write /dev/full: No space left on device (os error 28)\n' full
  fi
  end
fi

summary
