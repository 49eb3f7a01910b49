# bash completion for vexlopro-cli
_vexlopro_cli()
{
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        --dir|--scan)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -d -- "$cur"))
            return ;;
        --find-lines|--replace-lines)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --find|--replace|--mask)
            COMPREPLY=()
            return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--find --find-lines --replace --replace-lines --match-case
            --whole-word --whole-word-left --whole-word-right --delete-blanks --delete-blanks-left
            --delete-blanks-right --only-delete --dir --mask --scan --null --office --wildcards
            --sounds-like --word-forms --help --version' -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -F _vexlopro_cli vexlopro-cli
