#!/usr/bin/env bash
# Installs what scripts/release.sh and scripts/package-test.sh need and a
# fresh Debian machine lacks: lintian (checks the package), bubblewrap (the
# empty root the tarball's programs run in), dpkg-dev (dpkg-shlibdeps),
# file, xz-utils and binutils (ar). Does nothing when they are present.
set -euo pipefail
need=()
command -v lintian >/dev/null 2>&1 || need+=(lintian)
command -v bwrap >/dev/null 2>&1 || need+=(bubblewrap)
command -v dpkg-shlibdeps >/dev/null 2>&1 || need+=(dpkg-dev)
command -v file >/dev/null 2>&1 || need+=(file)
command -v xz >/dev/null 2>&1 || need+=(xz-utils)
command -v ar >/dev/null 2>&1 || need+=(binutils)
. "$(dirname "$0")/apt-install.sh"
apt_install "${need[@]}"
