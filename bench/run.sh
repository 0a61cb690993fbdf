#!/bin/sh
# run.sh [BUILD_DIR] [-- BENCH OPTIONS]: measures the magnifier's sampling tick on a private
# Xvfb server, side by side with a bare floor probe (vikaro_bench), then times the phases of
# one tick (vikaro_phases). Takes about two minutes.
#
# BUILD_DIR is where the program and the bench are built: ${VIKARO_BUILD_DIR:-build} by
# default, set up with scripts/build.sh when it is not there yet. The screen is
# $VIKARO_BENCH_SCREEN (1280x800 by default). Options after -- go to vikaro_bench:
# --seconds S (5 per measure) and --rounds R (3 per desktop).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VIKARO_BUILD_DIR:-$top/build}
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
    build=$1
    shift
fi
[ "${1:-}" = "--" ] && shift
screen=${VIKARO_BENCH_SCREEN:-1280x800}

[ -f "$build/CMakeCache.txt" ] || VIKARO_BUILD_DIR="$build" "$top/scripts/build.sh"
cmake --build "$build" --parallel "$(nproc)" --target vikaro vikaro_bench vikaro_floor vikaro_phases >/dev/null

work=$(mktemp -d)
xvfb=""
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
xvfb=$!
read -r number <"$work/display"
DISPLAY=":$number"
export DISPLAY
# The program chooses its platform and GL integration itself, as when started by a user.
unset QT_QPA_PLATFORM QT_XCB_GL_INTEGRATION QT_XCB_NO_MITSHM

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
"$build/bench/vikaro_bench" "$@" "$build/vikaro" "$build/bench/vikaro_floor"
echo
HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work" "$build/bench/vikaro_phases" 2>/dev/null
