#!/bin/sh
# Starts Orvane through LAUNCHER [ARGS...] as a new user would, on a session bus of its own, and fails unless
# it comes up: with a display (an Xvfb started here) its start window is mapped; without one (the launcher's
# xvfb-run) it answers on the bus. Settings go to a throw-away folder, and the update check is off.
#
# Usage: startwindow.sh LAUNCHER [ARGS...]     (tools/run.sh, or tools/start.sh PATH_OF_ORVANE)
set -eu
# A bus of its own: an Orvane already running in the caller's session would take the items and let this one end.
if [ "${ORVANE_OWN_BUS:-}" != yes ]; then
    ORVANE_OWN_BUS=yes exec dbus-run-session -- sh "$0" "$@"
fi
work=$(mktemp -d)
program=""
server=""
cleanup() {
    stop
    [ -z "$server" ] || kill "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/Orvane"
printf '[General]\nnoUpdateCheck=true\n' >"$XDG_CONFIG_HOME/Orvane/Orvane.conf"
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY

# Runs the command until it succeeds, for a minute at most: the program is starting, there is no event to
# wait on from a shell.
until_ok() {
    tries=0
    until "$@" >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -ge 600 ]; then
            return 1
        fi
        sleep 0.1
    done
}

# The launchers exec the program, or xvfb-run, which runs it (and the X server) as its children.
launch() {
    "$@" >"$work/out" 2>&1 &
    program=$!
}

answers() {
    dbus-send --session --print-reply --dest=co.sablewickfern.Orvane /co/sablewickfern/Orvane \
        org.freedesktop.DBus.Introspectable.Introspect | grep -q co.sablewickfern.Orvane1
}

stop() {
    if [ -n "$program" ]; then
        pkill -TERM -P "$program" 2>/dev/null || true
        kill -TERM "$program" 2>/dev/null || true
        wait "$program" 2>/dev/null || true
        program=""
    fi
}

echo "== without a display: $*"
launch "$@"
if ! until_ok answers; then
    cat "$work/out" >&2
    echo "startwindow.sh: $* did not come up without a display" >&2
    exit 1
fi
stop

echo "== with a display: $*"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
server=$!
until_ok test -s "$work/display"
DISPLAY=":$(cat "$work/display")"
export DISPLAY
launch "$@"
if ! until_ok sh -c 'xwininfo -root -tree | grep -q "\"Orvane\": ("'; then
    cat "$work/out" >&2
    echo "startwindow.sh: $* showed no window titled Orvane" >&2
    exit 1
fi
stop
echo "startwindow.sh: $* starts Orvane with and without a display"
