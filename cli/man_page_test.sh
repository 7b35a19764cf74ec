#!/bin/sh
# The manual page against the program: groff finds nothing to warn about, and
# every command that `smspdu --help` names is in the page's synopsis, and
# every option it names has an entry of its own (a .TP tag).
#   man_page_test.sh SMSPDU PAGE
smspdu="$1"
page="$2"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

warnings=$(groff -man -ww -z "$page" 2>&1) || fail "groff exits with an error"
[ -z "$warnings" ] || fail "groff warns: $warnings"

help=$("$smspdu" --help) || fail "smspdu --help exits with an error"
# In the page's source an option's hyphens are written \-.
text=$(sed 's/\\-/-/g' "$page")
tags=$(printf '%s\n' "$text" | awk 'tagged { print } { tagged = ($1 == ".TP") }')
for option in $(printf '%s\n' "$help" | grep -o -- '--[a-z][a-z0-9-]*' | sort -u); do
  printf '%s\n' "$tags" | grep -q -E -- "(^|[^a-z-])$option([^a-z0-9-]|\$)" ||
    fail "smspdu --help lists $option, the manual page has no entry for it"
done
for command in $(printf '%s\n' "$help" | sed -n 's/^ *\(usage: \)\{0,1\}smspdu \([a-z]*\).*/\2/p' | sort -u); do
  printf '%s\n' "$text" | grep -q -F ".SY \"smspdu $command\"" ||
    fail "smspdu --help lists the command $command, the manual page's synopsis does not"
done
[ "$failed" = 0 ] && echo "manual page: groff is quiet, every command and option of --help is in it"
exit "$failed"
