# shellcheck shell=bash
# Sourced by the prerequisites scripts: apt_install PACKAGE... installs them
# from Debian, as root or through sudo, updating the package lists once per
# script. Prints what it installs; fails as apt-get fails.
apt_updated=""
apt_install() {
    [ $# -gt 0 ] || return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: $*"
    if [ -z "$apt_updated" ]; then
        DEBIAN_FRONTEND=noninteractive $sudo apt-get update -q || return
        apt_updated=yes
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "$@"
}
