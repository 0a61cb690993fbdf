#!/bin/sh
# run.sh [--portal | --count | --long SECONDS] [BUILD_DIR] [-- BENCH OPTIONS]: the benchmarks, each
# on a private Xvfb server ($VIKARO_BENCH_SCREEN, 1280x800 by default).
#  (no option)  the magnifier's sampling tick beside the bare floor probe (vikaro_bench), then the
#               phases of one tick (vikaro_phases); about two minutes.
#  --portal     the same tick with the desktop from the portals: the program started as in a
#               Wayland session, its window on Xvfb (as on XWayland), the screen and pointer from
#               the tests' stand-in portal (two monitors, a picture 5 times a second) over a real
#               PipeWire (tests/portal-run.sh). The floor probe still reads the X server.
#  --count      instructions per tick and its repaint under callgrind, per desktop (100 ticks).
#  --long S     the program's memory every 30 seconds while it samples for S seconds.
# BUILD_DIR is ${VIKARO_BUILD_DIR:-build}, set up with scripts/build.sh when missing. BENCH
# OPTIONS go to vikaro_bench: --seconds S (5 per measure) and --rounds R (3 per desktop).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
mode=tick
case "${1:-}" in
--portal | --count) mode=${1#--} && shift ;;
--long) mode=long && long="--long $2" && shift 2 ;;
esac
build=${VIKARO_BUILD_DIR:-$top/build}
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
    build=$1
    shift
fi
[ "${1:-}" = "--" ] && shift
[ -f "$build/CMakeCache.txt" ] || VIKARO_BUILD_DIR="$build" "$top/scripts/build.sh"
cmake --build "$build" --parallel "$(nproc)" --target vikaro vikaro_bench vikaro_phases portal-standin >/dev/null
# The program chooses its platform and GL integration itself, as when started by a user.
unset QT_QPA_PLATFORM QT_XCB_GL_INTEGRATION QT_XCB_NO_MITSHM
VIKARO_XVFB_SCREEN=${VIKARO_BENCH_SCREEN:-1280x800}
export VIKARO_XVFB_SCREEN
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
xvfb="$top/tests/xvfb-run.sh"
bench="$build/bench/vikaro_bench"
phases="$build/bench/vikaro_phases"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case $mode in
tick)
    "$xvfb" "$bench" "$@" "$build/vikaro"
    echo
    HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work" "$xvfb" "$phases" 2>/dev/null ;;
long)
    # shellcheck disable=SC2086
    "$xvfb" "$bench" $long "$@" "$build/vikaro" ;;
count)
    HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work" "$xvfb" valgrind --tool=callgrind \
        --collect-atstart=no --callgrind-out-file="$work/count" "$phases" 100 --count >/dev/null 2>&1
    for part in "$work"/count.*; do
        echo "$(sed -n 's/^desc: Trigger: Client Request: //p' "$part"): $(($(sed -n 's/^summary: //p' "$part") / 100)) instructions per tick"
    done ;;
portal)
    # shellcheck disable=SC2016
    "$xvfb" "$top/tests/portal-run.sh" sh -c '
        standin=$1
        shift
        mkfifo "$XDG_RUNTIME_DIR/input"
        "$standin" --pointer 300,200 <"$XDG_RUNTIME_DIR/input" >"$XDG_RUNTIME_DIR/standin" &
        exec 3>"$XDG_RUNTIME_DIR/input" # it ends its streams when its input closes
        until grep -q ready "$XDG_RUNTIME_DIR/standin"; do sleep 0.05; done
        WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland "$@"
        status=$?
        kill $!
        exit $status' sh "$build/tests/portal-standin" "$bench" "$@" "$build/vikaro" ;;
esac
