#!/usr/bin/env bash
# Builds both programs, then assembles and runs one bundled example end to
# end in build/demo: `bash scripts/demo.sh [example]` (default: hello).
set -euo pipefail
cd "$(dirname "$0")/.."
example=${1:-hello}
bash scripts/prerequisites.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target assembler simulator >/dev/null
mkdir -p build/demo
cp "examples/$example.asm" build/demo/
cd build/demo
echo "== assembling examples/$example.asm =="
printf '%s.asm\n' "$example" | ../bin/assembler
echo
echo "== running $example.hx =="
printf '%s.hx\n' "$example" | ../bin/simulator
