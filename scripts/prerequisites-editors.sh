#!/usr/bin/env bash
# Installs what the editor tests need and the machine lacks: Vim and Neovim
# from Debian (for the headless test of editors/vim/, when apt-get can be
# used), and vscode-textmate and vscode-oniguruma (for the TextMate grammar
# test) and @vscode/debugadapter-testsupport (for the debug adapter's session
# through the protocol's test client) from npm into build-editors/ (never
# into the source tree).
# Does nothing for what is there. Neither the build nor the other tests
# need them.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v vim >/dev/null 2>&1 || ! command -v nvim >/dev/null 2>&1; then
    if command -v apt-get >/dev/null 2>&1 && [ "$(id -u)" = 0 ]; then
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq vim-nox neovim >/dev/null ||
            echo "vim and neovim could not be installed"
    fi
fi
modules=build-editors/node_modules
[ -d "$modules/vscode-textmate" ] && [ -d "$modules/vscode-oniguruma" ] &&
    [ -d "$modules/@vscode/debugadapter-testsupport" ] && exit 0
command -v npm >/dev/null 2>&1 || { echo "npm is missing"; exit 1; }
mkdir -p build-editors
cd build-editors
[ -f package.json ] || echo '{"name": "editors-test", "private": true}' >package.json
npm install --no-audit --no-fund --silent vscode-textmate@9 vscode-oniguruma@2 @vscode/debugadapter-testsupport@1
