#!/usr/bin/env bash
# Tests the release files of scripts/package.sh on this machine:
#   bash scripts/package-test.sh deb FILE.deb
#       installs the package with apt-get (as root), runs each program's
#       --version, assembles and runs an example from /usr/share/doc, opens
#       an .asm file in a headless Vim and Neovim (where installed) and
#       checks its filetype, then purges the package and checks that none
#       of its files is left
#   bash scripts/package-test.sh tarball FILE.tar.gz
#       runs the tarball's programs in an empty root (bwrap) where nothing of
#       the system is: --version of each, and an example assembled and run
# Exits 77 (SKIPPED) when apt-get as root or bwrap is not at hand.
set -euo pipefail
what=$1
file=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
programs=(assembler simulator debugger checker disassembler language-server debug-adapter)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# expect_run DIR RUN...: the example hello.asm assembled and run by RUN
# (the command that starts a program, given its name) in DIR.
expect_run() {
    local dir=$1
    shift
    (cd "$dir" && "$@" assembler hello.asm >/dev/null) || fail "the example does not assemble"
    [ -s "$dir/hello.hx" ] || fail "no object code was written"
    local output
    output=$(cd "$dir" && "$@" simulator hello.hx </dev/null) || fail "the example does not run"
    grep -q -- "-HALT-" <<<"$output" || fail "the example did not halt: $output"
}

case $what in
deb)
    if [ "$(id -u)" != 0 ] || ! command -v apt-get >/dev/null; then
        echo "SKIPPED: installing the package needs apt-get as root"
        exit 77
    fi
    package=stack-machine-toolchain
    # The documentation and man pages even where dpkg is set to leave them
    # out (slim container images), since the test reads them.
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
        -o "DPkg::Options::=--path-include=/usr/share/doc/$package/*" \
        -o "DPkg::Options::=--path-include=/usr/share/man/man1/*" "$file" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log"; fail "apt-get install"; }
    dpkg -L "$package" >"$work/files"
    for program in "${programs[@]}"; do
        line=$("/usr/bin/$program" --version) || fail "$program --version"
        echo "$line"
        [[ $line == "$program "[0-9]* ]] || fail "$program --version printed '$line'"
    done
    docs=/usr/share/doc/$package
    [ -f "$docs/copyright" ] && [ -f "$docs/changelog.gz" ] || fail "no copyright or changelog"
    cp "$docs/examples/hello.asm" "$work/"
    run() { "/usr/bin/$@"; }
    expect_run "$work" run
    [ -f /usr/share/man/man1/simulator.1.gz ] || fail "no man page for simulator"
    if command -v man >/dev/null; then
        man -w simulator >/dev/null || fail "man does not find the simulator's page"
    fi
    # The filetype as Vim and Neovim set it, with the system's files only.
    printf '; vim test\n[start  ldi 1\n        hlt\n' >"$work/t.asm"
    if command -v vim >/dev/null; then
        ft=$(cd "$work" && vim -N -u NONE -i NONE -es -c 'filetype plugin on' -c 'edit t.asm' \
            -c 'call writefile([&filetype], "ft.txt")' -c 'qa!' >/dev/null 2>&1; cat ft.txt)
        [ "$ft" = stackasm ] || fail "Vim gives t.asm the filetype '$ft'"
        echo "vim: filetype $ft"
    else
        echo "SKIPPED: Vim's filetype (vim is not installed)"
    fi
    if command -v nvim >/dev/null; then
        rm -f "$work/ft.txt"
        ft=$(cd "$work" && nvim --headless --clean -c 'edit t.asm' \
            -c 'call writefile([&filetype], "ft.txt")' -c 'qa!' >/dev/null 2>&1; cat ft.txt)
        [ "$ft" = stackasm ] || fail "Neovim gives t.asm the filetype '$ft'"
        echo "nvim: filetype $ft"
    else
        echo "SKIPPED: Neovim's filetype (nvim is not installed)"
    fi
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q "$package" >"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log"; fail "apt-get purge"; }
    ! dpkg -s "$package" >/dev/null 2>&1 || fail "the package is still known to dpkg"
    left=0
    while read -r path; do
        if [ -f "$path" ] || [ -L "$path" ]; then
            echo "left behind: $path"
            left=1
        fi
    done <"$work/files"
    [ -e "$docs" ] && { echo "left behind: $docs"; left=1; }
    [ $left -eq 0 ] || fail "files of the package are left after its removal"
    echo "package installed, worked and was removed: nothing left"
    ;;
tarball)
    if ! command -v bwrap >/dev/null || ! bwrap --bind / / true 2>/dev/null; then
        echo "SKIPPED: bwrap is missing or cannot make a namespace here"
        exit 77
    fi
    tar -xzf "$file" -C "$work"
    tree=$(echo "$work"/stack-machine-toolchain-*)
    [ -f "$tree/share/man/man1/simulator.1.gz" ] || fail "no man pages"
    ls "$tree"/share/doc/*/manual.md >/dev/null || fail "no manual"
    mkdir -p "$work/root"
    cp "$tree"/share/doc/*/examples/hello.asm "$work/root/"
    # The empty root: the tarball's programs and the work folder, nothing else
    # (no /lib, no /usr, no /etc, no dynamic loader).
    inroot() {
        local program=$1
        shift
        bwrap --unshare-all --ro-bind "$tree/bin" /bin --bind "$work/root" /work --dev /dev --chdir /work \
            --clearenv "/bin/$program" "$@"
    }
    for program in "${programs[@]}"; do
        line=$(inroot "$program" --version) || fail "$program --version in an empty root"
        echo "$line"
        [[ $line == "$program "[0-9]* ]] || fail "$program --version printed '$line'"
    done
    expect_run "$work/root" inroot
    echo "the tarball's programs run in an empty root"
    ;;
*)
    echo "usage: package-test.sh deb FILE.deb | tarball FILE.tar.gz" >&2
    exit 2
    ;;
esac
