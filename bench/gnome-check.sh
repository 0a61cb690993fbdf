#!/bin/bash
# gnome-check.sh [BUILD_DIR]: holds the magnifier (BUILD_DIR/vikaro, ${VIKARO_BUILD_DIR:-build} by
# default, built when missing) to the ROWS of gnome-helper.py in real headless GNOME 43 sessions
# (gnome-shell --headless, its XWayland, the portals, PipeWire), started as a user starts it
# there, its sharing dialog answered through the accessibility bus. As root: it installs its
# packages and runs the sessions as a user of its own. Each of $runs is one session: the layout
# mode (physical: monitors placed in device pixels, GNOME's default; logical: in logical pixels,
# as with fractional scaling and as KDE always lays out) and the monitors left to right,
# WIDTHxHEIGHT@SCALE. Refused consent, and sharing without remote interaction, tst_portal covers.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
helper=$top/bench/gnome-helper.py
user=vikaro-gnome
runs=${VIKARO_GNOME_RUNS:-"physical:1280x800 physical:1280x800,1024x768 logical:2560x1600@2
    logical:2560x1600@2,1280x800@1 logical:2560x1600@1.5"}
packages="gnome-shell mutter xdg-desktop-portal xdg-desktop-portal-gnome pipewire pipewire-bin
    wireplumber dbus at-spi2-core python3-gi python3-gi-cairo python3-numpy gir1.2-gtk-3.0
    gir1.2-atspi-2.0 libglib2.0-bin xwayland x11-utils xdotool g++ pkg-config libpipewire-0.3-dev"

say() { printf 'gnome-check: %s\n' "$*"; }

# Evaluates `$1` every 50 ms until it holds; fails after $timeout seconds (20 unless set).
wait_until() {
    local end=$((SECONDS + ${timeout:-20}))
    until eval "$1" >/dev/null 2>&1; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.05
    done
}

on_bus() {
    gdbus call --session --timeout 5 -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$1" | grep -q true
}

# ---- as root: packages, the programs, the user, the runs ----------------------------------

prepare() {
    if ! dpkg -s $packages >/dev/null 2>&1; then
        say "installing what is missing of: $packages"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-upgrade \
            --no-install-recommends $packages >/dev/null
    fi
    [ -x "$build/vikaro" ] || VIKARO_BUILD_DIR=$build nice -n 10 "$top/scripts/build.sh" >/dev/null
    id "$user" >/dev/null 2>&1 || useradd --system --create-home --home-dir "/var/lib/$user" \
        --shell /usr/sbin/nologin "$user"
    mkdir -p -m 1777 /tmp/.X11-unix # XWayland's sockets; the folder must belong to root.
}

# Ends every process of the check's own user, and the X sockets and locks its XWayland left.
sweep() {
    pkill -u "$user" || true
    timeout=10 wait_until "! pgrep -u $user" || pkill -KILL -u "$user" || true
    find /tmp/.X11-unix /tmp -maxdepth 1 -user "$user" \( -name 'X[0-9]*' -o -name '.X[0-9]*-lock' \) \
        -delete 2>/dev/null || true
}

outside() {
    [ "$(id -u)" = 0 ] || { say "run as root (it installs packages and uses a user of its own)"; exit 2; }
    prepare
    work=$(mktemp -d /tmp/vikaro-gnome.XXXXXX)
    trap 'sweep; rm -rf "$work"' EXIT INT TERM
    nice g++ -std=c++17 -O1 -o "$work/gnome-cast" "$top/bench/gnome-cast.cpp" $(pkg-config --cflags --libs libpipewire-0.3)
    chown "$user" "$work"
    chmod 755 "$work"
    local rc=0 run verdicts=""
    for run in $runs; do
        say "---- $run"
        if runuser -u "$user" -- "$0" --inside "$work/${run//[:,@]/-}" "$build" "$run"; then
            verdicts="$verdicts $run ok;"
        else
            verdicts="$verdicts $run FAIL;" rc=1
        fi
        sweep
    done
    say "runs:$verdicts"
    exit $rc
}

# ---- as the user: one session --------------------------------------------------------------

# Starts `$3...` logging to $1.log and waits until `$2` holds. All of it ends with the run's sweep.
up() {
    local log=$1 ready=$2
    shift 2
    "$@" >"$work/$log.log" 2>&1 &
    wait_until "$ready" || { say "$log did not come up; its log ends:"; tail -n 5 "$work/$log.log"; return 1; }
}

# The session's settings: the layout mode, and no banners over the pattern ("Screen Lock
# disabled": there is no display manager here). A system bus of our own (the shell asks it for
# logind and the like, and copes with no answer), the session bus, PipeWire.
services() {
    local features="[]"
    [ "$mode" = physical ] || features="['scale-monitor-framebuffer']"
    mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings"
    printf '[org/gnome/desktop/notifications]\nshow-banners=false\n[org/gnome/mutter]\nexperimental-features=%s\n' \
        "$features" >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
    printf '%s' '<busconfig><type>system</type><listen>unix:path='"$work"'/system_bus</listen><auth>EXTERNAL</auth>' \
        '<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>' \
        '<allow receive_sender="*"/></policy></busconfig>' >"$work/system.conf"
    up system-bus "test -S $work/system_bus" dbus-daemon --nofork --config-file="$work/system.conf" &&
        up session-bus "on_bus org.freedesktop.DBus" dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" &&
        up pipewire "test -S $XDG_RUNTIME_DIR/pipewire-0" pipewire &&
        up wireplumber "pw-cli ls Client | grep -q WirePlumber" wireplumber
}

# The shell with the monitors at their scales, its XWayland (DISPLAY and XAUTHORITY from its log
# and runtime folder), the portals; the pattern, shown once the overview the shell opens at start
# is closed.
desktop() {
    local monitors="" m scales=""
    for m in ${layout//,/ }; do
        monitors="$monitors --virtual-monitor ${m%@*}"
        [[ $m == *@* ]] && scales="$scales ${m#*@}" || scales="$scales 1"
    done
    timeout=60 up shell "grep -q 'Using public X11 display' $work/shell.log && on_bus org.gnome.Shell" \
        nice -n 5 gnome-shell --headless --wayland --wayland-display wayland-0 $monitors || return 1
    DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/shell.log" | head -n 1)
    XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* | head -n 1)
    export DISPLAY XAUTHORITY
    # A wedged XWayland accepts connections and never answers: every attempt is bounded.
    wait_until "timeout 5 xdpyinfo -display $DISPLAY" || { say "XWayland does not answer"; return 1; }
    [ "$mode" = physical ] || /usr/bin/python3 "$helper" layout $scales || return 1
    up portal-gnome "on_bus org.freedesktop.impl.portal.desktop.gnome" /usr/libexec/xdg-desktop-portal-gnome &&
        up portal "on_bus org.freedesktop.portal.Desktop" /usr/libexec/xdg-desktop-portal &&
        timeout=60 up pattern "grep -q '^ready' $work/pattern.log" env GDK_BACKEND=wayland /usr/bin/python3 "$helper" pattern || return 1
    gdbus call --session --timeout 5 -d org.gnome.Shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Set \
        org.gnome.Shell OverviewActive '<false>' >/dev/null
    wait_until "gdbus call --session --timeout 5 -d org.gnome.Shell -o /org/gnome/Shell -m \
        org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive | grep -q false"
}

# The magnifier as a user starts it, its dialog answered Share with remote interaction on; the
# ROWS against its window (without the frame: X,Y,W,H on XWayland's root, in layout units).
magnifier() {
    local vikaro id geometry said rc=0
    up consent true /usr/bin/python3 "$helper" consent 30
    up vikaro true env QT_LOGGING_RULES=default.debug=true "$build/vikaro"
    vikaro=$!
    timeout=40 wait_until "grep -q '^consent:' $work/consent.log"
    say "$(grep '^consent:' "$work/consent.log")"
    timeout=30 wait_until "xdotool search --onlyvisible --pid $vikaro" || { say "the magnifier showed no window"; return 1; }
    id=$(xdotool search --onlyvisible --pid "$vikaro" | head -n 1)
    geometry=$(xwininfo -id "$id" | awk -F: '/Absolute upper-left [XY]|Width|Height/ {gsub(/ /, "", $2); v = v s $2; s = ","}
        END {print v}')
    say "magnifier window at $geometry"
    /usr/bin/python3 "$helper" check "$work/../gnome-cast" "$work/vikaro.log" "$geometry" || rc=1
    said=$(grep '^vikaro: ' "$work/vikaro.log" | sed 's/^/    /' || true)
    say "what the magnifier said on standard error:${said:- nothing}"
    return $rc
}

inside() {
    work=$1 build=$2 mode=${3%%:*} layout=${3#*:}
    export HOME=$work/home XDG_RUNTIME_DIR=$work/run GSETTINGS_BACKEND=keyfile WAYLAND_DISPLAY=wayland-0
    export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
    export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=gnome
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system_bus DBUS_SESSION_BUS_ADDRESS=unix:path=$work/run/bus
    unset DISPLAY XAUTHORITY
    mkdir -p -m 700 "$work" "$HOME" "$XDG_RUNTIME_DIR"
    services && desktop && magnifier
}

if [ "${1:-}" = --inside ]; then
    inside "$2" "$3" "$4"
    exit
fi
build=$(realpath -m "${1:-${VIKARO_BUILD_DIR:-$top/build}}")
outside
