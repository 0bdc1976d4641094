#!/bin/bash
# The manual pages and the bash completions say what the programs do: every option, command and exit
# status that `PROGRAM --help` prints is in the program's manual page, every option and command is offered
# by its completion, and the pages render without a warning from groff.
#   manuals_test.sh PACKAGING_SOURCES PACKAGING_BUILD PROGRAM...
# PACKAGING_BUILD holds the pages as installed (NAME.1.gz); PACKAGING_SOURCES the completions (NAME.bash).
set -u
sources=$1 pages=$2
shift 2
failures=0
fail() {
    echo "manuals_test: $*" >&2
    failures=$((failures + 1))
}

# What a completion offers for the words given (the last one is being completed).
complete_words() {
    local fn=$1
    shift
    bash -c '
        source /usr/share/bash-completion/bash_completion || exit 2
        source "$0" || exit 2
        fn=$1; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        "$fn" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"' "$sources/$name.bash" "$fn" "$@"
}

[ -r /usr/share/bash-completion/bash_completion ] || fail "bash-completion is not installed (scripts/setup)"
for program in "$@"; do
    name=$(basename "$program")
    help=$("$program" --help) || fail "$name --help failed"
    page=$(zcat "$pages/$name.1.gz" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g') || fail "no page $name.1.gz"

    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$pages/$name.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$name.1: groff warns: $warnings"

    options=$(printf '%s\n' "$help" | grep -oE -- '(^|[][ |,(])(--[a-z][a-z-]*|-h)' | sed 's/^[^-]*//' | sort -u)
    commands=$(printf '%s\n' "$help" | sed -n 's/^  \([a-z][a-z]*\) .*/\1/p' | sort -u)
    statuses=$(printf '%s\n' "$help" | sed -n '/[Ss]tat[ou]s* di uscita\|exit status/,$p' |
        grep -oE '(^|[ :,])[0-9]( |,|$)' | tr -dc '0-9\n' | sort -u)
    [ -n "$options" ] && [ -n "$statuses" ] || fail "$name --help: no options or exit statuses found"

    for o in $options $commands; do
        printf '%s\n' "$page" | grep -qE -- "(^|[^a-zA-Z-])$o([^a-zA-Z-]|\$)" || fail "$name.1 lacks $o"
    done
    for s in $statuses; do
        printf '%s\n' "$page" | grep -qx "\.B $s" || fail "$name.1 lacks the exit status $s"
    done

    fn=_$(printf '%s' "$name" | tr - _)
    offered=$( (complete_words "$fn" "$name" -
        [ -n "$commands" ] && complete_words "$fn" "$name" ""
        for c in $commands; do complete_words "$fn" "$name" "$c" -; done) | sort -u)
    for o in $options $commands; do
        printf '%s\n' "$offered" | grep -qx -- "$o" || fail "the completion of $name does not offer $o"
    done
done
[ "$failures" -eq 0 ] && echo "manuals_test: every option, command and exit status is in the pages and completions"
[ "$failures" -eq 0 ]
