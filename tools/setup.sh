#!/bin/sh
# Installs what building and testing Orvane needs on Debian 12, from Debian's own packages, and the packages
# named as arguments.
set -eu

# fonts-noto-color-emoji gives the report its colour marks; fonts-symbola gives the manual (a PDF, which
# carries no colour emoji) its marks. dbus brings the dbus-daemon that the window tests start as their own
# session bus; x11-utils has the xwininfo with which a test sees the start window appear; strace counts
# the reads of a compare, which must be none.
packages="cmake ninja-build g++ pkg-config git
  libssl-dev libplist-dev libplist++-dev
  qt6-base-dev qt6-pdf-dev libqt6opengl6-dev qt6-qpa-plugins fonts-dejavu-core
  fonts-noto-color-emoji fonts-symbola
  clang-format xvfb xauth x11-utils attr e2fsprogs util-linux procps strace dbus
  groff-base"
# Callers name more packages they need as arguments (tools/package.sh: the packaging tools).
packages="$packages $*"

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "tools/setup.sh: run as root or install sudo: apt-get must install packages" >&2
    exit 1
fi

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing="$missing $package"
done
if [ -n "$missing" ]; then
    echo "Installing:$missing"
    $as_root apt-get update
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y --no-install-recommends $missing
fi
