#!/usr/bin/env bash
# End-to-end checks of the stand-in host under callers and targets that misbehave, signals and
# resource limits. Usage: limits.sh CLIENT HOST [RUNNER]
set -uo pipefail
# shellcheck source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# --- callers and targets that misbehave: every connection within its time limit
# limit_case NAME "HOST OPTIONS" CALLER-MODE NUMBER CALLER-OUTPUT SENT PROBLEM-GLOB: the host
# ends by its count with the connection cut at the limit, journaled with its problem.
limit_case() {
  begin "$1"
  eval "local host_opts=($2)"
  if start_host "limit-$passed-$failed" --timeout-ms 1000 --journal "$WORK/limit.jsonl" "${host_opts[@]}"; then
    local name=limit-$passed-$failed
    run_prog "$CALLER" "$ENDPOINT" "$3" "$4" >"$WORK/caller.out" 2>&1 &
    local caller=$!
    stop_host
    expect_host 0 "$(printf 'mock-host: connection 1: %s' "$(jq -r .problem "$WORK/limit.jsonl")")"$'\n' "$name"
    local problem
    problem=$(jq -r .problem "$WORK/limit.jsonl")
    # shellcheck disable=SC2053
    [[ $problem == $7 ]] || fail "problem: $problem"
    [ "$(jq -r .sent "$WORK/limit.jsonl")" = "$6" ] || fail "sent: $(jq -r .sent "$WORK/limit.jsonl")"
    kill "$caller" 2>/dev/null
    wait "$caller"
    [ "$5" = "" ] || [ "$(cat "$WORK/caller.out")" = "$5" ] || fail "caller: $(cat "$WORK/caller.out")"
  fi
  end
}
limit_case "a caller that stops reading is cut off" "--payload-bytes 4194304" stall 60000 "" \
  partial "write failed: the peer took * bytes within the 1000 ms time limit"
limit_case "a caller that sends byte by byte is cut off" "" trickle 20 "sent part" \
  nothing "read timed out: * bytes arrived within the 1000 ms time limit"

begin "no-read answers every time, and the journal says it arrived"
if start_host noread --no-read --raw '{"success":true}' --journal "$WORK/noread.jsonl" --count 20; then
  calls "$ENDPOINT" $(for _ in $(seq 1 20); do echo "app"; done)
  stop_host
  [ "$(grep -c '^{"success":true}$' "$WORK/calls")" = 20 ] || fail "answers: $(sort "$WORK/calls" | uniq -c)"
  [ "$(jq -r .sent "$WORK/noread.jsonl" | sort | uniq -c | tr -s ' ')" = " 20 answer" ] || fail "journal: $(cat "$WORK/noread.jsonl")"
fi
end

begin "idle means no connection in flight: a delayed answer does not end the host"
# The idle limit leaves a slow machine time to start the caller; the delay is twice as long.
echo '{"stubs": [{"match": {"command": "click"}, "times": 1, "delayMs": 6000}, {"match": {"command": "click"}}]}' >"$WORK/delayed.json"
if HOST_IDLE=3000 start_host delayed --scenario "$WORK/delayed.json" --strict --count 2; then
  run_prog "$CALLER" "$ENDPOINT" call 2 >"$WORK/out" 2>&1
  stop_host
  expect_host 0 "" delayed
  [ "$(grep -c '^0000' "$WORK/out")" = 2 ] || fail "answers: $(cat "$WORK/out")"
fi
end

begin "a second host on a served endpoint is refused, and the first one's count is kept"
if start_host first --count 1; then
  run_prog "$HOST" --listen "$ENDPOINT" --idle-ms 1000 >"$WORK/out" 2>"$WORK/err"
  STATUS=$?
  expect_status 2
  expect_stderr "mock-host: cannot listen on $ENDPOINT: another host is listening there"$'\n'
  calls "$ENDPOINT" "app list"
  stop_host
  expect_host 0 "" first
  grep -q '^status 0$' "$WORK/calls" || fail "call: $(cat "$WORK/calls")"
fi
end

# proxy_case NAME "TARGET OPTIONS" RELAYED-HEX PROBLEM-GLOB: what the target sent reaches the
# caller as it was; the problem is journaled and fails --strict.
proxy_case() {
  begin "$1"
  eval "local target_opts=($2)"
  if start_host "target-$passed-$failed" --count 1 "${target_opts[@]}"; then
    local target=$ENDPOINT target_pid=$HOST_PID name=proxy-$passed-$failed
    if start_host "$name" --proxy "$target" --strict --timeout-ms 1000 --journal "$WORK/pj.jsonl"; then
      run_prog "$CALLER" "$ENDPOINT" call 1 >"$WORK/out" 2>&1
      stop_host
      local problem
      problem=$(jq -r .problem "$WORK/pj.jsonl")
      # shellcheck disable=SC2053
      [[ $problem == "proxy target: "$4 ]] || fail "problem: $problem"
      expect_host 3 "mock-host: connection 1: $problem
mock-host: strict: proxy failed on connection 1: $problem
" "$name"
      expect_stdout "$3"$'\n'
    fi
    HOST_PID=$target_pid
    stop_host
  fi
  end
}
proxy_case "proxy: bytes after the frame are relayed and reported" "--raw '{\"a\":1}' --extra XY" \
  000000077b2261223a317d5859 "2 bytes after the answer frame"
proxy_case "proxy: a target closing mid-frame" "--raw '{\"a\":1}' --short 3" 000000077b2261 \
  "peer closed after 7 bytes"
proxy_case "proxy: a target closing without an answer" "--close" "" "peer closed after 0 bytes"
proxy_case "proxy: a target sending garbage" "--raw x --prefix FFFFFFFF" ffffffff78 \
  "frame length 4294967295 refused"
proxy_case "proxy: a target answering with what is not JSON" "--raw nojson" 000000066e6f6a736f6e \
  "the answer is not JSON: *"
proxy_case "proxy: a target slower than the limit" "--delay-ms 3000" "" \
  "read timed out: 0 bytes arrived within the 1000 ms time limit"

if [ "$WINDOWS" = 0 ]; then
  begin "a stale socket file is replaced"
  python3 -c 'import socket,sys; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1])' "$(endpoint_for stale)"
  if start_host stale --count 1; then
    calls "$ENDPOINT" "app list"
    stop_host
    expect_host 0 "" stale
    [ -e "$ENDPOINT" ] && fail "socket left behind"
  fi
  end

  begin "a stopping host removes only its own socket"
  if start_host mine --count 1; then
    mine_pid=$HOST_PID
    rm -f "$ENDPOINT"
    if HOST_ENDPOINT=$ENDPOINT start_host theirs --count 1; then
      kill "$mine_pid"
      wait "$mine_pid"
      [ -S "$ENDPOINT" ] || fail "the other host's socket was removed"
      calls "$ENDPOINT" "app list"
      stop_host
      expect_host 0 "" theirs
    fi
  fi
  end

  # Each stop signal: the host ends as its count would, its endpoint gone, journal and capture
  # complete.
  for sig in INT TERM HUP; do
    begin "SIG$sig ends the host cleanly"
    if start_host "sigtarget$sig" --count 2; then
      target=$ENDPOINT target_pid=$HOST_PID
      if start_host "sig$sig" --proxy "$target" --capture "$WORK/sig.json" --journal "$WORK/sig.jsonl" --count 2; then
        calls "$ENDPOINT" "app list"
        kill -s "$sig" "$HOST_PID"
        stop_host
        expect_host 0 "stopped by SIG$sig"$'\n' "sig$sig"
        [ -e "$ENDPOINT" ] && fail "socket left behind"
        [ "$(jq -c '[.command, .sent]' "$WORK/sig.jsonl")" = '["app","answer"]' ] || fail "journal: $(cat "$WORK/sig.jsonl")"
        [ "$(jq -rs 'map(.match.command // "head") | join(" ")' "$WORK/sig.json")" = "head app" ] ||
          fail "capture: $(cat "$WORK/sig.json")"
      fi
      HOST_PID=$target_pid
      stop_host now
    fi
    end
  done

  # A FIFO nobody writes to holds the host in its start-up until a stop signal, which ends it as
  # it ends a serving host: its stop line, status 0, never listening, and the journal it was
  # given left as it was. The signal goes once the host has the FIFO open.
  has_open() { local fd; for fd in /proc/"$1"/fd/*; do [ "$(readlink "$fd")" = "$2" ] && return 0; done; return 1; }
  fifo=$WORK/no-writer.fifo
  mkfifo "$fifo"
  fifo=$(realpath "$fifo")
  for row in "TERM --scenario" "INT --responses" "HUP --raw-file"; do
    read -r sig option <<<"$row"
    begin "SIG$sig while $option waits for a FIFO's writer ends the host"
    echo kept >"$WORK/kept.jsonl"
    ENDPOINT=$(endpoint_for no-writer)
    (exec ${RUNNER:+"$RUNNER"} "$HOST" --listen "$ENDPOINT" "$option" "$fifo" --journal "$WORK/kept.jsonl") \
      >"$WORK/no-writer.host.out" 2>"$WORK/no-writer.host.err" &
    HOST_PID=$!
    until has_open "$HOST_PID" "$fifo"; do
      kill -0 "$HOST_PID" 2>/dev/null || break
      sleep 0.05
    done
    kill -s "$sig" "$HOST_PID"
    stop_host
    expect_host 0 "stopped by SIG$sig"$'\n' no-writer
    [ -s "$WORK/no-writer.host.out" ] && fail "stdout: $(cat "$WORK/no-writer.host.out")"
    [ -e "$ENDPOINT" ] && fail "socket left behind"
    [ "$(cat "$WORK/kept.jsonl")" = kept ] || fail "journal: $(cat "$WORK/kept.jsonl")"
    end
  done

  # Resource limits bind an emulator (qemu-user) as much as the program it runs: native only.
  if [ -z "$RUNNER" ]; then
    begin "out of open files: connections beyond the limit are closed and reported, the host goes on"
    # 96 descriptors leave room for 32 held connections; the eight above are refused.
    ENDPOINT=$(endpoint_for nofile)
    (ulimit -n 96 && exec "$HOST" --listen "$ENDPOINT" --scenario "$WORK/hang.json" --journal "$WORK/nofile.jsonl" \
      --count 100 >"$WORK/nofile.host.out" 2>"$WORK/nofile.host.err") &
    HOST_PID=$!
    wait_listening nofile || fail "host did not start: $(cat "$WORK/nofile.host.err")"
    run_prog "$CALLER" "$ENDPOINT" hold 40 >"$WORK/held40" 2>&1 &
    holder=$!
    await_count 8 grep -c 'closed at once' "$WORK/nofile.host.err"
    await_count 32 grep -c '' "$WORK/nofile.jsonl"
    kill "$HOST_PID"
    stop_host
    wait "$holder"
    [ "$HOST_STATUS" = 0 ] || fail "host status $HOST_STATUS"
    [ "$(grep -c 'closed at once: 32 open connections is all the open-file limit allows' "$WORK/nofile.host.err")" = 8 ] ||
      fail "host stderr: $(cat "$WORK/nofile.host.err")"
    [ "$(wc -l <"$WORK/nofile.jsonl")" = 32 ] || fail "journal lines: $(wc -l <"$WORK/nofile.jsonl")"
    [ "$(cat "$WORK/held40")" = "answered 0 of 40" ] || fail "caller: $(cat "$WORK/held40")"
    end

    # Room for about four 64 MiB thread stacks: the held connections beyond them get no thread.
    # A sanitized host cannot start under an address-space limit at all; it skips this case.
    ENDPOINT=$(endpoint_for nothread)
    (ulimit -s 65536 && ulimit -v 300000 && exec "$HOST" --listen "$ENDPOINT" --scenario "$WORK/hang.json" \
      --journal "$WORK/nothread.jsonl" --count 100 >"$WORK/nothread.host.out" 2>"$WORK/nothread.host.err") &
    HOST_PID=$!
    if wait_listening nothread; then
      begin "no thread for a connection: it is closed and reported, the host goes on"
      run_prog "$CALLER" "$ENDPOINT" hold 10 >"$WORK/held10" 2>&1 &
      holder=$!
      taken() { echo $(($(grep -c 'cannot start a thread' "$WORK/nothread.host.err") + $(wc -l <"$WORK/nothread.jsonl"))); }
      await_count 10 taken
      kill "$HOST_PID"
      stop_host
      wait "$holder"
      [ "$HOST_STATUS" = 0 ] || fail "host status $HOST_STATUS"
      [ "$(taken)" = 10 ] || fail "connections held or refused: $(taken)"
      grep -q 'closed at once: cannot start a thread: ' "$WORK/nothread.host.err" || fail "host stderr: $(cat "$WORK/nothread.host.err")"
      [ "$(cat "$WORK/held10")" = "answered 0 of 10" ] || fail "caller: $(cat "$WORK/held10")"
      end
    else
      wait "$HOST_PID"
      HOST_PID=""
      echo "skipped: no thread for a connection (the host cannot start under an address-space limit)"
    fi
  else
    echo "skipped: open-file and thread limits (an emulator shares them)"
  fi
fi

if [ "$WINDOWS" = 1 ]; then
  # A pipe whose server sends nothing holds the host in its start-up until Ctrl+C. Wine turns a
  # SIGINT into Ctrl+C; the runner, a background job, ignores SIGINT as a script's background
  # jobs do, so the signal goes to the runner's child, Wine's process of the host. It goes once
  # the server has the host's connection.
  begin "Ctrl+C while --scenario waits on a pipe that sends nothing ends the host"
  silent=$(endpoint_for silent)
  run_prog "$CALLER" "$silent" silent 600000 >"$WORK/silent.out" 2>&1 &
  server=$!
  HOST_PID=$server
  if await_count 1 grep -sc '^listening$' "$WORK/silent.out"; then
    echo kept >"$WORK/kept.jsonl"
    ENDPOINT=$(endpoint_for waiting)
    (exec "$RUNNER" "$HOST" --listen "$ENDPOINT" --scenario "$silent" --journal "$WORK/kept.jsonl") \
      >"$WORK/waiting.host.out" 2>"$WORK/waiting.host.err" &
    HOST_PID=$!
    await_count 1 grep -sc '^connected$' "$WORK/silent.out" && kill -INT "$(pgrep -P "$HOST_PID")"
    stop_host
    expect_host 0 "stopped by Ctrl+C"$'\n' waiting
    [ -s "$WORK/waiting.host.out" ] && fail "stdout: $(cat "$WORK/waiting.host.out")"
    [ "$(cat "$WORK/kept.jsonl")" = kept ] || fail "journal: $(cat "$WORK/kept.jsonl")"
  fi
  wait "$server"
  [ "$(cat "$WORK/silent.out")" = $'listening\nconnected\ngone after 0 bytes' ] || fail "server: $(cat "$WORK/silent.out")"
  end
fi

summary
