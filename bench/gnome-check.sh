#!/bin/bash
# gnome-check.sh [BUILD_DIR]: the magnifier (BUILD_DIR/vikaro, ${VIKARO_BUILD_DIR:-build} by default, built if missing)
# in real headless GNOME 43 sessions (README, "Desktops"), one per run of $runs: the layout mode (physical: monitors
# placed in device pixels, GNOME's default; logical: in logical pixels, as with fractional scaling), then the monitors
# left to right, WIDTHxHEIGHT@SCALE. As root: installs its packages, runs each session as a user of its own.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-${VIKARO_BUILD_DIR:-$top/build}}")
user=vikaro-gnome
runs=${VIKARO_GNOME_RUNS:-"physical:1280x800 physical:1280x800,1024x768 logical:2560x1600@2
    logical:2560x1600@2,1280x800@1 logical:2560x1600@1.5"}
# Besides the build's own packages (scripts/setup.sh).
packages=(gnome-shell mutter xdg-desktop-portal xdg-desktop-portal-gnome pipewire-bin at-spi2-core python3-gi
    python3-gi-cairo python3-numpy gir1.2-gtk-3.0 gir1.2-atspi-2.0 xwayland pkg-config)

[ "$(id -u)" = 0 ] || { echo "gnome-check: run as root (it installs packages and uses a user of its own)"; exit 2; }
"$top/scripts/setup.sh" "${packages[@]}"
[ -x "$build/vikaro" ] || VIKARO_BUILD_DIR=$build nice -n 10 "$top/scripts/build.sh" >/dev/null
id "$user" >/dev/null 2>&1 || useradd --system --create-home --home-dir "/var/lib/$user" \
    --shell /usr/sbin/nologin "$user"
install -d -m 1777 /tmp/.X11-unix # XWayland's sockets; the folder must belong to root.

# Ends every process of the check's own user, and the X sockets and locks its XWayland left.
sweep() {
    pkill -u "$user" || true
    timeout 10 sh -c "while pgrep -u $user >/dev/null; do sleep 0.1; done" || pkill -KILL -u "$user" || true
    find /tmp/.X11-unix /tmp -maxdepth 1 -user "$user" \( -name 'X[0-9]*' -o -name '.X[0-9]*-lock' \) \
        -delete 2>/dev/null || true
}
work=$(mktemp -d /tmp/vikaro-gnome.XXXXXX)
trap 'sweep; rm -rf "$work"' EXIT INT TERM
# shellcheck disable=SC2046 # the compiler's flags, word by word
nice g++ -std=c++17 -O1 -Wall -Wextra -o "$work/gnome-cast" "$top/bench/gnome-cast.cpp" \
    $(pkg-config --cflags --libs libpipewire-0.3)
chown "$user" "$work"
rc=0 verdicts=""
for run in $runs; do
    echo "gnome-check: ---- $run"
    verdict=ok
    runuser -u "$user" -- env -i PATH=/usr/bin:/bin /usr/bin/python3 "$top/bench/gnome-helper.py" session \
        "$work/${run//[:,@]/-}" "$build" "$run" || verdict=FAIL rc=1
    verdicts="$verdicts $run $verdict;"
    sweep
done
echo "gnome-check: runs:$verdicts"
exit $rc
