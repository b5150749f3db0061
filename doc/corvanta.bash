# bash completion for corvanta-xr7 and corvanta-k730 (installed under both names).
_corvanta() {
    local cur prev words cword
    _init_completion -n = || return
    case "$prev" in
    --report | --trace-ticks | --progress | --svg | --write-cmd)
        _filedir
        return
        ;;
    --hpgl)
        _filedir '@(plt|PLT|hpgl|HPGL|hpg|HPG|hp|HP|hgl|HGL)'
        return
        ;;
    --debug)
        # The program names its categories when asked for one it does not know.
        local names
        names=$("$1" --debug=? 2>&1 | sed -n "s/.*valid names: \([^ ]*\).*/\1/p")
        compopt -o nospace
        local prefix="${cur%,*}" last="${cur##*,}"
        [[ "$cur" == *,* ]] && prefix="$prefix," || prefix=""
        local IFS=','
        COMPREPLY=($(for n in $names; do [[ "$n" == "${last#-}"* ]] && echo "$prefix${last%%[!-]*}$n"; done))
        return
        ;;
    esac
    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W '--deterministic --threaded --no-skip --debug --report --trace-ticks --summary
            --progress --svg --hpgl --write-cmd --quiet --help --version' -- "$cur"))
        return
    fi
    _filedir -d
}
complete -F _corvanta corvanta-xr7 corvanta-k730 corvanta
