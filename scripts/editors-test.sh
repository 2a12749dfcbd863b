#!/usr/bin/env bash
# The TextMate grammar test (editors/vscode/test/grammar_test.js): every
# example and editors/test/corners.asm tokenized with vscode-textmate and compared with the language
# server's semantic tokens. With --install it first installs the npm
# modules it needs (scripts/prerequisites-editors.sh); without, it is
# SKIPPED (status 77) when node or the modules are missing.
#   bash scripts/editors-test.sh [--install] [LANGUAGE_SERVER]
set -euo pipefail
cd "$(dirname "$0")/.."
install=false
if [ "${1:-}" = "--install" ]; then
    install=true
    shift
fi
server=${1:-build/bin/language-server}
modules=build-editors/node_modules
if ! command -v node >/dev/null 2>&1; then
    echo "SKIPPED: the TextMate grammar test (node is missing)"
    exit 77
fi
if $install; then
    bash scripts/prerequisites-editors.sh || true
    [ -x "$server" ] || { cmake -S . -B build >/dev/null && cmake --build build -j2 --target language-server >/dev/null; }
fi
if [ ! -d "$modules/vscode-textmate" ] || [ ! -d "$modules/vscode-oniguruma" ]; then
    echo "SKIPPED: the TextMate grammar test (vscode-textmate and vscode-oniguruma are not in $modules;" \
        "bash scripts/prerequisites-editors.sh installs them)"
    exit 77
fi
node editors/vscode/test/grammar_test.js "$modules" "$server" examples editors/test/corners.asm
