#!/bin/sh
# xvfb-run.sh [--window-manager | --resizable] COMMAND...: runs COMMAND on a private Xvfb server of
# its own (1280x1024, or $VIKARO_XVFB_SCREEN), with an openbox window manager if asked, then stops
# them. With --resizable, on a Xephyr server of that size inside the Xvfb one: its root can be
# resized (xrandr -s), Xvfb's cannot.
set -eu
size=${VIKARO_XVFB_SCREEN:-1280x1024}
pids=""
trap 'kill $pids 2>/dev/null; wait 2>/dev/null || true' EXIT INT TERM
# Starts the X server "$@" in the background, on a display number it chooses, and points DISPLAY there.
serve() {
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    "$@" -displayfd 3 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
    pids="$! $pids"
    read -r number <"$fifo"
    rm -f "$fifo"
    export DISPLAY=":$number"
}
serve Xvfb -screen 0 "${size}x24"
if [ "$1" = "--resizable" ]; then
    shift
    serve Xephyr -screen "$size" -resizeable
elif [ "$1" = "--window-manager" ]; then
    shift
    openbox --sm-disable >/dev/null 2>&1 &
    pids="$pids $!"
    ready='xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' # once it has announced itself
    timeout 10 sh -c "until $ready; do sleep 0.05; done" 2>/dev/null \
        || { echo "xvfb-run: openbox did not start" >&2; exit 1; }
fi
set +e
"$@"
