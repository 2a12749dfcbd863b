#!/usr/bin/env bash
# Builds the normal and the sanitizer configurations, in build/ and
# build-sanitize/, and runs every test in both. What those directories hold
# is reused (only what changed is rebuilt); remove them for a build from
# scratch, as .ci/run does.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
bash scripts/prerequisites.sh

echo "== build (Release) =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$jobs"
echo "== tests (Release) =="
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer) =="
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON >/dev/null
cmake --build build-sanitize -j "$jobs"
echo "== tests (sanitizers) =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs"
echo "== all tests passed =="
