#!/usr/bin/env bash
# A machine without scdoc, in a tree of its own: a tree that must ship the man pages stops at
# configure naming the Debian package; any other builds, says which pages it leaves out and why,
# and passes the packages check without them; configured again where scdoc is, it has them. The
# tools are hidden through their cache variables, which take the place of the search, so the
# configure logic is the real one.
# Usage: packages-bare.sh TREE LINKING CMAKE_CONFIGURE_ARGUMENT...
# (LINKING as for packages.sh: how the programs of a tree configured like this one are linked.)
set -uo pipefail
tree=$1 linking=$2
shift 2
here=$(dirname "$0")

failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=$((failed + 1))
}
configure() { cmake -S "$here/../.." -B "$tree" -DVTM_TESTS=OFF "$@" 2>&1; }
# expect WHAT OUTPUT TEXT: OUTPUT holds TEXT, however CMake has broken its lines.
expect() {
  [[ $(tr -s '[:space:]' ' ' <<<"$2") == *"$3"* ]] || fail "$1 does not say [$3]:"$'\n'"$2"
}
# build_and_check WHAT: the tree builds (one core: the tests beside this one keep the other) and
# passes the packages check, whose output is left in $out.
build_and_check() {
  cmake --build "$tree" -j1 >"$tree/build.log" 2>&1 || { fail "$1: build"; cat "$tree/build.log" >&2; return 1; }
  out=$(bash "$here/packages.sh" "$tree" "$tree/vantelmirectl" "" "$linking" 2>&1) || fail "$1: packages check"$'\n'"$out"
  grep '^packages:' <<<"$out" | sed "s/^/$1: /"
}
why="no scdoc (Debian package: scdoc)"
line="man pages vantelmirectl.1 and mock-host.1 not built: $why"
hidden=(-DVTM_SCDOC=OFF -DVTM_MANDOC=OFF)

if out=$(configure "$@" "${hidden[@]}" -DVTM_MAN_REQUIRED=ON); then
  fail "the configure step that must ship the man pages went on without scdoc"
fi
expect "the configure step that must ship the man pages" "$out" "there is $why"

if out=$(configure "$@" "${hidden[@]}" -DVTM_MAN_REQUIRED=OFF); then
  expect "the configure step" "$out" "$line"
  build_and_check "without scdoc" && expect "the packages check" "$out" "packages: $line"
else
  fail "configure without scdoc"$'\n'"$out"
fi

# The user installs the tools and configures again: the search runs anew.
if out=$(configure -UVTM_SCDOC -UVTM_MANDOC); then
  build_and_check "configured again"
  if command -v scdoc >/dev/null && [ -f "$tree/man/not-built.txt" ]; then
    fail "configured again, the tree is without its man pages, though scdoc is at $(command -v scdoc)"
  fi
else
  fail "configure again"$'\n'"$out"
fi
echo "packages-bare: $failed failed"
[ "$failed" = 0 ]
