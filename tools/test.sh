#!/bin/sh
# Sets up a Debian 12 machine, builds Orvane with AddressSanitizer and UBSan and runs every test, then builds
# the runner and window tests with ThreadSanitizer and runs them again.
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
