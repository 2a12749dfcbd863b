#!/usr/bin/env bash
# Builds the extension's .vsix: copies this folder and the project's LICENSE
# into a staging folder (the source tree gets nothing), installs the
# language client there and @vscode/vsce beside it from npm, and packages.
# When npm is missing or the registry cannot be reached it says so and ends
# with status 77.
#   bash editors/vscode/package.sh [OUTPUT_DIR]     (default build-vsix)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$(mkdir -p "${1:-$root/build-vsix}" && cd "${1:-$root/build-vsix}" && pwd)
skip() {
    echo "SKIPPED: no .vsix built ($1)"
    exit 77
}
command -v npm >/dev/null 2>&1 || skip "npm is missing"
stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage" "$out/tools"
tar -C "$here" --exclude=node_modules --exclude='*.vsix' --exclude=package-lock.json -cf - . | tar -C "$stage" -xf -
cp "$root/LICENSE" "$stage/LICENSE"
# A checkout with a remote names it as the repository.
if remote=$(git -C "$root" remote get-url origin 2>/dev/null); then
    node -e 'const fs = require("fs"); const f = process.argv[1]; const p = JSON.parse(fs.readFileSync(f));
        p.repository.url = process.argv[2]; fs.writeFileSync(f, JSON.stringify(p, null, 2) + "\n");' \
        "$stage/package.json" "$remote"
fi
npm_quiet() { npm --no-audit --no-fund --loglevel=error "$@"; }
(cd "$out/tools" && { [ -f package.json ] || echo '{"name": "vsix-tools", "private": true}' >package.json; } &&
    { [ -d node_modules/@vscode/vsce ] || npm_quiet install @vscode/vsce@3; }) ||
    skip "@vscode/vsce could not be installed from npm"
(cd "$stage" && npm_quiet install --omit=dev) || skip "the language client could not be installed from npm"
version=$(node -p 'require(process.argv[1]).version' "$stage/package.json")
vsix=$out/stack-machine-assembly-$version.vsix
(cd "$stage" && node "$out/tools/node_modules/@vscode/vsce/vsce" package --out "$vsix")
echo "built $vsix"
