#!/bin/sh
# xvfb-run.sh [--window-manager] COMMAND...: runs COMMAND on a private Xvfb server of its own
# (1280x1024, or $VIKARO_XVFB_SCREEN), with an openbox window manager if asked, then stops them.
set -eu
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 "${VIKARO_XVFB_SCREEN:-1280x1024}x24" -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
pids=$!
read -r number <"$fifo"
rm -f "$fifo"
export DISPLAY=":$number"
trap 'kill $pids 2>/dev/null; wait 2>/dev/null || true' EXIT INT TERM
if [ "$1" = "--window-manager" ]; then
    shift
    openbox --sm-disable >/dev/null 2>&1 &
    pids="$pids $!"
    ready='xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' # once it has announced itself
    timeout 10 sh -c "until $ready; do sleep 0.05; done" 2>/dev/null \
        || { echo "xvfb-run: openbox did not start" >&2; exit 1; }
fi
set +e
"$@"
