#!/bin/sh
# run.sh [--portal | --count | --long SECONDS] [BUILD_DIR]: the README's "Benchmarks" and "Long run", each
# on a private Xvfb server ($VIKARO_BENCH_SCREEN, 1280x800 by default), the program with fresh preferences.
# BUILD_DIR is ${VIKARO_BUILD_DIR:-build}, set up with scripts/build.sh when missing.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
case $mode in
--portal | --count) shift ;;
--long) long=$2 && shift 2 ;;
esac
build=${1:-${VIKARO_BUILD_DIR:-$top/build}}
[ -f "$build/CMakeCache.txt" ] || VIKARO_BUILD_DIR="$build" "$top/scripts/build.sh"
cmake --build "$build" --parallel "$(nproc)" --target vikaro vikaro_bench portal-standin >/dev/null
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
# The program chooses its platform and GL integration itself, as when started by a user.
unset QT_QPA_PLATFORM QT_XCB_GL_INTEGRATION QT_XCB_NO_MITSHM
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export VIKARO_XVFB_SCREEN="${VIKARO_BENCH_SCREEN:-1280x800}" HOME="$work" XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work"
xvfb="$top/tests/xvfb-run.sh"
bench="$build/bench/vikaro_bench"
case $mode in
--long)
    "$xvfb" "$bench" --long "$long" "$build/vikaro" ;;
--count)
    # Each desktop's ticks are a part of their own, named after the desktop and its ticks; a step, a
    # function the tick calls.
    "$xvfb" "$bench" --count 500 valgrind --tool=callgrind --collect-atstart=no \
        --toggle-collect='Vikaro::manageTimouts()' --callgrind-out-file="$work/count" "$build/vikaro" >/dev/null
    for part in "$work"/count.*; do
        name=$(sed -n 's/^desc: Trigger: dump //p' "$part")
        ticks=${name#*:}
        echo "${name%:*}: $(($(sed -n 's/^summary: //p' "$part") / ticks)) instructions per tick ($ticks ticks), of which"
        # A step's own line, the one naming its program, holds its whole cost; those of code inlined into it repeat parts.
        callgrind_annotate --inclusive=yes --auto=no --threshold=100 "$part" | awk -v ticks="$ticks" '
            BEGIN { n = split("pointerAndSquare showPicture readCentreColor showColorTexts showSwatches paintTickChanges", step) }
            / \[\// { for (i = 1; i <= n; ++i) if (index($0, "::" step[i] "(")) { gsub(",", "", $1); cost[i] = $1 } }
            END { for (i = 1; i <= n; ++i) printf "  %-17s %7d\n", step[i], cost[i] / ticks }'
    done ;;
--portal)
    # The tests' stand-in portal over a real PipeWire, the program started as in a Wayland session.
    # The stand-in shows two monitors, a picture 5 times a second, and ends its streams when its
    # input closes. The floor probe still reads the X server.
    # shellcheck disable=SC2016
    "$xvfb" "$top/tests/portal-run.sh" sh -c '
        mkfifo "$XDG_RUNTIME_DIR/input"
        "$1" --pointer 300,200 <"$XDG_RUNTIME_DIR/input" >"$XDG_RUNTIME_DIR/standin" &
        exec 3>"$XDG_RUNTIME_DIR/input"
        until grep -q ready "$XDG_RUNTIME_DIR/standin"; do sleep 0.05; done
        WAYLAND_DISPLAY=wayland-0 XDG_SESSION_TYPE=wayland "$2" "$3"
        status=$?
        kill $!
        exit $status' sh "$build/tests/portal-standin" "$bench" "$build/vikaro" ;;
*)
    "$xvfb" "$bench" "$build/vikaro" ;;
esac
