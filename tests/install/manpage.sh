#!/usr/bin/env bash
# A manual page checked against its program's --help: every option of the help
# is in the page; every command of the help has a section ".SS command" that
# names each of the command's options and arguments; every exit code of the
# help's footer ("Exit codes: 0 ...; 1 ...") is under EXIT STATUS.
#   manpage.sh PROGRAM PAGE
set -u
program=$1
page=$2
failed=0
missing() {
    echo "$page: $*" >&2
    failed=1
}

# The page's source with hyphen, font and zero-width escapes removed.
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\&//g' "$page")

# The names of the entries of one section of a help text ("Options",
# "Positionals", "Subcommands"), one a line, read as bash completion reads them:
# "-o,--output TEXT" gives -o and --output.
# shellcheck source=../../packaging/quav-cli.bash
source "$(dirname "$0")/../../packaging/quav-cli.bash"
entries() { # help-text section
    _quav_cli_entries "$1" "$2" | awk '{ print $1 }' | tr ',' '\n'
}

# Whether a name stands in some text as a word of its own.
names() { grep -qE -- "(^|[^A-Za-z0-9-])$2([^A-Za-z0-9-]|\$)" <<<"$1"; }

help=$("$program" --help) || {
    echo "$program --help failed" >&2
    exit 1
}
for option in $(entries "$help" Options); do
    names "$text" "$option" || missing "no $option (in $program --help)"
done

for command in $(entries "$help" Subcommands); do
    section=$(awk -v name="$command" '/^\.S[HS]/ { on = ($1 == ".SS" && $2 == name) } on' <<<"$text")
    if [ -z "$section" ]; then
        missing "no section \".SS $command\" under COMMANDS for the command $command"
        continue
    fi
    usage=$("$program" "$command" --help) || missing "$program $command --help failed"
    for name in $(entries "$usage" Options) $(entries "$usage" Positionals); do
        case $name in -h | --help) continue ;; esac
        names "$section" "$name" || missing "no $name in \".SS $command\" ($program $command --help)"
    done
done

codes=$(sed -n 's/^Exit codes: //p' <<<"$help" | tr ';' '\n' | awk '$1 ~ /^[0-9]+$/ { print $1 }')
[ -n "$codes" ] || missing "$program --help has no \"Exit codes:\" line to check against"
status=$(awk '/^\.SH/ { on = /EXIT STATUS/; next } on' <<<"$text")
for code in $codes; do
    grep -qx "\.B $code" <<<"$status" || missing "exit code $code is not under EXIT STATUS"
done
exit $failed
