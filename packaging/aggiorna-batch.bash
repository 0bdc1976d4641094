# bash completion for aggiorna-batch                                      -*- shell-script -*-
# Every option of `aggiorna-batch --help` is offered: the ctest test package_manuals checks it.

_aggiorna_batch() {
    local cur prev words cword
    _init_completion || return

    case $prev in
        --prefix | --model)
            _filedir -d
            return
            ;;
        --answers | --log | --boxes | --progress | --barra)
            _filedir
            return
            ;;
        --conserva)
            COMPREPLY=($(compgen -W '1 2 3 5 10' -- "$cur"))
            return
            ;;
        --ripristina)
            # The restore points are folders named AAAAMMGG-HHMMSS: the time is typed, or left out.
            [[ $cur == -* ]] || return
            ;;
        --version | --help | -h)
            return
            ;;
    esac

    COMPREPLY=($(compgen -W '--prefix --nuova-installazione --model --answers --log --boxes --progress
        --barra --anteprima --conserva --ripristina --forza --version --help -h' -- "$cur"))
} &&
    complete -F _aggiorna_batch aggiorna-batch
