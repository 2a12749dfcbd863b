#!/usr/bin/env bash
# The debug adapter's whole session through the protocol's own test client
# (tests/debug_adapter/client_test.js with @vscode/debugadapter-testsupport
# from npm in build-editors/). With --install it first installs the npm
# modules (scripts/prerequisites-editors.sh); without, it is SKIPPED (status
# 77) when node or the module is missing.
#   bash scripts/debug-adapter-client-test.sh [--install] [DEBUG_ADAPTER]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/node-test-setup.sh
node_test_setup "the debug adapter's session through the test client" debug-adapter \
    build/bin/debug-adapter "@vscode/debugadapter-testsupport" "$@"
node tests/debug_adapter/client_test.js "$modules" "$program"
