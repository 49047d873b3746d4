#!/bin/sh
# Sets up a Debian 12 machine, builds Orvane and starts the desktop application, orvane, through
# tools/start.sh: on the display there is, or under xvfb-run without one. Arguments are passed on to it:
# folders and files to open, or --help, --version. The build's own output goes to standard error, so that
# standard output carries only orvane's.
set -eu
cd "$(dirname "$0")/.."

./tools/setup.sh >&2
cmake --preset release >&2
cmake --build --preset release --target orvane orvane-cli >&2

exec ./tools/start.sh build/release/src/orvane/orvane "$@"
