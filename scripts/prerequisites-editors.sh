#!/usr/bin/env bash
# Installs what the TextMate grammar test needs and the machine lacks:
# vscode-textmate and vscode-oniguruma from npm, into build-editors/ (never
# into the source tree). Needs node and npm; does nothing when the modules
# are there. Neither build nor the other tests need them.
set -euo pipefail
cd "$(dirname "$0")/.."
modules=build-editors/node_modules
[ -d "$modules/vscode-textmate" ] && [ -d "$modules/vscode-oniguruma" ] && exit 0
command -v npm >/dev/null 2>&1 || { echo "npm is missing"; exit 1; }
mkdir -p build-editors
cd build-editors
[ -f package.json ] || echo '{"name": "editors-test", "private": true}' >package.json
npm install --no-audit --no-fund --silent vscode-textmate@9 vscode-oniguruma@2
