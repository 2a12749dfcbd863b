# Bash completion for the stack machine toolchain's programs: options,
# their file arguments, and source (.asm) or object code (.hx) files as
# operands.
# Installed once per program name into share/bash-completion/completions/.

# _stack_machine_files CUR EXTENSION...: the files with one of the extensions,
# and directories.
_stack_machine_files() {
    local cur=$1 extension
    shift
    compopt -o filenames 2>/dev/null
    COMPREPLY=()
    for extension; do
        COMPREPLY+=($(compgen -f -X "!*.$extension" -- "$cur"))
    done
    COMPREPLY+=($(compgen -d -- "$cur"))
}

# Any file, as the argument of an option.
_stack_machine_any_file() {
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -f -- "$1"))
}

_stack_machine_assembler() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    case $prev in
        -o | --output | --listing)
            _stack_machine_any_file "$cur"
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-o --output --listing --warnings -h --help --version' -- "$cur"))
    else
        _stack_machine_files "$cur" asm
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
        _stack_machine_files "$cur" hx
    fi
}

_stack_machine_debugger() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-h --help --version' -- "$cur"))
    else
        _stack_machine_files "$cur" asm hx
    fi
}

_stack_machine_checker() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    if [[ $prev == --cases ]]; then
        _stack_machine_any_file "$cur"
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--json --cases -h --help --version' -- "$cur"))
    else
        _stack_machine_files "$cur" asm
    fi
}

_stack_machine_disassembler() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    if [[ $prev == -o ]]; then
        _stack_machine_any_file "$cur"
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-o -h --help --version' -- "$cur"))
    else
        _stack_machine_files "$cur" hx
    fi
}

_stack_machine_language_server() {
    COMPREPLY=($(compgen -W '--stdio -h --help --version' -- "${COMP_WORDS[COMP_CWORD]}"))
}

complete -F _stack_machine_assembler assembler
complete -F _stack_machine_simulator simulator
complete -F _stack_machine_debugger debugger
complete -F _stack_machine_checker checker
complete -F _stack_machine_disassembler disassembler
complete -F _stack_machine_language_server language-server
