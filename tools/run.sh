#!/bin/sh
# Sets up a Debian 12 machine, builds Orvane and starts the desktop application, orvane. Arguments are
# passed on to it: folders and files to open.
set -eu
cd "$(dirname "$0")/.."

./tools/setup.sh
cmake --preset release
cmake --build --preset release --target orvane orvane-cli

app=build/release/src/orvane
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$app" "$@"
fi
echo "run.sh: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so orvane starts under" >&2
echo "run.sh: xvfb-run -a, on a virtual screen that nobody sees. Stop it with Ctrl+C." >&2
exec xvfb-run -a "$app" "$@"
