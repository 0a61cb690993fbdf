#!/bin/sh
# longrun.sh [SECONDS]: runs the magnifier for SECONDS (600 by default) on a private Xvfb server
# with the keyboard focus and the pointer wandering outside its window, so it samples at full
# rate the whole time, and reports its memory (VmRSS, VmHWM) at start, after warm-up and at the
# end, with the number of samples taken.
#
# The program is ${VIKARO_BUILD_DIR:-build}/vikaro; it keeps its preferences in a temporary
# folder, never in yours. Needs Xvfb and xdotool (Debian: xvfb xdotool).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
duration=${1:-600}
warmup=${VIKARO_WARMUP:-60}
program=${VIKARO_BUILD_DIR:-$top/build}/vikaro
interval=30 # seconds between memory samples

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null 2>&1 || { echo "longrun: $tool is missing" >&2; exit 1; }
done
[ -x "$program" ] || { echo "longrun: no program at $program (build it first)" >&2; exit 1; }

work=$(mktemp -d)
xvfb=""
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
read -r number <"$work/display"
DISPLAY=":$number"
export DISPLAY

# One debug line per sample goes to the log: counting them tells the sampling rate.
QT_LOGGING_RULES="default.debug=true" XDG_CONFIG_HOME="$work/config" HOME="$work" "$program" >"$work/log" 2>&1 &
app=$!

window=$(xdotool search --sync --onlyvisible --pid "$app" | head -n 1)
xdotool windowfocus --sync "$window"
eval "$(xdotool getwindowgeometry --shell "$window")" # sets X Y WIDTH HEIGHT

memory() { # label: the line "label VmRSS kB VmHWM kB samples"
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$app/status")
    hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$app/status")
    samples=$(grep -c 'QLabel{background' "$work/log" || true)
    printf '%-8s %6ss  VmRSS %7s kB  VmHWM %7s kB  samples %s\n' "$1" "$elapsed" "$rss" "$hwm" "$samples"
}

# The next point of a slow diagonal sweep over the screen, pushed right of the window when it
# falls on it (the picture holds still while the pointer is over the window).
move_pointer() {
    px=$(( (step * 7) % 1200 + 20 ))
    py=$(( (step * 5) % 980 + 20 ))
    if [ "$px" -ge $((X - 5)) ] && [ "$px" -le $((X + WIDTH + 5)) ] \
        && [ "$py" -ge $((Y - 5)) ] && [ "$py" -le $((Y + HEIGHT + 5)) ]; then
        px=$((X + WIDTH + 20))
    fi
    xdotool mousemove "$px" "$py"
}

elapsed=0
step=0
# The run starts with the first sample, once the focus and the pointer allow it.
until grep -q 'QLabel{background' "$work/log"; do
    step=$((step + 1))
    [ "$step" -gt 200 ] && { echo "longrun: the program does not sample" >&2; exit 1; }
    move_pointer
    sleep 0.05
done
start=$(date +%s)
next=$interval
warmed=0
memory start
while [ "$elapsed" -lt "$duration" ]; do
    kill -0 "$app" 2>/dev/null || { echo "longrun: the program ended early" >&2; exit 1; }
    move_pointer
    step=$((step + 1))
    sleep 0.05
    elapsed=$(( $(date +%s) - start ))
    if [ "$warmed" -eq 0 ] && [ "$elapsed" -ge "$warmup" ]; then
        warmed=1
        memory warm-up
    fi
    if [ "$elapsed" -ge "$next" ]; then
        next=$((next + interval))
        xdotool windowfocus "$window" 2>/dev/null || true
        memory sample
    fi
done
memory end
echo "pointer moves $step, run length ${elapsed}s"
