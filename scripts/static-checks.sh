#!/usr/bin/env bash
# Static checks of the project's own code (common/, simulator/, assembler/,
# debugger/, checker/, disassembler/, language-server/, debug-adapter/,
# tests/, fuzz/): fails
# on any clang-format difference from .clang-format and on any clang-tidy finding
# of .clang-tidy. Needs clang-format, clang-tidy and clang++
# (scripts/prerequisites-clang.sh installs them), and builds nothing: the
# compile commands come from configuring two build directories.
#   bash scripts/static-checks.sh [format|tidy]     (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
jobs=$(nproc 2>/dev/null || echo 2)
status=0
bash scripts/prerequisites-clang.sh
for tool in clang-format clang-tidy clang++; do
    command -v "$tool" >/dev/null || { echo "static checks: $tool is missing"; exit 1; }
done

sources() { git ls-files "$@" 'common/*.cpp' 'common/*.hpp' 'simulator/*.cpp' 'simulator/*.hpp' \
    'assembler/*.cpp' 'assembler/*.hpp' 'debugger/*.cpp' 'debugger/*.hpp' \
    'checker/*.cpp' 'checker/*.hpp' 'disassembler/*.cpp' 'disassembler/*.hpp' \
    'language-server/*.cpp' 'language-server/*.hpp' 'debug-adapter/*.cpp' 'debug-adapter/*.hpp' 'tests/*.cpp' 'tests/*.hpp' 'fuzz/*.cpp' 'fuzz/*.hpp'; }

if [ "$what" = all ] || [ "$what" = format ]; then
    echo "== clang-format =="
    if ! sources | xargs clang-format --dry-run --Werror; then
        echo "clang-format: the files above differ from .clang-format (clang-format -i FILE fixes them)"
        status=1
    fi
fi

if [ "$what" = all ] || [ "$what" = tidy ]; then
    echo "== clang-tidy =="
    cmake -S . -B build-tidy -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
    cmake -S fuzz -B build-tidy-fuzz -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
    # Headers are checked through the sources that include them.
    tidy() { # build directory, then sources
        local dir=$1
        shift
        printf '%s\n' "$@" | xargs -P "$jobs" -n 4 clang-tidy -p "$dir" --quiet 2>/dev/null
    }
    log=build-tidy/findings.txt
    {
        tidy build-tidy $(git ls-files 'common/*.cpp' 'simulator/*.cpp' 'assembler/*.cpp' \
            'debugger/*.cpp' 'checker/*.cpp' 'disassembler/*.cpp' 'language-server/*.cpp' \
            'debug-adapter/*.cpp' 'tests/*.cpp') || true
        tidy build-tidy-fuzz $(git ls-files 'fuzz/*.cpp') || true
    } >"$log"
    if grep -qE '(warning|error):' "$log"; then
        cat "$log"
        echo "clang-tidy: $(grep -cE '(warning|error):' "$log") finding(s)"
        status=1
    fi
fi

[ $status -eq 0 ] && echo "== static checks passed =="
exit $status
