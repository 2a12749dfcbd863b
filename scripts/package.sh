#!/usr/bin/env bash
# Builds a release file from scratch into OUT_DIR (default dist/):
#   bash scripts/package.sh deb [OUT_DIR]
#       stack-machine-toolchain_VERSION_amd64.deb, with cpack, its
#       dependencies from dpkg-shlibdeps; checked with lintian when present
#   bash scripts/package.sh tarball [OUT_DIR]
#       stack-machine-toolchain-VERSION-linux-x86_64.tar.gz, the programs
#       linked statically, with the man pages and the manual
# The files are reproducible: the times in them are the last commit's
# (SOURCE_DATE_EPOCH), archive members are sorted and owned by root, and
# neither the source nor the build folder's path reaches a program.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
what=${1:?usage: package.sh deb|tarball [OUT_DIR]}
out=${2:-dist}
mkdir -p "$out"
out=$(cd "$out" && pwd)
bash scripts/prerequisites.sh >/dev/null
bash scripts/prerequisites-package.sh >/dev/null

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || echo 0)
fi
export SOURCE_DATE_EPOCH
version=$(sed -n 's/^project([a-z_]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# configure BUILD_DIR [CMAKE OPTIONS...]: a Release build of the programs
# alone, with the source and build paths mapped to fixed names.
configure() {
    local build=$1
    shift
    # KEEP_BUILD=1 builds on what the folder holds (quicker, for working on
    # the packaging; a release builds from scratch).
    [ "${KEEP_BUILD:-0}" = 1 ] || rm -rf "$build"
    mkdir -p "$build"
    build=$(cd "$build" && pwd)
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
        -DCMAKE_CXX_FLAGS="-ffile-prefix-map=$root=. -ffile-prefix-map=$build=build" "$@" >/dev/null
    cmake --build "$build" -j 2 >/dev/null
}

# pack TREE FILE: a gzipped tar of TREE's contents under TREE's name,
# members sorted, owned by root, times from SOURCE_DATE_EPOCH.
pack() {
    local tree=$1 file=$2
    find "$tree" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    tar -C "$(dirname "$tree")" --sort=name --owner=0 --group=0 --numeric-owner \
        --mtime="@$SOURCE_DATE_EPOCH" --format=gnu -cf - "$(basename "$tree")" | gzip -9n >"$file.tmp"
    mv "$file.tmp" "$file"
}

case $what in
deb)
    build=build-package-deb
    configure "$build"
    # Files get the commit's time, so that the package's bytes do not
    # depend on when the build ran.
    (cd "$build" && cpack -G DEB -D CPACK_PACKAGE_DIRECTORY="$root/$build/cpack" >/dev/null)
    deb=$(ls "$build"/cpack/*.deb)
    # CPack orders the data archive by the order it read files: unpack it
    # and build it again with sorted members and fixed times.
    work=$build/repack
    rm -rf "$work"
    mkdir -p "$work"
    (cd "$work" && ar x "$root/$deb")
    mkdir -p "$work/data" "$work/control"
    tar -xf "$work"/data.tar.* -C "$work/data"
    tar -xf "$work"/control.tar.* -C "$work/control"
    retar() { # FOLDER FILE
        find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
        tar -C "$1" --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$SOURCE_DATE_EPOCH" \
            --format=gnu -cf - . | xz -9 -T1 >"$2"
    }
    retar "$work/data" "$work/data.tar.xz"
    retar "$work/control" "$work/control.tar.xz"
    name=$(basename "$deb")
    rm -f "$out/$name"
    (cd "$work" && ar -rcD "$out/$name" debian-binary control.tar.xz data.tar.xz)
    if command -v lintian >/dev/null; then
        lintian --fail-on error "$out/$name"
    else
        echo "SKIPPED: the package's lintian check (lintian is not installed)"
    fi
    echo "$out/$name"
    ;;
tarball)
    build=build-package-static
    configure "$build" -DSTATIC_PROGRAMS=ON
    name=stack-machine-toolchain-$version-linux-x86_64
    tree=$build/$name
    rm -rf "$tree"
    cmake --install "$build" --prefix "$root/$tree" --strip >/dev/null
    # The overrides of Debian's package checker belong to the package only.
    rm -rf "$tree/share/lintian"
    # Nothing dynamic may remain.
    for program in "$tree"/bin/*; do
        if file "$program" | grep -q "dynamically linked"; then
            echo "package.sh: $program is not linked statically" >&2
            exit 1
        fi
    done
    pack "$tree" "$out/$name.tar.gz"
    echo "$out/$name.tar.gz"
    ;;
*)
    echo "usage: package.sh deb|tarball [OUT_DIR]" >&2
    exit 2
    ;;
esac
