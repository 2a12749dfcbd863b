#!/usr/bin/env bash
# The simulator of commit REF and the one of the current tree side by side,
# on the benchmark programs, in one run:
#   bash bench/run.sh --compare REF [RUNS]      (RUNS per build and program,
#                                                at least 7, default 11)
# Builds REF in a temporary git worktree with a build directory of its own
# and the current tree in build-bench/, checks that both print the same bytes
# for every benchmark program, then alternates single runs of the two
# (standard output to /dev/null, nothing after the file name on standard
# input) and prints the medians of wall and processor (user + system) time
# with the ratio old/new. "net" is the ratio of processor times less each
# build's median hlt-only run (start-up, loading and both memory maps): the
# run loop alone. On a busy machine processor time is the steadier measure.
# Where valgrind is installed, the host instructions of one whole run of
# each under callgrind follow, with the ratio new/old: a count that does not
# depend on the load at all.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
ref=${1:?usage: bash bench/run.sh --compare REF [RUNS]}
runs=${2:-11}
[ "$runs" -ge 7 ] || { echo "bench: at least 7 runs of each" >&2; exit 2; }
commit=$(git rev-parse --short "$ref^{commit}")

work=$(mktemp -d)
cleanup() {
    git -C "$root" worktree remove --force "$work/ref" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

git worktree add --detach "$work/ref" "$commit" >/dev/null 2>&1
cmake -S "$work/ref" -B "$work/ref-build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$work/ref-build" -j 2 --target simulator >/dev/null
build=$root/build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j 2 --target assembler simulator bench_measure >/dev/null
old=$work/ref-build/bin/simulator
new=$build/bin/simulator
measure=$build/bin/bench_measure

cd "$work"
fail() { echo "bench: $*" >&2; exit 1; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Medians of single runs of the old and new simulator, taken in turns (which
# one goes first alternates): old-wall new-wall old-cpu new-cpu.
side_by_side() {
    local input=$1 i wall cpu
    : >old.wall; : >new.wall; : >old.cpu; : >new.cpu
    for ((i = 0; i < runs; i++)); do
        for which in $( ((i % 2 == 0)) && echo old new || echo new old); do
            local program=$old
            [ "$which" = new ] && program=$new
            read -r wall _ cpu < <("$measure" 1 "$input" "$program")
            echo "$wall" >>"$which.wall"
            echo "$cpu" >>"$which.cpu"
        done
    done
    echo "$(median <old.wall) $(median <new.wall) $(median <old.cpu) $(median <new.cpu)"
}

printf '0 65\n' >halt.hx
printf 'halt.hx\n' >halt.in
for source in "$root"/bench/*.asm; do
    name=$(basename "$source" .asm)
    cp "$source" .
    printf '%s.asm\n' "$name" | "$build/bin/assembler" >/dev/null || fail "$name.asm does not assemble"
    printf '%s.hx\n' "$name" >"$name.in"
done
for input in *.in; do
    "$old" <"$input" >old.out || fail "$input: the simulator of $commit does not run to hlt"
    "$new" <"$input" >new.out || fail "$input: the current simulator does not run to hlt"
    cmp -s old.out new.out || fail "$input: the two simulators print different bytes"
done

echo "old: $commit, new: the current tree; medians of $runs runs each, alternating"
printf '%-6s %12s %9s %9s %6s %9s %9s %6s %6s\n' program instructions old-wall new-wall ratio \
    old-cpu new-cpu ratio net
read -r halt_ow halt_nw halt_oc halt_nc < <(side_by_side halt.in)
row() {
    awk -v n="$1" -v i="$2" -v ow="$3" -v nw="$4" -v oc="$5" -v nc="$6" -v ho="$halt_oc" \
        -v hn="$halt_nc" 'BEGIN {
        net = (oc - ho > 0 && nc - hn > 0) ? sprintf("%.2f", (oc - ho) / (nc - hn)) : "-"
        printf "%-6s %12s %8.4fs %8.4fs %6.2f %8.4fs %8.4fs %6.2f %6s\n",
            n, i, ow, nw, ow / nw, oc, nc, oc / nc, net }'
}
row halt 1 "$halt_ow" "$halt_nw" "$halt_oc" "$halt_nc"
for source in "$root"/bench/*.asm; do
    name=$(basename "$source" .asm)
    count=$(sed -n 's/^; expect: instructions //p' "$source")
    read -r ow nw oc nc < <(side_by_side "$name.in")
    row "$name" "$count" "$ow" "$nw" "$oc" "$nc"
done

if command -v valgrind >/dev/null 2>&1; then
    host() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" <"$2" 2>&1 >/dev/null |
        sed -n 's/.*refs: *//p' | tr -d ','; }
    printf '\n%-6s %14s %14s %9s\n' program old-host new-host new/old
    for source in "$root"/bench/*.asm; do
        name=$(basename "$source" .asm)
        o=$(host "$old" "$name.in")
        n=$(host "$new" "$name.in")
        awk -v p="$name" -v o="$o" -v n="$n" 'BEGIN { printf "%-6s %14s %14s %9.3f\n", p, o, n, n / o }'
    done
fi
