#!/bin/sh
# xvfb-run.sh [--window-manager] COMMAND...: runs COMMAND against a private Xvfb server of its
# own (and an openbox window manager with --window-manager), then stops them.
set -eu
with_wm=0
if [ "${1:-}" = "--window-manager" ]; then
    with_wm=1
    shift
fi

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
xvfb=$!
read -r number <"$fifo"
rm -f "$fifo"
DISPLAY=":$number"
export DISPLAY
wm=""
cleanup() {
    [ -n "$wm" ] && kill "$wm" 2>/dev/null
    kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
}
trap cleanup EXIT INT TERM

if [ "$with_wm" -eq 1 ]; then
    openbox --sm-disable >/dev/null 2>&1 &
    wm=$!
    # Ready once it has announced itself on the root window.
    tries=0
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
        tries=$((tries + 1))
        [ "$tries" -gt 100 ] && { echo "xvfb-run: openbox did not start" >&2; exit 1; }
        sleep 0.05
    done
fi

set +e
"$@"
status=$?
set -e
exit "$status"
