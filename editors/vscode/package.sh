#!/usr/bin/env bash
# Builds the extension's .vsix: copies this folder and the project's LICENSE
# into a staging folder (the source tree gets nothing), installs the
# language client there and @vscode/vsce beside it from npm, and packages.
# With --target linux-x64 it builds a platform package that bundles the
# project's debug-adapter and language-server (from BIN_DIR, default
# build/bin) in bin/, where the extension finds them. The manifest's
# repository field is kept as written (never a local path or a remote with
# credentials). When npm is missing or the registry cannot be reached it
# says so and ends with status 77.
#   bash editors/vscode/package.sh [--target linux-x64 [--bin BIN_DIR]] [OUTPUT_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
target=""
bin="$root/build/bin"
while [ $# -gt 0 ]; do
    case "$1" in
    --target) target=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    *) break ;;
    esac
done
out=$(mkdir -p "${1:-$root/build-vsix}" && cd "${1:-$root/build-vsix}" && pwd)
skip() {
    echo "SKIPPED: no .vsix built ($1)"
    exit 77
}
if [ -n "$target" ] && [ "$target" != linux-x64 ]; then
    echo "package.sh: only linux-x64 programs are built here, not $target" >&2
    exit 2
fi
command -v npm >/dev/null 2>&1 || skip "npm is missing"
stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage" "$out/tools"
tar -C "$here" --exclude=node_modules --exclude='*.vsix' --exclude=package-lock.json -cf - . | tar -C "$stage" -xf -
cp "$root/LICENSE" "$stage/LICENSE"
if [ -n "$target" ]; then
    mkdir -p "$stage/bin"
    for program in debug-adapter language-server; do
        [ -x "$bin/$program" ] || { echo "package.sh: $bin/$program is not built" >&2; exit 2; }
        cp "$bin/$program" "$stage/bin/$program"
        strip "$stage/bin/$program" 2>/dev/null || true
    done
fi
npm_quiet() { npm --no-audit --no-fund --loglevel=error "$@"; }
(cd "$out/tools" && { [ -f package.json ] || echo '{"name": "vsix-tools", "private": true}' >package.json; } &&
    { [ -d node_modules/@vscode/vsce ] || npm_quiet install @vscode/vsce@3; }) ||
    skip "@vscode/vsce could not be installed from npm"
(cd "$stage" && npm_quiet install --omit=dev) || skip "the language client could not be installed from npm"
version=$(node -p 'require(process.argv[1]).version' "$stage/package.json")
vsix=$out/stack-machine-assembly-$version${target:+-$target}.vsix
(cd "$stage" && node "$out/tools/node_modules/@vscode/vsce/vsce" package ${target:+--target "$target"} --out "$vsix")
echo "built $vsix"
