# bash completion for quav-cli. The commands, options and option values come
# from the program's own --help, so new commands and options complete without
# a change here.

# The entries of one section of a help text ("Options", "Positionals",
# "Subcommands"): each entry's names and value type, before its description.
_quav_cli_entries() { # help-text section
    awk -v want="$2:" '
        /^[^ ].*:$/ { on = ($0 == want); next }
        /^[^ ]/ { on = 0 }
        on && /^  [^ ]/ { sub(/^  /, ""); sub(/  .*/, ""); print }' <<<"$1"
}

_quav_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local program=${COMP_WORDS[0]} command="" help entry names i
    COMPREPLY=()
    # The first word that is not an option is the command: the program's own
    # options (--help, --version) take no value.
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} != -* ]]; then
            command=${COMP_WORDS[i]}
            break
        fi
    done

    if [[ -z $command ]]; then
        help=$("$program" --help 2>/dev/null) || return 0
        names=$({
            _quav_cli_entries "$help" Subcommands
            _quav_cli_entries "$help" Options
        } | awk '{ print $1 }' | tr ',' ' ')
        mapfile -t COMPREPLY < <(compgen -W "$names" -- "$cur")
        return 0
    fi

    help=$("$program" "$command" --help 2>/dev/null) || return 0
    if [[ $prev == -* ]]; then
        # An option's value: its choices when the help lists them
        # ("TEXT:{a,b}"), a file name for any other value.
        entry=$(_quav_cli_entries "$help" Options |
            awk -v opt="$prev" '{ n = split($1, a, ","); for (i = 1; i <= n; i++) if (a[i] == opt) print }')
        if [[ $entry == *:{*}* ]]; then
            local choices=${entry#*:\{} head="" tail=$cur
            choices=${choices%%\}*}
            # A list option takes "a,b": complete after the last comma.
            if [[ $cur == *,* ]]; then
                head=${cur%,*},
                tail=${cur##*,}
            fi
            mapfile -t COMPREPLY < <(compgen -P "$head" -W "${choices//,/ }" -- "$tail")
            return 0
        fi
        # A number has nothing to complete; any other value is a file name.
        if [[ $entry == *" "@(INT|UINT|FLOAT)* ]]; then
            return 0
        fi
        if [[ $entry == *" "* ]]; then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return 0
        fi
    fi
    if [[ $cur == -* ]]; then
        names=$(_quav_cli_entries "$help" Options | awk '{ print $1 }' | tr ',' ' ')
        mapfile -t COMPREPLY < <(compgen -W "$names" -- "$cur")
        return 0
    fi
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}

complete -F _quav_cli quav-cli
