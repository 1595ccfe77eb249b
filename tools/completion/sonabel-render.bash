# bash completion for sonabel-render: options, files, and inside a chain
# line (-f "...", --describe) the filter names, their parameter names and the
# texts of their menu entries, as the installed renderer lists them
# (--list-filters, --describe NAME).
#
# A chain line is usually typed in quotes and holds spaces, "|" and "=",
# which bash would take as word breaks. So the line is cut into arguments
# here, from COMP_LINE, and each candidate is a whole argument; bash is
# given the part of it that replaces the word it completes ($2).

# The arguments of "$1" as the shell will see them, one per line: the last
# one is the argument under the cursor (maybe empty), and a last line holds
# the quote it left open, if any.
_sonabel_render_split() {
    local text=$1 arg="" quote="" c i
    for ((i = 0; i < ${#text}; i++)); do
        c=${text:i:1}
        if [[ -n $quote ]]; then
            if [[ $c == "$quote" ]]; then quote=""; else arg+=$c; fi
        elif [[ $c == '"' || $c == "'" ]]; then
            quote=$c
        elif [[ $c == '\' ]]; then
            ((i++))
            arg+=${text:i:1}
        elif [[ $c == ' ' || $c == $'\t' ]]; then
            [[ -n $arg ]] && printf '%s\n' "$arg"
            arg=""
        else
            arg+=$c
        fi
    done
    printf '%s\n%s\n' "$arg" "$quote"
}

# The renderer to ask: the one being completed, else the one on PATH.
_sonabel_render_program() {
    local program=${1/#\~/$HOME}
    if [[ $program == */* && -x $program ]]; then printf '%s\n' "$program"; else printf 'sonabel-render\n'; fi
}

# Filter names, one per line.
_sonabel_render_filters() {
    "$1" --list-filters 2>/dev/null | sed -n 's/^\(.*[^ ]\)  \+.*$/\1/p'
}

# Settable parameter names of filter $2, one per line, then "Active".
_sonabel_render_parameters() {
    "$1" --describe "$2" 2>/dev/null | sed -n 's/^  \([^ ].*\) (\(slider\|choice\|check box\)),.*$/\1/p'
    printf 'Active\n'
}

# Value texts of parameter $3 of filter $2 that can be offered: the menu
# entries and their familiar names, yes/no for a check box or "Active".
_sonabel_render_values() {
    local name=$3 line in="" kind
    if [[ ${name,,} == active ]]; then printf 'yes\nno\n'; return; fi
    while IFS= read -r line; do
        if [[ $line =~ ^\ \ ([^ ].*)\ \((slider|choice|check\ box|measured)\), ]]; then
            in=""
            kind=${BASH_REMATCH[2]}
            # A parameter may be named by the start of its label.
            if [[ ${BASH_REMATCH[1],,} == "${name,,}"* ]]; then
                in=$kind
                [[ $kind == "check box" ]] && printf 'yes\nno\n'
            fi
        elif [[ $in == choice && $line =~ ^\ +[0-9]+\ =\ (.*)$ ]]; then
            line=${BASH_REMATCH[1]}
            if [[ $line =~ ^(.*)\ \(also\ (.*)\)$ ]]; then
                printf '%s\n' "${BASH_REMATCH[1]}"
                printf '%s\n' ${BASH_REMATCH[2]//,/}
            else
                printf '%s\n' "$line"
            fi
        fi
    done < <("$1" --describe "$2" 2>/dev/null)
}

# Candidates (whole arguments) for a chain line that starts with $2; what
# is typed is kept as it is, spaces included.
_sonabel_render_chain_line() {
    local program=$1 arg=$2 filter head last name rest lead item
    if [[ $arg != *"|"* ]]; then
        _sonabel_render_filters "$program"
        return
    fi
    filter=${arg%%|*}
    filter=${filter#"${filter%%[! ]*}"}
    filter=${filter%"${filter##*[! ]}"}
    head=${arg%|*}
    last=${arg##*|}
    if [[ $last != *=* ]]; then
        lead=${last%%[! ]*}
        [[ -z $last ]] && lead=" "
        while IFS= read -r item; do
            printf '%s\n' "$head|$lead$item = "
        done < <(_sonabel_render_parameters "$program" "$filter")
    else
        name=${last%%=*}
        rest=${last#*=}
        lead=${rest%%[! ]*}
        [[ -z $rest ]] && lead=" "
        name=${name#"${name%%[! ]*}"}
        name=${name%"${name##*[! ]}"}
        while IFS= read -r item; do
            printf '%s\n' "$head|${last%%=*}=$lead$item"
        done < <(_sonabel_render_values "$program" "$filter" "$name")
    fi
}

_sonabel_render() {
    local cur=$2 program line args arg previous quote candidate
    program=$(_sonabel_render_program "$1")
    line=${COMP_LINE:0:COMP_POINT}
    mapfile -t args < <(_sonabel_render_split "$line")
    quote=${args[-1]}
    arg=${args[-2]}
    previous=""
    ((${#args[@]} > 2)) && previous=${args[-3]}
    COMPREPLY=()

    case $previous in
    -c | --chain | --reference | --log)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --chunk | --capture | --device | --write-ahead) return ;;
    --bits)
        mapfile -t COMPREPLY < <(compgen -W "8 16 24 32 float" -- "$cur")
        return
        ;;
    --format)
        mapfile -t COMPREPLY < <(compgen -W "wav flac aiff" -- "$cur")
        return
        ;;
    -f | --filter | --describe)
        local whole=()
        if [[ $previous == --describe ]]; then
            mapfile -t whole < <(_sonabel_render_filters "$program")
        else
            mapfile -t whole < <(_sonabel_render_chain_line "$program" "$arg")
        fi
        # Inside quotes, bash's word is all of the argument after the quote.
        # Outside them it may be only the end after a "|" or "=": then only
        # a filter name is completed, with its spaces escaped.
        for candidate in "${whole[@]}"; do
            if [[ ${candidate,,} == "${arg,,}"* ]]; then
                candidate=${arg}${candidate:${#arg}}
            elif [[ $arg == *[\|=]* || " ${candidate,,}" != *" ${arg,,}"* ]]; then
                continue # a filter may also be named by the start of a word
            fi
            if [[ -n $quote ]]; then
                COMPREPLY+=("$candidate")
            elif [[ $cur == "$arg" && $arg != *[\|=]* ]]; then
                COMPREPLY+=("$(printf '%q' "$candidate")")
            fi
        done
        compopt -o nospace 2>/dev/null
        return
        ;;
    esac

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "-c --chain -f --filter -v --verbose --list-filters --describe --steps
            --chunk --bits --format --reference --suggest-threshold -q --quiet --stats --json --log
            --list-devices --play --capture --device --write-ahead --version
            -h --help" -- "$cur")
        return
    fi
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}

complete -F _sonabel_render sonabel-render
