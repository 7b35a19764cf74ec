#!/bin/bash
# The packages scripts/package left in dist/packages/: the Debian package
# unpacked into a scratch root, its fields, its files and its smspdu run
# there; each Windows zip holds its build's two programs and the README, and
# nothing else.
set -u
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root/dist/packages" || exit 1
failed=0
fail() { echo "FAIL: $*"; failed=1; }
expect() { # what, expected, got
  [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

debs=(smspdu_*_amd64.deb)
[ ${#debs[@]} = 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single smspdu_*_amd64.deb"; exit 1; }
deb="${debs[0]}"
version=$(dpkg-deb -f "$deb" Version)
expect "package name" smspdu "$(dpkg-deb -f "$deb" Package)"
expect "section" comms "$(dpkg-deb -f "$deb" Section)"
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
# dpkg-shlibdeps found the C and C++ libraries the program links.
for library in libc6 libstdc++6; do
  dpkg-deb -f "$deb" Depends | grep -q -F "$library (>= " || fail "Depends names no version of $library"
done
expect "files of the .deb" "./usr/bin/smspdu ./usr/share/bash-completion/completions/smspdu ./usr/share/doc/smspdu/README.md ./usr/share/man/man1/smspdu.1.gz" \
  "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort | paste -sd' ')"
dpkg -x "$deb" "$scratch/root" || fail "dpkg -x fails"
expect "installed smspdu --version" "smspdu $version" "$("$scratch/root/usr/bin/smspdu" --version)"

for arch in win32:pei-i386 win64:pei-x86-64; do
  name="${arch%:*}" format="${arch#*:}"
  zip="smspdu-$version-$name.zip"
  [ -f "$zip" ] || { fail "no $zip"; continue; }
  folder="smspdu-$version-$name"
  expect "files of $zip" "$folder/README.md $folder/sms-pdu.exe $folder/smspdu.exe" \
    "$(unzip -Z1 "$zip" | grep -v '/$' | sort | paste -sd' ')"
  unzip -q "$zip" -d "$scratch/$name" || fail "cannot unzip $zip"
  for program in sms-pdu.exe smspdu.exe; do
    expect "format of $name/$program" "$format" \
      "$(x86_64-w64-mingw32-objdump -f "$scratch/$name/$folder/$program" | sed -n 's/.*file format //p')"
  done
done
[ "$failed" = 0 ] && echo "packages: the .deb installs and its smspdu runs; each zip holds its build's programs"
exit "$failed"
