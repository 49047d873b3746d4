#!/bin/sh
# Sets up a Debian 12 machine, builds Orvane and starts it. Arguments are passed on (items to open).
set -eu
cd "$(dirname "$0")/.."

./tools/setup.sh
cmake --preset release
cmake --build --preset release

cli=build/release/src/orvane-cli
"$cli" --help
demo=$(mktemp -d)
printf 'hello\n' >"$demo/hello.txt"
mkdir "$demo/photos" && printf 'not really a photo\n' >"$demo/photos/img_0001.jpg"
"$cli" tag "$demo"
"$cli" check "$demo"
