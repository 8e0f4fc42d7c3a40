#!/usr/bin/env bash
# Whole runs of the client against the stand-in host: a small command's round trip and a large
# screenshot-sized response rendered to /dev/null. Usage: bench/e2e.sh BUILD_DIR
set -euo pipefail
build=${1:-build/default}
client=$build/vantelmirectl
host=$build/mock-host
dir=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$dir"' EXIT

serve() {  # serve NAME [host options]: a host that outlives every run of the benchmark
  local name=$1
  shift
  "$host" --listen "$dir/$name.sock" --count 100000 --idle-ms 60000 "$@" >"$dir/$name.out" &
  for _ in $(seq 1 100); do grep -q '^listening' "$dir/$name.out" 2>/dev/null && return; sleep 0.05; done
}
serve small
# A screenshot answer: one 64 MiB base64 string inside the usual envelope.
{
  printf '{"data":{"format":"png","base64":"'
  head -c $((48 * 1024 * 1024)) /dev/zero | base64 -w 0
  printf '"},"requestId":"bench","success":true}'
} >"$dir/screen.json"
serve large --raw-file "$dir/screen.json"

VANTELMIRE_BRIDGE_SOCKET=$dir/small.sock hyperfine -N --warmup 20 --runs 300 \
  "$client click --x 120 --y 48 --json" "$client --version"
VANTELMIRE_BRIDGE_SOCKET=$dir/large.sock hyperfine --warmup 2 --runs 15 \
  "$client screen --json >/dev/null" "$client screen >/dev/null"
if [ -x /usr/bin/time ]; then
  VANTELMIRE_BRIDGE_SOCKET=$dir/large.sock /usr/bin/time -f 'peak RSS for a 64 MiB response: %M KiB' \
    "$client" screen --json >/dev/null
fi
