# Bash completion for the stack machine toolchain: options, their file
# arguments, and source (.asm) or object code (.hx) files as operands.
# Installed once per program name into share/bash-completion/completions/.

_stack_machine_files() {
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -X "!*.$1" -- "$2") $(compgen -d -- "$2"))
}

_stack_machine_assembler() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    case $prev in
        -o | --output | --listing)
            compopt -o filenames 2>/dev/null
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-o --output --listing --warnings -h --help --version' -- "$cur"))
    else
        _stack_machine_files asm "$cur"
    fi
}

_stack_machine_simulator() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    if [[ $prev == --trace ]]; then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur") -)
        COMPREPLY=($(compgen -W "${COMPREPLY[*]}" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--trace -h --help --version' -- "$cur"))
    else
        _stack_machine_files hx "$cur"
    fi
}

complete -F _stack_machine_assembler assembler
complete -F _stack_machine_simulator simulator
