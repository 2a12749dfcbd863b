#!/usr/bin/env bash
# Installs what building and testing need and a fresh Debian machine lacks:
# cmake, g++, GoogleTest and nlohmann-json (the language server reads and
# writes JSON with it, the tests read the checker's), and, if it can, GNU
# readline for the debugger's line editing (the build works without it).
# Does nothing when they are all present.
set -euo pipefail
need=()
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v g++ >/dev/null 2>&1 || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/nlohmann/json.hpp ] || need+=(nlohmann-json3-dev)
optional=()
[ -f /usr/include/readline/readline.h ] || optional+=(libreadline-dev)
. "$(dirname "$0")/apt-install.sh"
apt_install "${need[@]}"
if [ ${#optional[@]} -gt 0 ]; then
    apt_install "${optional[@]}" ||
        echo "Not installed: ${optional[*]} (the debugger reads plain lines without it)"
fi
