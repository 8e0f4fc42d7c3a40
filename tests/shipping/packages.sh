#!/usr/bin/env bash
# The install tree and the packages: `cmake --install` under a prefix and under DESTDIR puts every
# file where it belongs, CPack's packages hold the same tree, and the client unpacked from the .deb
# (or the .zip) runs and reports the build's version. The .deb's programs are linked as the build
# says (LINKING: static or dynamic), and it depends on what they link dynamically.
# Usage: packages.sh BUILD_DIR CLIENT RUNNER LINKING
set -uo pipefail
build=$1 client=$2 runner=$3 linking=$4

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
checks=0
fail() {
  echo "FAIL: $*" >&2
  failed=$((failed + 1))
}

if [[ $client == *.exe ]]; then
  tree=(LICENSE README.md mock-host-completion.ps1 mock-host.exe vantelmirectl-completion.ps1
    vantelmirectl.exe)
  man=(mock-host.1.html vantelmirectl.1.html)
  installed_client=vantelmirectl.exe
else
  tree=(bin/mock-host bin/vantelmirectl share/bash-completion/completions/mock-host
    share/bash-completion/completions/vantelmirectl share/doc/vantelmirectl/README.md
    share/doc/vantelmirectl/changelog.gz share/doc/vantelmirectl/copyright
    share/fish/vendor_completions.d/mock-host.fish share/fish/vendor_completions.d/vantelmirectl.fish
    share/vantelmirectl/mock-host-completion.ps1 share/vantelmirectl/vantelmirectl-completion.ps1
    share/zsh/site-functions/_mock-host share/zsh/site-functions/_vantelmirectl)
  man=(share/man/man1/mock-host.1.gz share/man/man1/vantelmirectl.1.gz)
  installed_client=bin/vantelmirectl
fi
# The man pages, unless the configure step left them out and wrote down why.
if [ -f "$build/man/not-built.txt" ]; then
  echo "packages: $(<"$build/man/not-built.txt")"
else
  tree+=("${man[@]}")
fi
expected=$(printf '%s\n' "${tree[@]}" | LC_ALL=C sort)
# The .deb also holds its lintian overrides, and the zsh completions where Debian's zsh looks; the
# .tar.gz the licence, which the .deb's copyright file holds.
deb_expected=$(printf '%s\n' "${tree[@]}" share/lintian/overrides/vantelmirectl |
  sed 's|^share/zsh/site-functions/|share/zsh/vendor-completions/|' | LC_ALL=C sort)
tarball_expected=$(printf '%s\n' "${tree[@]}" share/doc/vantelmirectl/LICENSE | LC_ALL=C sort)

# The licence as the repository holds it, and its text after the copyright line.
licence=$(cat "$(dirname "$0")/../../LICENSE")
licence_terms=$(sed '1,/^Copyright /d' <<<"$licence" | sed '/./,$!d')
# same_licence WHAT TEXT: TEXT is the repository's licence.
same_licence() {
  checks=$((checks + 1))
  [ "$2" = "$licence" ] || fail "$1 is not the repository's LICENSE"
}

files_under() { (cd "$1" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort); }
# same_tree WHAT LISTING [EXPECTED]: the listing is the expected tree, file for file.
same_tree() {
  local want=${3:-$expected}
  checks=$((checks + 1))
  [ "$2" = "$want" ] && return 0
  fail "$1 holds another tree:"
  diff <(echo "$want") <(echo "$2") | sed -n 's/^[<>]/  &/p' >&2
}
version_report() { ${runner:+"$runner"} "$1" --version --json 2>&1; }
# same_client WHAT PATH: the program at PATH runs and says what the built client says.
want_version=$(version_report "$client")
# Every copy is compared with the built client, so that one must give a real report.
checks=$((checks + 1))
[[ $want_version == *'"name":"vantelmirectl"'* ]] || fail "the built client: [$want_version]"
same_client() {
  checks=$((checks + 1))
  local got
  got=$(version_report "$2")
  [ "$got" = "$want_version" ] || fail "$1: [$got], expected [$want_version]"
}

cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install --prefix"
same_tree "--prefix" "$(files_under "$work/prefix")"
same_client "installed client" "$work/prefix/$installed_client"

DESTDIR=$work/stage cmake --install "$build" --prefix /usr >/dev/null || fail "DESTDIR install"
same_tree "DESTDIR/usr" "$(files_under "$work/stage/usr")"

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >cpack.log 2>&1) ||
  { fail "cpack"; cat "$work/cpack.log" >&2; }
# The archives hold the tree under one folder named after the package.
archive_tree() { sed -n 's|^[^/]*/||; /[^/]$/p' | LC_ALL=C sort; }
shopt -s nullglob
if [[ $client == *.exe ]]; then
  zips=("$work"/packages/*.zip)
  [ "${#zips[@]}" = 1 ] || fail "expected one .zip, found ${#zips[@]}"
  for zip in "${zips[@]}"; do
    echo "${zip##*/}:"
    (cd "$work" && cmake -E tar tf "$zip") | tee "$work/zip.list" | sed 's/^/  /'
    same_tree "${zip##*/}" "$(archive_tree <"$work/zip.list")"
    mkdir "$work/unzipped" && (cd "$work/unzipped" && cmake -E tar xf "$zip")
    same_client "client from the .zip" "$(echo "$work"/unzipped/*/vantelmirectl.exe)"
    same_licence "LICENSE in the .zip" "$(cat "$work"/unzipped/*/LICENSE)"
  done
else
  debs=("$work"/packages/*.deb)
  tarballs=("$work"/packages/*.tar.gz)
  [ "${#debs[@]}" = 1 ] && [ "${#tarballs[@]}" = 1 ] ||
    fail "expected one .deb and one .tar.gz, found ${#debs[@]} and ${#tarballs[@]}"
  for deb in "${debs[@]}"; do
    dpkg-deb -f "$deb" Package Version Architecture Maintainer Depends | sed 's/^/  /'
    checks=$((checks + 1))
    version=$(dpkg-deb -f "$deb" Version)
    [[ $want_version == *"\"version\":\"$version\""* ]] || fail "${deb##*/}: version $version"
    dpkg -x "$deb" "$work/root" || fail "dpkg -x ${deb##*/}"
    same_tree "${deb##*/}" "$(files_under "$work/root/usr")" "$deb_expected"
    same_client "client from the .deb" "$work/root/usr/bin/vantelmirectl"
    for program in vantelmirectl mock-host; do
      checks=$((checks + 1))
      kind=$(file -b "$work/root/usr/bin/$program")
      [[ $kind == *"$linking"'ally linked'* ]] || fail "${deb##*/}: $program is not ${linking}ally linked: $kind"
    done
    checks=$((checks + 1))
    depends=$(dpkg-deb -f "$deb" Depends)
    if [ "$linking" = static ]; then
      [ -z "$depends" ] || fail "${deb##*/}: static programs, yet Depends: $depends"
    else
      [[ $depends == *libc6* ]] || fail "${deb##*/}: dynamic programs, yet Depends: [$depends]"
    fi
    # The copyright file names the licence and holds its terms, one field's continuation lines.
    checks=$((checks + 1))
    terms=$(sed -n '/^License: Expat$/,/^$/{/^ /p}' "$work/root/usr/share/doc/vantelmirectl/copyright" |
      sed 's/^ //; s/^\.$//')
    [ "$terms" = "$licence_terms" ] || fail "${deb##*/}: the copyright file does not hold the Expat terms of LICENSE"
  done
  for tarball in "${tarballs[@]}"; do
    same_tree "${tarball##*/}" "$(tar tzf "$tarball" | archive_tree)" "$tarball_expected"
    same_licence "LICENSE in ${tarball##*/}" "$(tar xzOf "$tarball" --wildcards '*/share/doc/vantelmirectl/LICENSE')"
  done
fi

echo "packages: $((checks - failed)) passed, $failed failed"
[ "$failed" = 0 ]
