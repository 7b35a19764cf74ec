#!/bin/bash
# scripts/setup-wine32 against a ready folder: where 32-bit programs run, it
# trusts the folder's stamp; where they do not, the stamp does not make them
# run, and it says so in one line instead of reporting the folder ready.
set -u
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder=$(mktemp -d)
trap 'rm -rf "$folder" "$folder.lock"' EXIT
dpkg-query -W -f='${Version}' wine64 >"$folder/ready" 2>/dev/null
failures=0
check() { # what, expected exit code, expected error text, loader
  local got err
  err=$(SMS_WINE32_DIR="$folder" SMS_WINE32_LOADER="$4" "$root/scripts/setup-wine32" 2>&1) && got=0 || got=$?
  if [ "$got" != "$2" ] || [ "$err" != "$3" ]; then
    echo "FAIL $1: expected exit $2 and \"$3\", got exit $got and \"$err\""
    failures=$((failures + 1))
  fi
}
check "ready folder, 32-bit code runs" 0 "" /bin/true
check "ready folder, 32-bit code refused" 1 \
  "32-bit programs do not run on this machine (/bin/false fails)" /bin/false
[ "$failures" = 0 ] && echo "setup-wine32: both cases as expected"
exit $((failures > 0))
