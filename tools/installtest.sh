#!/bin/sh
# Installs a Debian package of Orvane on a fresh, minimal Debian 12 made for the purpose with debootstrap,
# and runs both programs there. Needs root and the Debian mirror; takes a few minutes.
#
# Usage: tools/installtest.sh [DEB]     (default: the newest out/orvane_*.deb, as tools/package.sh makes it)
set -eu
cd "$(dirname "$0")/.."

if [ $# -gt 1 ]; then
    echo "usage: tools/installtest.sh [DEB]" >&2
    exit 2
fi
# shellcheck disable=SC2012 # the names are tools/package.sh's own: orvane_<version>_<arch>.deb
deb=${1:-$(ls -t out/orvane_*.deb 2>/dev/null | head -n 1)}
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
    echo "installtest.sh: no package; make one with tools/package.sh" >&2
    exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "installtest.sh: debootstrap and chroot need root" >&2
    exit 2
fi
./tools/setup.sh debootstrap

root=$(mktemp -d /tmp/orvane-installtest.XXXXXX)
cleanup() {
    if mountpoint -q "$root/proc"; then
        umount "$root/proc"
    fi
    # Nothing may stay mounted below the tree that is removed.
    if findmnt -rn -o TARGET | grep -q "^$root/"; then
        echo "installtest.sh: $root still has mounts below it; left in place" >&2
    else
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT INT TERM

echo "== debootstrap --variant=minbase bookworm $root"
debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >"$root.log" 2>&1 || {
    cat "$root.log" >&2
    exit 1
}
rm -f "$root.log"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"
name=$(basename "$deb")

echo "== apt-get install -y ./$name"
chroot "$root" sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y ./tmp/$name" \
    >"$root/tmp/install.log" 2>&1 || {
    cat "$root/tmp/install.log" >&2
    exit 1
}
grep -E "newly installed|^Setting up orvane" "$root/tmp/install.log"

echo "== run"
# The Check of a changed file must exit 1; the window must still be open when timeout ends it (status 124).
# orvane --tag on a copy without attributes (cp drops them) must leave it all tagged.
# shellcheck disable=SC2016 # the script runs in the chroot's shell
chroot "$root" sh -eux -c '
orvane-cli --version
orvane --version
orvane --help | grep -q -- --retag
test -s /usr/share/man/man1/orvane-cli.1.gz && test -s /usr/share/bash-completion/completions/orvane-cli
mkdir /tmp/items && echo first >/tmp/items/a.txt
orvane-cli tag /tmp/items
orvane-cli check /tmp/items
orvane-cli export /tmp/items >/tmp/items.sha256
cp -r /tmp/items /tmp/copy
orvane-cli --quiet import /tmp/items.sha256 --base /tmp/copy
orvane-cli --format=jsonl check /tmp/copy | grep -q "\"outcome\":\"matched\""
cp -r /tmp/items /tmp/fresh
status=0 && QT_QPA_PLATFORM=offscreen timeout 10 orvane --tag /tmp/fresh || status=$?
test "$status" -eq 124
orvane-cli check /tmp/fresh
echo second >>/tmp/items/a.txt
status=0 && orvane-cli check /tmp/items || status=$?
test "$status" -eq 1
status=0 && QT_QPA_PLATFORM=offscreen timeout 5 orvane /tmp/items || status=$?
test "$status" -eq 124
! ldd /usr/lib/*/qt6/plugins/platforms/libqxcb.so | grep "not found"
'
echo "installtest.sh: $name installs and runs on a fresh Debian 12"
