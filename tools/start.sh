#!/bin/sh
# Starts the desktop application at APP with ARGS as tools/run.sh does: on the display there is, or, when
# neither DISPLAY nor WAYLAND_DISPLAY is set, under xvfb-run on a virtual screen. --help and --version
# answer on the terminal without one.
#
# Usage: tools/start.sh APP [ARGS...]
set -eu

if [ $# -lt 1 ]; then
    echo "usage: tools/start.sh APP [ARGS...]" >&2
    exit 2
fi
app=$1
shift
if [ -d "$app" ] || [ ! -x "$app" ]; then
    echo "start.sh: $app is not a program (has the build put orvane elsewhere?)" >&2
    exit 127
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] || [ -n "${QT_QPA_PLATFORM:-}" ]; then
    exec "$app" "$@"
fi
for argument in "$@"; do
    case $argument in
    --) break ;;
    -h | --help | -v | --version) exec "$app" "$@" ;;
    esac
done
if ! command -v xvfb-run >/dev/null 2>&1; then
    echo "start.sh: there is no display, and xvfb-run (package xvfb) is not installed to make one" >&2
    exit 2
fi
echo "start.sh: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so orvane starts under" >&2
echo "start.sh: xvfb-run -a, on a virtual screen that nobody sees. Stop it with Ctrl+C." >&2
exec xvfb-run -a "$app" "$@"
