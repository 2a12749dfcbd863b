#!/usr/bin/env bash
# Static checks of the project's own code (common/, simulator/, assembler/,
# debugger/, checker/, disassembler/, language-server/, debug-adapter/,
# tests/, fuzz/): fails
# on any clang-format difference from .clang-format and on any clang-tidy finding
# of .clang-tidy. Needs clang-format, clang-tidy and clang++
# (scripts/prerequisites-clang.sh installs them), and builds nothing: the
# compile commands come from configuring two build directories. The static
# analyzer runs in its shallow mode (it follows calls less deep): the deep
# mode took twice as long on the largest files and found nothing more here.
# PART/PARTS checks every PARTS-th file only, from the PART-th on, so that
# parts can run side by side (CI gives each of its lanes one).
#   bash scripts/static-checks.sh [all|format|tidy] [PART/PARTS]   (default: all 1/1)
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
part=${2:-1/1}
if ! [[ $part =~ ^([1-9][0-9]*)/([1-9][0-9]*)$ ]] || [ "${BASH_REMATCH[1]}" -gt "${BASH_REMATCH[2]}" ]; then
    echo "static checks: the part is PART/PARTS, such as 2/3 (not $part)"
    exit 2
fi
first=${BASH_REMATCH[1]}
parts=${BASH_REMATCH[2]}
# share: this part's lines of standard input.
share() { awk -v first="$first" -v parts="$parts" '(NR - first) % parts == 0'; }
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
    if ! sources | share | xargs clang-format --dry-run --Werror; then
        echo "clang-format: the files above differ from .clang-format (clang-format -i FILE fixes them)"
        status=1
    fi
fi

if [ "$what" = all ] || [ "$what" = tidy ]; then
    echo "== clang-tidy =="
    # Each part configures folders of its own: parts may run at once.
    tidy_build=build-tidy
    [ "$parts" -eq 1 ] || tidy_build=build-tidy-$first-of-$parts
    cmake -S . -B "$tidy_build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
    cmake -S fuzz -B "$tidy_build-fuzz" -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
    # Headers are checked through the sources that include them.
    tidy() { # build directory, then sources
        local dir=$1
        shift
        printf '%s\n' "$@" | share | xargs -r -P "$jobs" -n 4 clang-tidy -p "$dir" --quiet \
            --extra-arg=-Xclang --extra-arg=-analyzer-config --extra-arg=-Xclang \
            --extra-arg=mode=shallow 2>/dev/null
    }
    log=$tidy_build/findings.txt
    {
        tidy "$tidy_build" $(git ls-files 'common/*.cpp' 'simulator/*.cpp' 'assembler/*.cpp' \
            'debugger/*.cpp' 'checker/*.cpp' 'disassembler/*.cpp' 'language-server/*.cpp' \
            'debug-adapter/*.cpp' 'tests/*.cpp') || true
        tidy "$tidy_build-fuzz" $(git ls-files 'fuzz/*.cpp') || true
    } >"$log"
    if grep -qE '(warning|error):' "$log"; then
        cat "$log"
        echo "clang-tidy: $(grep -cE '(warning|error):' "$log") finding(s)"
        status=1
    fi
fi

[ $status -eq 0 ] && echo "== static checks passed =="
exit $status
