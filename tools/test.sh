#!/bin/sh
# Sets up a Debian 12 machine, builds Orvane with AddressSanitizer and UBSan and runs every test, then builds
# the runner and window tests with ThreadSanitizer and runs them again; last, checks that the README's run
# command, tools/run.sh, builds and starts Orvane, with a display and without one.
set -eu
cd "$(dirname "$0")/.."

./tools/setup.sh

echo "== formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

echo "== build and test (AddressSanitizer + UBSan)"
cmake --preset ci
cmake --build --preset ci
ctest --preset ci

echo "== runner and window tests under ThreadSanitizer"
cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan

echo "== the README's run command"
version=$(sed -n 's/^project(Orvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
shown=$(./tools/run.sh --version)
if [ "$shown" != "Orvane $version" ]; then
    echo "test.sh: tools/run.sh --version printed '$shown', not 'Orvane $version'" >&2
    exit 1
fi
echo "tools/run.sh --version: $shown"
sh tests/scripts/startwindow.sh ./tools/run.sh
