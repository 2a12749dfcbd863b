#!/usr/bin/env bash
# Benchmarks the simulator and the assembler on a Release build.
#   bash bench/run.sh           7 runs of each program, plus the assembler and
#                               memory figures
#   bash bench/run.sh --quick   one run of each program: checks that the
#                               benchmarks still assemble and print what they should
#   bash bench/run.sh --compare REF [RUNS]
#                               the simulator of commit REF and the current one
#                               side by side (bench/compare.sh)
# Where valgrind is installed, each program's host instructions under
# callgrind (one run, the whole process) follow, beside the debugger's
# `continue` over the same program: a count that does not depend on the
# machine's load.
# Every program first has its port 0 output and instruction count checked
# against the "; expect:" lines at its top. Runs read the file name from
# standard input (nothing after it, so no keys) and write to /dev/null.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if [ "${1:-}" = "--compare" ]; then
  shift
  exec bash "$root/bench/compare.sh" "$@"
fi
quick=0
[ "${1:-}" = "--quick" ] && quick=1
runs=7
[ $quick -eq 1 ] && runs=1

# BENCH_BUILD_DIR names a Release build already configured (CI's), whose
# programs are used; otherwise build-bench/ is configured for them.
build=${BENCH_BUILD_DIR:-$root/build-bench}
[ -n "${BENCH_BUILD_DIR:-}" ] ||
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target assembler simulator debugger bench_measure >/dev/null
assembler=$build/bin/assembler
simulator=$build/bin/simulator
debugger=$build/bin/debugger
measure=$build/bin/bench_measure

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "bench: $*" >&2; exit 1; }

# Median seconds and peak KiB of `runs` runs of program with input file.
timed() { "$measure" "$1" "$2" "$3"; }

printf '0 65\n' > halt.hx
printf 'halt.hx\n' > halt.in
read -r true_s true_kib _ < <(timed "$runs" halt.in /bin/true)
read -r base_s base_kib _ < <(timed "$runs" halt.in "$simulator")
printf '%-8s %12s %10s %14s %10s\n' program instructions median Minstr/s peak-KiB
printf '%-8s %12s %9.4fs %14s %10s\n' true - "$true_s" "(process)" "$true_kib"
printf '%-8s %12s %9.4fs %14s %10s\n' halt 1 "$base_s" "(start-up)" "$base_kib"

for source in "$root"/bench/*.asm; do
  name=$(basename "$source" .asm)
  cp "$source" .
  printf '%s.asm\n' "$name" | "$assembler" > "$name.lst" || fail "$name.asm does not assemble"
  printf '%s.hx\n' "$name" > "$name.in"
  "$simulator" < "$name.in" > "$name.out" || fail "$name does not run to hlt"
  want_out=$(sed -n 's/^; expect: out //p' "$source" | tr -s ' ' | sed 's/ *$//')
  got_out=$(grep -ao -- '-\[[0-9]* :' "$name.out" | tr -dc '0-9\n' | tr '\n' ' ' | sed 's/ *$//')
  [ "$got_out" = "$want_out" ] || fail "$name printed '$got_out', expected '$want_out'"
  want_count=$(sed -n 's/^; expect: instructions //p' "$source")
  got_count=$(grep -ao 'No. instruction = [0-9]*' "$name.out" | tr -dc '0-9')
  [ "$got_count" = "$want_count" ] || fail "$name ran $got_count instructions, expected $want_count"
  read -r median kib _ < <(timed "$runs" "$name.in" "$simulator")
  rate=$(awk -v n="$got_count" -v t="$median" -v b="$base_s" \
    'BEGIN { d = t - b; if (d <= 0) print "-"; else printf "%.1f", n / d / 1e6 }')
  printf '%-8s %12s %9.4fs %14s %10s\n' "$name" "$got_count" "$median" "$rate" "$kib"
done

[ $quick -eq 1 ] && { echo "bench: quick run passed"; exit 0; }

# Host instructions of one whole run under callgrind (the program and its
# arguments, standard input from the file named first).
host_instructions() {
  local input=$1
  shift
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" <"$input" 2>&1 >/dev/null |
    sed -n 's/.*refs: *//p' | tr -d ','
}
if command -v valgrind >/dev/null 2>&1; then
  # "debugger": the debugger's `continue` to the end of the program (start-up,
  # history and findings included); "speed" the simulator's count over it.
  printf 'continue\nquit\n' > continue.in
  printf '\n%-8s %16s %16s %16s %6s\n' program host-instr per-instruction debugger speed
  for source in "$root"/bench/*.asm; do
    name=$(basename "$source" .asm)
    host=$(host_instructions "$name.in" "$simulator")
    debug=$(host_instructions continue.in "$debugger" "$name.asm")
    count=$(sed -n 's/^; expect: instructions //p' "$source")
    printf '%-8s %16s %16s %16s %6s\n' "$name" "$host" \
      "$(awk -v h="$host" -v n="$count" 'BEGIN { printf "%.2f", h / n }')" "$debug" \
      "$(awk -v h="$host" -v d="$debug" 'BEGIN { printf "%.2f", h / d }')"
  done
else
  echo "bench: valgrind not installed, no host instruction counts"
fi

# Assembler: 200,000 lines, 500 labels, a label reference on most lines.
awk 'BEGIN {
  for (i = 0; i < 200000; i++) {
    if (i % 400 == 0) printf "[label%d\n", i / 400
    else if (i % 5 == 0) print "ldi 7 ; a comment"
    else printf "jmp label%d\n", (i * 7) % 500
  }
  print "hlt"
}' > big.asm
printf 'big.asm\n' > big.in
read -r asm_s asm_kib _ < <(timed "$runs" big.in "$assembler")
printf '\nassembler, 200,000 lines with 500 labels: median %.4fs, peak %s KiB\n' "$asm_s" "$asm_kib"

# Memory: a 100 MB object code file and a 100 MB source are streamed.
awk 'BEGIN { print "0 65"; for (i = 0; i < 10000000; i++) print "100 255 7" }' > huge.hx
printf 'huge.hx\n' > huge.in
read -r huge_s huge_kib _ < <(timed 1 huge.in "$simulator")
printf 'simulator, %s-byte object code file: %.2fs, peak %s KiB\n' "$(stat -c %s huge.hx)" "$huge_s" "$huge_kib"
awk 'BEGIN { for (i = 0; i < 8000000; i++) print "nop ; 100 MB" }' > huge.asm
printf 'huge.asm\n' > hugeasm.in
read -r hasm_s hasm_kib _ < <(timed 1 hugeasm.in "$assembler")
printf 'assembler, %s-byte source: %.2fs, peak %s KiB\n' "$(stat -c %s huge.asm)" "$hasm_s" "$hasm_kib"
