#!/usr/bin/env bash
# Builds the fuzz targets with clang++ and runs each for SECONDS seconds (one
# after the other), starting from the seed corpus in fuzz/corpus/<target>.
# New inputs go to build-fuzz/corpus/<target>, findings to
# build-fuzz/findings/<target>; the script fails on the first finding.
#   bash fuzz/run.sh [SECONDS] [TARGET...]     (default 30 seconds, all targets)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(loader run shapes assembler disassembler cases language_server debug_adapter history)
build=${FUZZ_BUILD_DIR:-build-fuzz}
mkdir -p "$build"
# The targets move into a work directory of their own: give them absolute paths.
build=$(cd "$build" && pwd)
seeds=$(pwd)/fuzz/corpus
# The example programs seed the assembler target as they stand, the
# loader's corpus the disassembler's.
declare -A extra_seeds=([loader]="" [run]="" [shapes]="" [assembler]="$(pwd)/examples" [disassembler]="$(pwd)/fuzz/corpus/loader" [cases]=""
    [language_server]="" [debug_adapter]="" [history]="")

bash scripts/prerequisites-clang.sh
cmake -S fuzz -B "$build" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" -j 2 >/dev/null

declare -A max_len=([loader]=8192 [run]=16392 [shapes]=4096 [assembler]=8192 [disassembler]=8192 [cases]=20480
    [language_server]=262144 [debug_adapter]=65536 [history]=512)
status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    log="$build/fuzz_$target.log"
    echo "== fuzz $target for ${seconds}s =="
    # A wall-clock bound as well, in case an input hangs the target.
    # shellcheck disable=SC2086  # no extra seed directory expands to nothing
    # A dictionary of the target's words, where it has one.
    dict=()
    [ -f "$(pwd)/fuzz/dictionaries/$target.dict" ] && dict=(-dict="$(pwd)/fuzz/dictionaries/$target.dict")
    if ! timeout $((seconds + 120)) "$build/fuzz_$target" "$corpus" "$seeds/$target" ${extra_seeds[$target]} \
        "${dict[@]}" -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1; then
        echo "fuzz $target found a fault; see $log and $findings/"
        tail -n 40 "$log"
        status=1
        break
    fi
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/$target: /"
done
exit $status
