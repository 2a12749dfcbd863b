#!/usr/bin/env bash
# The debug adapter's whole session through the protocol's own test client
# (tests/debug_adapter/client_test.js with @vscode/debugadapter-testsupport
# from npm in build-editors/). With --install it first installs the npm
# modules (scripts/prerequisites-editors.sh); without, it is SKIPPED (status
# 77) when node or the module is missing.
#   bash scripts/debug-adapter-client-test.sh [--install] [DEBUG_ADAPTER]
set -euo pipefail
cd "$(dirname "$0")/.."
install=false
if [ "${1:-}" = "--install" ]; then
    install=true
    shift
fi
adapter=${1:-build/bin/debug-adapter}
modules=build-editors/node_modules
if ! command -v node >/dev/null 2>&1; then
    echo "SKIPPED: the debug adapter's session through the test client (node is missing)"
    exit 77
fi
if $install; then
    bash scripts/prerequisites-editors.sh || true
    [ -x "$adapter" ] || { cmake -S . -B build >/dev/null && cmake --build build -j2 --target debug-adapter >/dev/null; }
fi
if [ ! -d "$modules/@vscode/debugadapter-testsupport" ]; then
    echo "SKIPPED: the debug adapter's session through the test client (@vscode/debugadapter-testsupport" \
        "is not in $modules; bash scripts/prerequisites-editors.sh installs it)"
    exit 77
fi
node tests/debug_adapter/client_test.js "$modules" "$adapter"
