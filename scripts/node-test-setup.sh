# shellcheck shell=bash
# Sourced by the tests that run under node with npm modules from
# build-editors/node_modules. Reads an optional --install (which installs
# the modules with scripts/prerequisites-editors.sh and builds the program
# under test when it is missing) and the program's path; exits SKIPPED
# (status 77) when node or a module is missing.
#   node_test_setup "WHAT" TARGET DEFAULT_PROGRAM "MODULE ..." "$@"
# Sets `program` and `modules`.
node_test_setup() {
    local what=$1 target=$2 default=$3 needed=$4
    shift 4
    local install=false
    if [ "${1:-}" = "--install" ]; then
        install=true
        shift
    fi
    program=${1:-$default}
    modules=build-editors/node_modules
    if ! command -v node >/dev/null 2>&1; then
        echo "SKIPPED: $what (node is missing)"
        exit 77
    fi
    if $install; then
        bash scripts/prerequisites-editors.sh || true
        [ -x "$program" ] || { cmake -S . -B build >/dev/null && cmake --build build -j2 --target "$target" >/dev/null; }
    fi
    local module
    for module in $needed; do
        if [ ! -d "$modules/$module" ]; then
            echo "SKIPPED: $what ($module is not in $modules; bash scripts/prerequisites-editors.sh installs it)"
            exit 77
        fi
    done
}
