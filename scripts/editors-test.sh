#!/usr/bin/env bash
# The TextMate grammar test (editors/vscode/test/grammar_test.js): every
# example and editors/test/corners.asm tokenized with vscode-textmate and
# compared with the language server's semantic tokens. With --install it
# first installs the npm modules it needs (scripts/prerequisites-editors.sh);
# without, it is SKIPPED (status 77) when node or the modules are missing.
#   bash scripts/editors-test.sh [--install] [LANGUAGE_SERVER]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/node-test-setup.sh
node_test_setup "the TextMate grammar test" language-server build/bin/language-server \
    "vscode-textmate vscode-oniguruma" "$@"
node editors/vscode/test/grammar_test.js "$modules" "$program" examples editors/test/corners.asm
