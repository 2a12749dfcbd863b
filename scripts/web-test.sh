#!/usr/bin/env bash
# The web playground's browser test: builds the page (build-web/) and the
# console programs it is compared with (build-web-test/), then drives the
# page in headless Chromium. The screenshot taken mid-run is
# build-web-test/web-playground.png.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/prerequisites.sh
bash scripts/prerequisites-web.sh --browser
bash scripts/web.sh --build-only
cmake -S . -B build-web-test -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-web-test -j2 --target assembler simulator >/dev/null
python3 web/test/browser_test.py build-web/site build-web-test/bin examples build-web-test/web-playground.png
