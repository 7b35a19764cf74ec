#!/bin/bash
# The bash completion against the program: every command `smspdu --help`
# names is offered first, every option it names is offered after some command,
# and an option's values after it.
#   completion_test.sh SMSPDU COMPLETION
smspdu="$1"
. "$2"
failed=0
fail() { echo "FAIL: $*"; failed=1; }
offered() { # the words offered for the command line "$@", the cursor at the end of its last word
    COMP_WORDS=(smspdu "$@")
    COMP_CWORD=$(($# ))
    COMPREPLY=()
    _smspdu
    printf '%s\n' "${COMPREPLY[@]}"
}
help=$("$smspdu" --help) || fail "smspdu --help exits with an error"
commands=$(printf '%s\n' "$help" | sed -n 's/^ *\(usage: \)\{0,1\}smspdu \([a-z]*\).*/\2/p' | sort -u)
first=$(offered "")
for command in $commands; do
  printf '%s\n' "$first" | grep -qx "$command" || fail "the command $command is not offered"
done
all=""
for command in $commands; do all+=$(offered "$command" "--")$'\n'; done
for option in $(printf '%s\n' "$help" | grep -o -- '--[a-z][a-z0-9-]*' | sort -u); do
  [ "$option" = --help ] || [ "$option" = --version ] && continue
  printf '%s\n' "$all" | grep -qx -- "$option" || fail "the option $option is offered after no command"
done
# Every kind parse takes, as its usage error lists them.
kinds=$("$smspdu" parse --kind x 2>&1 | sed -n "s/.*give \(.*\)$/\1/p" | sed 's/,//g; s/ or / /')
[ -n "$kinds" ] || fail "parse --kind x names no kinds"
for kind in $kinds; do
  offered parse --kind "" | grep -qx -- "$kind" || fail "the kind $kind is not offered after --kind"
done
expect() { [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"; }
expect "values of --lang" "tr ta te" "$(offered submit --lang t | paste -sd' ')"
expect "options of parse starting --j" "--join --json" "$(offered parse --j | sort | paste -sd' ')"
expect "nothing after --to" "" "$(offered submit --to "")"
[ "$failed" = 0 ] && echo "completion: every command and option of --help is offered"
exit "$failed"
