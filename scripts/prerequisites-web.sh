#!/usr/bin/env bash
# Installs what the web playground needs and a fresh Debian machine lacks:
# cmake, python3 and Emscripten to build and serve it, and with --browser
# also Chromium and npm for its browser test, and axe-core (from npm, into
# build-web-test/axe/, run from the repository's top) for its accessibility
# check. Does nothing when they are present.
set -euo pipefail
axe() {
    [ "${1:-}" = "--browser" ] || return 0
    [ -f build-web-test/axe/node_modules/axe-core/axe.min.js ] && return 0
    mkdir -p build-web-test/axe
    # The browser test skips the check, saying so, when this fails.
    npm install --prefix build-web-test/axe --no-audit --no-fund --loglevel=error axe-core >/dev/null ||
        echo "axe-core could not be installed: the accessibility check will be skipped"
}
need=()
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v python3 >/dev/null 2>&1 || need+=(python3)
command -v emcmake >/dev/null 2>&1 || need+=(emscripten)
if [ "${1:-}" = "--browser" ]; then
    command -v chromium >/dev/null 2>&1 || need+=(chromium)
    command -v npm >/dev/null 2>&1 || need+=(npm)
fi
. "$(dirname "$0")/apt-install.sh"
apt_install "${need[@]}"
axe "${1:-}"
