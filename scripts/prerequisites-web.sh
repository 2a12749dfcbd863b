#!/usr/bin/env bash
# Installs what the web playground needs and a fresh Debian machine lacks:
# cmake, python3 and Emscripten to build and serve it, and with --browser
# also Chromium for its browser test. Does nothing when they are present.
set -euo pipefail
need=()
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v python3 >/dev/null 2>&1 || need+=(python3)
command -v emcmake >/dev/null 2>&1 || need+=(emscripten)
if [ "${1:-}" = "--browser" ]; then
    command -v chromium >/dev/null 2>&1 || need+=(chromium)
fi
[ ${#need[@]} -eq 0 ] && exit 0
echo "Installing: ${need[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q "${need[@]}"
