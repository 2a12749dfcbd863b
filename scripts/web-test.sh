#!/usr/bin/env bash
# The web playground's browser test: builds the page (build-web/) and the
# console programs it is compared with (build-web-test/, or the Release
# build's bin/ that WEB_TEST_BIN names), then drives the page in headless
# Chromium. WEB_TEST_SITE names a page's release file (.tar.gz) to test
# instead of building the page: what users are given is what is tested.
# The screenshot taken mid-run is build-web-test/web-playground.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/prerequisites.sh
bash scripts/prerequisites-web.sh --browser
site=build-web/site
if [ -n "${WEB_TEST_SITE:-}" ]; then
    rm -rf build-web-test/release-site
    mkdir -p build-web-test/release-site
    tar -C build-web-test/release-site -xzf "$WEB_TEST_SITE"
    site=$(echo build-web-test/release-site/*/)
else
    bash scripts/web.sh --build-only
fi
bin=${WEB_TEST_BIN:-}
if [ -z "$bin" ]; then
    cmake -S . -B build-web-test -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    cmake --build build-web-test -j2 --target assembler simulator checker >/dev/null
    bin=build-web-test/bin
fi
mkdir -p build-web-test
python3 web/test/browser_test.py "$site" "$bin" examples build-web-test/web-playground.png
