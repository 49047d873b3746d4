#!/bin/sh
# Builds the Debian package orvane_<version>_<arch>.deb on Debian 12 and checks it: lintian must find no
# error, the AppStream metainfo and the desktop entry in it must validate, and it must hold every path that
# packaging/contents lists.
#
# Usage: tools/package.sh [--clean] [OUTPUT_FOLDER]
#   OUTPUT_FOLDER  where the .deb goes (default: out)
#   --clean        start the release build in build/package from nothing; without it a run rebuilds only
#                  what changed since the last one
set -eu
cd "$(dirname "$0")/.."
umask 022

clean=no
if [ "${1:-}" = "--clean" ]; then
    clean=yes
    shift
fi
if [ $# -gt 1 ] || [ "${1:-}" = "-h" ] || [ "${1:-}" = "--help" ]; then
    echo "usage: tools/package.sh [--clean] [OUTPUT_FOLDER]" >&2
    exit 2
fi
out=${1:-out}
build=build/package

./tools/setup.sh dpkg-dev file binutils gzip xz-utils lintian appstream desktop-file-utils

if [ "$clean" = yes ]; then
    rm -rf "$build"
fi

# Debian's compiler and linker flags, with every hardening feature. Debian's -O2 -g rule, not CMake's -O3:
# CPack strips the binaries and the debug information goes with it.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

echo "== release build in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG -DCMAKE_EXE_LINKER_FLAGS="$ldflags"
# A warning under Debian's flags (fortify, format checks) fails the package: there it is often a real fault.
log="$build/build.log"
mkdir -p "$build"
status=0
cmake --build "$build" -j2 >"$log" 2>&1 || status=$?
cat "$log"
if [ "$status" -ne 0 ]; then
    exit "$status"
fi
if grep -q "warning:" "$log"; then
    echo "package.sh: the build warns under the package's flags (above); a clean build is required" >&2
    exit 1
fi

echo "== package"
rm -f "$build"/cpack/*.deb
cpack --config "$build/CPackConfig.cmake" -B "$build/cpack"
set -- "$build"/cpack/*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "package.sh: CPack made no single .deb in $build/cpack" >&2
    exit 1
fi
mkdir -p "$out"
deb="$out/$(basename "$1")"
cp "$1" "$deb"
dpkg-deb --info "$deb"

echo "== lintian"
lintian --fail-on error --display-info "$deb"

echo "== validators"
unpacked="$build/unpacked"
rm -rf "$unpacked"
dpkg-deb -x "$deb" "$unpacked"
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
# The whole tree too: the metainfo's launchable must name the desktop entry that is installed.
appstreamcli validate-tree --no-net "$unpacked"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
echo "desktop-file-validate: $(cd "$unpacked" && ls usr/share/applications/*.desktop) passes"

echo "== contents"
listing="$build/contents.txt"
dpkg-deb -c "$deb" | awk '{ print $1, substr($6, 2) }' >"$listing"
failed=no
while read -r path mode; do
    case $path in '' | '#'*) continue ;; esac
    found=$(awk -v p="$path" '$2 == p { print $1 }' "$listing")
    if [ -z "$found" ]; then
        echo "package.sh: the package lacks $path" >&2
        failed=yes
    elif [ -n "$mode" ] && [ "$mode" != "$found" ]; then
        echo "package.sh: $path is $found in the package, not $mode" >&2
        failed=yes
    fi
done <packaging/contents
if [ "$failed" = yes ]; then
    exit 1
fi
echo "all $(grep -c '^/' packaging/contents) paths of packaging/contents are in the package"
echo "package.sh: $deb"
