#!/usr/bin/env bash
# The web playground's browser test: builds the page (build-web/) and the
# console programs it is compared with (build-web-test/, or the Release
# build's bin/ that WEB_TEST_BIN names), then drives the page in headless
# Chromium. The screenshot taken mid-run is
# build-web-test/web-playground.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/prerequisites.sh
bash scripts/prerequisites-web.sh --browser
bash scripts/web.sh --build-only
bin=${WEB_TEST_BIN:-}
if [ -z "$bin" ]; then
    cmake -S . -B build-web-test -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    cmake --build build-web-test -j2 --target assembler simulator >/dev/null
    bin=build-web-test/bin
fi
mkdir -p build-web-test
python3 web/test/browser_test.py build-web/site "$bin" examples build-web-test/web-playground.png
