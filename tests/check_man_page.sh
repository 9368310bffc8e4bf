#!/usr/bin/env bash
# Holds the manual page to the program: man --warnings finds nothing to say,
# every option that quarven --help lists has its entry under OPTIONS (with the
# same value name), every entry there is an option --help lists, and the
# footer carries the version that quarven --version prints.
#
#   check_man_page.sh QUARVEN_BINARY PAGE
set -euo pipefail
binary=$1
page=$2
export LC_ALL=C.UTF-8 MANWIDTH=80
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

failed=0
fail() { echo "$*"; failed=1; }

warnings=$(man --warnings -l "$page" 2>&1 >/dev/null) || fail "man could not format $page"
[ -z "$warnings" ] || fail "man --warnings: $warnings"

text=$(man -l "$page" 2>/dev/null | col -bx)

# "  --batch <TRIAL>     Compute ..." -> "--batch TRIAL"; "  -h, --help  ..." -> "-h, --help".
help_options=$("$binary" --help | sed -n '/^Options:/,$p' | grep -E '^ +-' |
    sed -E 's/^ +//; s/  .*//; s/<([^>]*)>/\1/g')
[ -n "$help_options" ] || fail "quarven --help lists no options"

# The entries of the OPTIONS section: lines indented by the section's 7 blanks.
man_options=$(printf '%s\n' "$text" | sed -n '/^OPTIONS$/,/^[A-Z]/p' | grep -E '^ {7}-' |
    sed -E 's/^ +//')
[ -n "$man_options" ] || fail "the manual page has no OPTIONS entries"

while IFS= read -r option; do
    grep -qxF -- "$option" <<<"$man_options" || fail "in --help, not in the manual page: $option"
done <<<"$help_options"
while IFS= read -r option; do
    grep -qxF -- "$option" <<<"$help_options" || fail "in the manual page, not in --help: $option"
done <<<"$man_options"

version=$("$binary" --version)
footer=$(printf '%s\n' "$text" | tail -1)
[[ "$footer" == "$version "* ]] || fail "footer '$footer' lacks the version '$version'"

[ "$failed" -eq 0 ] && echo "manual page agrees with --help and --version"
exit "$failed"
