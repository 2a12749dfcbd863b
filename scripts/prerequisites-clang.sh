#!/usr/bin/env bash
# Installs what the fuzz targets and the static checks need and a fresh
# Debian machine lacks: clang++ with libFuzzer and the sanitizer runtimes,
# clang-format and clang-tidy. Does nothing when they are all present.
set -euo pipefail
. "$(dirname "$0")/apt-install.sh"

# libFuzzer ships apart from the compiler on Debian: try to link a target.
fuzzer_links() {
    echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' |
        clang++ -fsanitize=fuzzer,address,undefined -x c++ - -o /dev/null 2>/dev/null
}
runtime_package() { echo "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev"; }

need=()
command -v clang++ >/dev/null 2>&1 || need+=(clang)
command -v clang-format >/dev/null 2>&1 || need+=(clang-format)
command -v clang-tidy >/dev/null 2>&1 || need+=(clang-tidy)
apt_install "${need[@]}"
fuzzer_links || apt_install "$(runtime_package)"
