# bash completion for orvane-cli: commands, options, the values of --jobs, --backend, --format and --base,
# and paths (two folders for compare). Works with or without the bash-completion package.

_orvane_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local option="" value="" prefix=""
    COMPREPLY=()

    # An option's value: "--format=j" is one word, or three ("--format" "=" "j") where "=" breaks words.
    if [[ $cur == --*=* ]]; then
        option=${cur%%=*} value=${cur#*=} prefix=$option=
    elif [[ $cur == = ]]; then
        option=$prev prefix==
    elif [[ $prev == = && COMP_CWORD -ge 2 ]]; then
        option=${COMP_WORDS[COMP_CWORD - 2]} value=$cur
    elif [[ $prev == --jobs || $prev == --base || $prev == --exclude ]]; then
        option=$prev value=$cur
    fi
    case $option in
    --jobs) COMPREPLY=($(compgen -P "$prefix" -W "auto 1 2 4 8" -- "$value")) ;;
    --backend) COMPREPLY=($(compgen -P "$prefix" -W "modern classic" -- "$value")) ;;
    --format) COMPREPLY=($(compgen -P "$prefix" -W "text jsonl" -- "$value")) ;;
    --exclude) return ;;
    --base)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -P "$prefix" -d -- "$value"))
        ;;
    esac
    [[ -n $option ]] && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--jobs= --progress --no-progress --backend= --quiet --format= --tag --base=
            --exclude= --help --version" -- "$cur"))
        [[ ${#COMPREPLY[@]} -eq 1 && $COMPREPLY == *= ]] && compopt -o nospace 2>/dev/null
        return
    fi

    # The command is the first word that is neither an option nor an option's value.
    local i command=""
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        --jobs | --base | --exclude) ((i++)) ;;
        = | -*) ;;
        *) [[ ${COMP_WORDS[i - 1]} == = ]] || { command=${COMP_WORDS[i]}; break; } ;;
        esac
    done
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "check tag retag export import compare" -- "$cur"))
    else
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -F _orvane_cli orvane-cli
