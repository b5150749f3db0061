# bash completion for corvanta-xr7 and corvanta-k730 (installed under both names).  Needs nothing beyond
# bash itself.
_corvanta() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    case "$prev" in
    --report | --trace-ticks | --progress | --svg | --write-cmd | --hpgl)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --debug)
        # The program names its categories when it is asked for one it does not know.  A list is completed
        # at its last name, which may start with '-' (clear the category).
        local names head="" last=$cur sign="" n
        names=$("${COMP_WORDS[0]}" --debug=? 2>&1 | sed -n 's/.*valid names: \([^ ]*\).*/\1/p')
        if [[ "$cur" == *,* ]]; then
            head="${cur%,*},"
            last=${cur##*,}
        fi
        if [[ "$last" == -* ]]; then
            sign=-
            last=${last#-}
        fi
        compopt -o nospace 2>/dev/null
        local IFS=,
        for n in $names; do
            [[ "$n" == "$last"* ]] && COMPREPLY+=("$head$sign$n")
        done
        return
        ;;
    esac
    if [[ "$cur" == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '--deterministic --threaded --no-skip --debug --report --trace-ticks
            --summary --progress --svg --hpgl --write-cmd --quiet --help --version' -- "$cur")
        return
    fi
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
}
complete -F _corvanta corvanta-xr7 corvanta-k730 corvanta
