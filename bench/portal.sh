#!/bin/sh
# portal.sh [BUILD_DIR] [BENCH OPTIONS]: measures the sampling tick as run.sh does, with the
# desktop coming from the portals: the program started as in a Wayland session, its window on a
# private Xvfb server (as on XWayland), the screen and the pointer from the tests' stand-in
# portal (two monitors, a picture 5 times a second) over a real PipeWire daemon (tests/portal-run.sh).
# Its "program" rows are the portal path; the floor probe still reads the X server, so its rows
# are the X11 floor beside it. Paused, the program stops the streams: the paused rows show what
# is left. BENCH OPTIONS go to vikaro_bench (--seconds S, --rounds R).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VIKARO_BUILD_DIR:-$top/build}
case "${1:-}" in
"" | --*) ;;
*) build=$1 && shift ;;
esac

[ -f "$build/CMakeCache.txt" ] || VIKARO_BUILD_DIR="$build" "$top/scripts/build.sh"
cmake --build "$build" --parallel "$(nproc)" --target vikaro vikaro_bench vikaro_floor portal-standin >/dev/null
unset QT_QPA_PLATFORM QT_XCB_GL_INTEGRATION QT_XCB_NO_MITSHM
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
# shellcheck disable=SC2016
"$top/tests/xvfb-run.sh" "$top/tests/portal-run.sh" sh -c '
    standin=$1
    shift
    mkfifo "$XDG_RUNTIME_DIR/input"
    "$standin" --pointer 300,200 <"$XDG_RUNTIME_DIR/input" >"$XDG_RUNTIME_DIR/standin" &
    exec 3>"$XDG_RUNTIME_DIR/input" # it ends its streams when its input closes
    until grep -q ready "$XDG_RUNTIME_DIR/standin"; do sleep 0.05; done
    WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland "$@"
    status=$?
    kill $!
    exit $status' sh "$build/tests/portal-standin" "$build/bench/vikaro_bench" "$@" "$build/vikaro" "$build/bench/vikaro_floor"
