#!/usr/bin/env bash
# The callers' guide in the README runs as it stands: its bash examples run in order, in an empty
# directory, with the client and the stand-in host on the PATH; every "$ COMMAND" must print
# exactly the lines under it, and every other block nothing. Each man page's examples must be
# those of its README section, block for block: the client's for the guide to calling it,
# mock-host's for the guide to testing with it, which goes on from the first.
# Usage: guide.sh README CLIENT_MAN_SOURCE HOST_MAN_SOURCE CLIENT HOST
set -uo pipefail
readme=$1 client_man=$2 host_man=$3 client=$4 host=$5
command -v jq >/dev/null || { echo "guide: needs jq" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/run" "$work/out"
ln -s "$client" "$work/bin/vantelmirectl"
ln -s "$host" "$work/bin/mock-host"

# split_blocks FILE HEADING DIR: writes the fenced blocks of FILE's section HEADING to DIR, one
# file each (000, 001, ...), and their languages to DIR/languages, one line each.
split_blocks() {
  mkdir -p "$3"
  awk -v heading="$2" -v dir="$3" '
    /^#+ / && !block { level = index($0, " ") - 1
                       if ($0 == heading) { inside = 1; depth = level }
                       else if (inside && level <= depth) inside = 0 }
    inside && /^```/ { if (block) { close(name); block = 0; n++ }
                       else { block = 1; name = sprintf("%s/%03d", dir, n)
                              printf "" > name; print substr($0, 4) > (dir "/languages") }
                       next }
    inside && block { print > name }' "$1"
}

failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

sections=("## Calling it from scripts and agents|$client_man"
  "## Testing with \`mock-host\`: scenarios, journal, strict checks and capture|$host_man")
for ((s = 0; s < ${#sections[@]}; s++)); do
  heading=${sections[s]%|*} man_source=${sections[s]#*|}
  split_blocks "$readme" "$heading" "$work/readme$s"
  split_blocks "$man_source" "# EXAMPLES" "$work/man$s"
  # scdoc reads a backslash as taking the next character literally, also in literal blocks.
  for f in "$work/man$s"/[0-9]*; do sed -i 's/\\\(.\)/\1/g' "$f"; done
  mapfile -t languages <"$work/readme$s/languages"
  [ "${#languages[@]}" -gt 0 ] || fail "no examples found under $heading"
  for ((i = 0; i < ${#languages[@]}; i++)); do
    f=$(printf '%03d' "$i")
    cmp -s "$work/readme$s/$f" "$work/man$s/$f" ||
      fail "$(basename "$man_source"): example $((i + 1)) differs from the README's"
  done
  [ -e "$work/man$s/$(printf '%03d' "${#languages[@]}")" ] &&
    fail "$(basename "$man_source") has more examples than the README"
done

# One script: each step writes what it prints to its own file.
steps=0
script=$work/guide-script.sh
expected=()
commands=()
{
  echo 'set +e'
  for block in "$work"/readme[0-9]/[0-9]*; do
    [ "$(sed -n "$((10#${block##*/} + 1))p" "${block%/*}/languages")" = bash ] || continue
    body=$(cat "$block")
    if [[ $body != '$ '* ]]; then
      printf '{\n%s\n} >%q 2>&1\n' "$body" "$work/out/$steps"
      commands+=("(the block starting: ${body%%$'\n'*})")
      expected+=("")
      steps=$((steps + 1))
      continue
    fi
    while IFS= read -r line; do
      if [[ $line == '$ '* ]]; then
        printf '{ %s\n} >%q 2>&1\n' "${line#'$ '}" "$work/out/$steps"
        commands+=("${line#'$ '}")
        expected+=("")
        steps=$((steps + 1))
      else
        expected[steps - 1]+="$line"$'\n'
      fi
    done <<<"$body"
  done
  echo 'kill $(jobs -p) 2>/dev/null'
} >"$script"

(cd "$work/run" && PATH="$work/bin:$PATH" timeout 120 bash "$script")
for ((i = 0; i < steps; i++)); do
  printf '%s' "${expected[i]}" >"$work/expected"
  if ! cmp -s "$work/expected" "$work/out/$i"; then
    fail "$ ${commands[i]}"
    diff "$work/expected" "$work/out/$i" | sed 's/^/  /' >&2
  fi
done
echo "guide: $steps steps"
exit "$failed"
