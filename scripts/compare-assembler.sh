#!/usr/bin/env bash
# Runs two assembler executables on the same sources and fails on the first
# difference in console output, exit status, or the .hx and .ps1 files they
# leave behind (byte for byte, present or not). The sources: the fuzz seed
# corpus, the examples, the benchmarks and COUNT generated sources that mix
# instructions, directives, labels, comments, stray and invalid characters,
# long lines and long names.
#   bash scripts/compare-assembler.sh OLD NEW [COUNT] [SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${3:-3000}
seed=${4:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sources" "$work/old" "$work/new"
# Copies, so that a rebuild meanwhile does not change what is compared.
cp "$1" "$work/old.bin"
cp "$2" "$work/new.bin"
old=$work/old.bin
new=$work/new.bin

for source in fuzz/corpus/assembler/* examples/*.asm bench/*.asm; do
    [ -f "$source" ] && cp "$source" "$work/sources/given-$(basename "$(dirname "$source")")-$(basename "$source")"
done

# One generated source per file, gen-<n>.asm.
awk -v count="$count" -v seed="$seed" -v dir="$work/sources" '
function pick(list,   n, parts) { n = split(list, parts, " "); return parts[int(rand() * n) + 1] }
function name() { return pick("a b loop x1 start end data Loop LOOP q" (rand() < 0.02 ? " abcdefghijklmnopqrst" : "")) }
function number() {
    if (rand() < 0.05) return "9999999999999999999"
    if (rand() < 0.02) return "99999999999999999999"
    return pick("0 1 5 7 007 255 256 300 1000 12287 12288 65535 70000 4294967295")
}
function token(   r) {
    r = rand()
    if (r < 0.30) return pick("ldi ldiw ldd lddw lda sta std stdw in out jmp jmr jz jnz call ret hlt nop add addw sub mul div inc dec shl rol and or not xor cmp cmpw LDI Jmp")
    if (r < 0.40) return pick("org db dw ORG Db") " " (rand() < 0.9 ? number() : (rand() < 0.5 ? "x" : "\t5"))
    if (r < 0.55) return number()
    if (r < 0.70) return name()
    if (r < 0.78) return "[" name()
    if (r < 0.80) return "end"
    if (r < 0.83) return "; " name() " comment"
    # Characters that stop pass 1, rarely, so that most sources reach pass 2.
    if (r < 0.835) return pick("? _ - ] [9 [ , +")
    if (r < 0.84) return sprintf("%c", 128 + int(rand() * 128))
    if (r < 0.845) return "\t"
    if (r < 0.85) return sprintf("%c", 1 + int(rand() * 8))
    return pick("12ab x10 0x10 a")
}
BEGIN {
    srand(seed)
    for (n = 0; n < count; n++) {
        file = dir "/gen-" n ".asm"
        lines = int(rand() * 30)
        for (l = 0; l < lines; l++) {
            line = ""
            tokens = int(rand() * 4)
            if (rand() < 0.01) tokens = 90  # pieces of 255 characters
            for (t = 0; t < tokens; t++) line = line (rand() < 0.1 ? "\t" : " ") token()
            if (rand() < 0.3) line = "[" name() line
            if (rand() < 0.05) line = line "\r"
            printf "%s%s", line, (l < lines - 1 || rand() < 0.8 ? "\n" : "") > file
        }
        printf "" > file
        close(file)
    }
}'

# Console output with the exit status, then every file left behind.
run() { # executable, run directory, source
    local dir=$2
    rm -f "$dir"/*
    cp "$3" "$dir/prog.asm"
    local status=0
    (cd "$dir" && printf 'prog.asm\n' | "$1" >console.out 2>&1) || status=$?
    echo "status $status" >>"$dir/console.out"
}

compared=0
succeeded=0
for source in "$work"/sources/*; do
    run "$old" "$work/old" "$source"
    run "$new" "$work/new" "$source"
    if ! diff -r "$work/old" "$work/new" >/dev/null; then
        echo "compare-assembler: $(basename "$source") differs:"
        diff -r "$work/old" "$work/new" | head -n 20 || true
        cp "$source" "/tmp/compare-assembler-failure.asm"
        echo "(source kept as /tmp/compare-assembler-failure.asm)"
        exit 1
    fi
    compared=$((compared + 1))
    grep -q '^status 0$' "$work/new/console.out" && succeeded=$((succeeded + 1))
done
echo "compare-assembler: $compared sources ($succeeded assembled without error), identical output, status and files"
