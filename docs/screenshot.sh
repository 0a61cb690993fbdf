#!/bin/sh
# screenshot.sh [BUILD_DIR]: remakes docs/vikaro.png, the magnifier at work, on a private Xvfb
# server with openbox: a colourful desktop drawn by ImageMagick, the program built in BUILD_DIR
# (build/ by default) with fresh preferences, the pointer on the edge of a letter.
# Needs (Debian) xvfb openbox xdotool x11-utils x11-xserver-utils imagemagick fonts-dejavu-core.
set -eu
docs=$(cd "$(dirname "$0")" && pwd)
program=${1:-$docs/../build}/vikaro
work=$(mktemp -d)
pids=""
trap 'kill $pids 2>/dev/null; rm -rf "$work"' EXIT INT TERM

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids=$!
read -r number <"$work/display"
export DISPLAY=":$number"
openbox --sm-disable >/dev/null 2>&1 &
pids="$pids $!"
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do sleep 0.1; done

convert -size 800x600 xc: -sparse-color Shepards \
    '0,0 #ff3030 800,0 #30a0ff 0,600 #ffd000 800,600 #30d060 500,300 #a040ff' \
    -font DejaVu-Sans-Bold -pointsize 40 -fill '#10306a' -annotate +430+420 'Aa' \
    -fill '#ffe040' -draw 'circle 600,200 600,230' "$work/desktop.png"
display -window root "$work/desktop.png" || true # sets the background, yet reports 1

QT_LOGGING_RULES=default.debug=true XDG_CONFIG_HOME="$work" "$program" 2>"$work/log" &
app=$!
pids="$pids $app"
window=$(xdotool search --sync --onlyvisible --pid "$app" | head -n 1)
xdotool windowmove --sync "$window" 30 40 windowactivate --sync "$window" mousemove 437 414 key g
# Each frame writes a debug line: wait for the frames after the last move.
lines=$(wc -l <"$work/log")
until [ "$(wc -l <"$work/log")" -gt $((lines + 5)) ]; do
    kill -0 "$app" || { echo "screenshot: the program ended" >&2; exit 1; }
    sleep 0.1
done

eval "$(xwininfo -id "$window" | sed -n 's/^ *Absolute upper-left \([XY]\): */\1=/p
    s/^ *Width: */WIDTH=/p; s/^ *Height: */HEIGHT=/p')" # the window inside its frame
read -r left right top bottom <<EOF
$(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
EOF
import -window root -crop "$((WIDTH + left + right))x$((HEIGHT + top + bottom))+$((X - left))+$((Y - top))" \
    +repage -strip +dither -colors 96 "$docs/vikaro.png"
echo "wrote $docs/vikaro.png"
