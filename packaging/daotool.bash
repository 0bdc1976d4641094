# bash completion for daotool                                             -*- shell-script -*-
# Every option and command of `daotool --help` is offered: the ctest test package_manuals checks it.

_daotool() {
    local cur prev words cword
    _init_completion || return

    case $prev in
        --pwd-file)
            _filedir
            return
            ;;
        --pwd | --version | --help | -h)
            return
            ;;
    esac

    # The command is the first word after the options (and the values of --pwd and --pwd-file).
    local i command=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --pwd | --pwd-file) ((i++)) ;;
            -*) ;;
            *)
                command=${words[i]}
                break
                ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W '--pwd-file --pwd --version --help -h' -- "$cur"))
        else
            COMPREPLY=($(compgen -W 'create exec query schema build import querydef property password
                compact hold' -- "$cur"))
        fi
        return
    fi

    case $command in
        query | schema)
            if [[ $cur == -* && $prev == "$command" ]]; then
                COMPREPLY=($(compgen -W '--json' -- "$cur"))
                return
            fi
            ;;
        hold)
            # FILE SECONDI: after the file comes a number of seconds.
            [[ $prev == hold ]] || return
            ;;
    esac
    _filedir
} &&
    complete -F _daotool daotool
