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
./tools/setup.sh debootstrap python3

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
# orvane --tag on a copy without attributes (cp drops them) must leave it all tagged; its settings say not to
# ask first, as no one is there to answer.
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
export XDG_CONFIG_HOME=/tmp/config
mkdir -p /tmp/config/Orvane && printf "[General]\\naskBeforeTag=false\\n" >/tmp/config/Orvane/Orvane.conf
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
echo "== bash completion in a new login shell"
# shellcheck disable=SC2016
chroot "$root" bash -lic '_completion_loader orvane-cli 2>/dev/null; complete -p orvane-cli' 2>/dev/null \
    | grep -q "_orvane_cli orvane-cli" || {
    echo "installtest.sh: a new login shell does not complete orvane-cli" >&2
    exit 1
}

echo "== the marks in colour"
# The window of a Check on a virtual screen: a colour emoji font paints the check mark as a green square,
# a monochrome fallback as a black outline. The screen is captured until the report shows (a minute at most).
chroot "$root" sh -c "DEBIAN_FRONTEND=noninteractive apt-get install -y xvfb x11-apps procps" >"$root/tmp/x.log" 2>&1 || {
    cat "$root/tmp/x.log" >&2
    exit 1
}
chroot "$root" sh -c 'orvane-cli tag /tmp/fresh >/dev/null
    Xvfb :7 -nolisten tcp -screen 0 1024x768x24 >/dev/null 2>&1 &
    sleep 1
    DISPLAY=:7 QT_QPA_PLATFORM=xcb orvane --check /tmp/fresh >/dev/null 2>&1 &'
green=0
tries=0
while [ "$green" -lt 40 ] && [ "$tries" -lt 60 ]; do
    sleep 1
    tries=$((tries + 1))
    chroot "$root" sh -c 'DISPLAY=:7 xwd -root -silent' >"$root/tmp/screen.xwd" || continue
    green=$(python3 - "$root/tmp/screen.xwd" <<'PYTHON'
import struct, sys
data = open(sys.argv[1], "rb").read()
fields = struct.unpack(">25I", data[:100])
header, width, height, order, bits, stride, colours = (fields[i] for i in (0, 4, 5, 7, 11, 12, 19))
size = bits // 8
start = header + 12 * colours
count = 0
for y in range(height):
    row = data[start + y * stride:start + y * stride + size * width]
    for x in range(0, len(row) - 2, size):
        b, g, r = (row[x], row[x + 1], row[x + 2]) if order == 0 else (row[x + size - 1], row[x + size - 2], row[x + size - 3])
        count += g > 140 and r < 160 and b < 100 and g - max(r, b) > 40
print(count)
PYTHON
)
done
chroot "$root" sh -c 'pkill -x orvane; pkill -x Xvfb' || true
if [ "$green" -lt 40 ]; then
    echo "installtest.sh: the report's check mark is not painted in colour ($green green pixels)" >&2
    exit 1
fi
echo "the check mark shows in colour ($green green pixels)"
echo "installtest.sh: $name installs and runs on a fresh Debian 12"
