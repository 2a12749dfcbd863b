#!/usr/bin/env bash
# Builds every release file from scratch into OUT_DIR (default dist/) and
# lists them with their SHA-256 sums in OUT_DIR/SHA256SUMS:
#   stack-machine-toolchain_VERSION_amd64.deb             (scripts/package.sh deb)
#   stack-machine-toolchain-VERSION-linux-x86_64.tar.gz   (scripts/package.sh tarball)
#   stack-machine-playground-VERSION.tar.gz               (the page; when Emscripten is installed)
#   stack-machine-assembly-VERSION.vsix                   (the VS Code extension; when npm reaches its registry)
# Two runs from the same commit give the same bytes (see scripts/package.sh).
#   bash scripts/release.sh [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${1:-dist}
rm -rf "$out"
mkdir -p "$out"
out=$(cd "$out" && pwd)
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 0)
fi
export SOURCE_DATE_EPOCH
version=$(sed -n 's/^project([a-z_]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

bash scripts/package.sh deb "$out"
bash scripts/package.sh tarball "$out"

# The page: the built site under one folder, relative links only.
if command -v emcmake >/dev/null 2>&1; then
    export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
    build=$root/build-package-web
    rm -rf "$build"
    emcmake cmake -S web -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$root=. -ffile-prefix-map=$build=build" >/dev/null
    cmake --build "$build" -j 2 >/dev/null
    site=$build/stack-machine-playground-$version
    cp -r "$build/site" "$site"
    if grep -rlE '(src|href)="/' "$site" --include='*.html'; then
        echo "release.sh: the page has absolute links (above)" >&2
        exit 1
    fi
    find "$site" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    tar -C "$build" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
        --format=gnu -cf - "$(basename "$site")" | gzip -9n >"$out/$(basename "$site").tar.gz"
else
    echo "SKIPPED: the page's release file (Emscripten is not installed)"
fi

# The extension, its zip members given the commit's time.
vsix_log=$root/build-package-vsix/package.log
mkdir -p "$root/build-package-vsix"
if ! command -v python3 >/dev/null; then
    echo "SKIPPED: the extension's release file (python3 is not installed)"
elif bash editors/vscode/package.sh "$root/build-package-vsix" >"$vsix_log" 2>&1; then
    for vsix in "$root"/build-package-vsix/*.vsix; do
        python3 - "$vsix" "$out/$(basename "$vsix")" <<'EOF'
import os, sys, time, zipfile
when = time.gmtime(int(os.environ['SOURCE_DATE_EPOCH']))[:6]
with zipfile.ZipFile(sys.argv[1]) as source, zipfile.ZipFile(sys.argv[2], 'w') as target:
    for info in source.infolist():
        copy = zipfile.ZipInfo(info.filename, max(when, (1980, 1, 1, 0, 0, 0)))
        copy.compress_type, copy.external_attr = zipfile.ZIP_DEFLATED, info.external_attr
        target.writestr(copy, source.read(info))
EOF
    done
else
    status=$?
    tail -n 1 "$vsix_log"
    if [ $status -ne 77 ]; then
        echo "release.sh: the extension did not build (its log: $vsix_log)" >&2
        exit 1
    fi
fi

(cd "$out" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | LC_ALL=C sort |
    xargs sha256sum >SHA256SUMS)
cat "$out/SHA256SUMS"
