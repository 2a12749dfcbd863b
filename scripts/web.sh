#!/usr/bin/env bash
# Builds the web playground with Emscripten into build-web/ and serves it on
# 127.0.0.1: `bash scripts/web.sh [PORT]` (default 8000). With --build-only it
# stops after the build.
set -euo pipefail
cd "$(dirname "$0")/.."
port=8000
serve=1
for arg in "$@"; do
    case $arg in
        --build-only) serve=0 ;;
        *) port=$arg ;;
    esac
done
bash scripts/prerequisites-web.sh
# Emscripten's tools run on node and need Debian's node modules (acorn),
# which a node from elsewhere does not search by default.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
emcmake cmake -S web -B build-web -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-web -j2
[ "$serve" -eq 1 ] || exit 0
echo "Serving the playground at http://127.0.0.1:$port/ (Ctrl-C to stop)"
exec python3 -m http.server --bind 127.0.0.1 --directory build-web/site "$port"
