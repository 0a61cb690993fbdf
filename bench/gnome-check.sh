#!/bin/bash
# gnome-check.sh [BUILD_DIR] [--hold]: checks the magnifier against a real headless GNOME
# Wayland session (gnome-shell --headless, its XWayland, the desktop portals, PipeWire), as a
# user would start it there. Not part of the CI run: it needs root once (packages, a user of
# its own) and takes a few minutes.
#
# What it does: a native Wayland window shows a known pattern full screen; the shell takes a
# truth screenshot; a bare portal client proves the desktop side (consent, pointer moves).
# Then the magnifier (BUILD_DIR/vikaro, ${VIKARO_BUILD_DIR:-build} by default, built when
# missing) starts on XWayland three times, its sharing dialog answered through the
# accessibility bus: (1) remote interaction on, Share: the real pointer is moved to a few
# points and the colour the magnifier writes on each tick must be the true pixel; Right
# pressed in the magnifier must move the real pointer (as the pattern window sees it) by one
# pixel; (2) Cancel and (3) Share with remote interaction off: the magnifier must say so on
# standard error within 5 seconds and keep running; in (3) the colours must still be right
# and Right must leave the pointer where it is. With VIKARO_GNOME_SCREENS="1280x800
# 1024x768" the desktop has two monitors side by side: points on both, and Right from the
# first monitor's right edge must land on the second.
#
# --hold keeps the session up after the check, until the file it names is removed, to look
# around (the environment to use is in the same folder). Everything runs as the user
# vikaro-gnome (gnome-shell refuses root) and is stopped at the end.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
helper=$top/bench/gnome-helper.py
user=vikaro-gnome
# One virtual monitor, or more side by side: VIKARO_GNOME_SCREENS="1280x800 1024x768".
screens=${VIKARO_GNOME_SCREENS:-1280x800}
packages="gnome-shell mutter xdg-desktop-portal xdg-desktop-portal-gnome pipewire pipewire-bin
    wireplumber dbus at-spi2-core python3-gi python3-gi-cairo gir1.2-gtk-3.0 gir1.2-atspi-2.0
    libglib2.0-bin xwayland x11-utils xdotool"

say() { printf 'gnome-check: %s\n' "$*"; }

# Polls `$@` every 50 ms until it succeeds; fails after $timeout seconds (20 unless set).
wait_until() {
    local end=$((SECONDS + ${timeout:-20}))
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.05
    done
}

on_bus() {
    gdbus call --session --timeout 5 -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner "$1" | grep -q true
}

# ---- as root: packages, the program, the user ------------------------------------------

prepare() {
    local missing="" p
    for p in $packages; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -Eq 'ok (installed|triggers-)' || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        say "installing$missing"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends $missing >/dev/null
    fi
    if [ -f "$build/CMakeCache.txt" ]; then
        nice -n 10 cmake --build "$build" --parallel "$(nproc)" --target vikaro >/dev/null
    else
        VIKARO_BUILD_DIR=$build nice -n 10 "$top/scripts/build.sh" >/dev/null
    fi
    id "$user" >/dev/null 2>&1 || useradd --system --create-home --home-dir "/var/lib/$user" \
        --shell /usr/sbin/nologin "$user"
    # XWayland's sockets; the folder must belong to root.
    mkdir -p -m 1777 /tmp/.X11-unix
}

# Ends whatever the session left behind: every process of the check's own user, and the
# X sockets and locks its XWayland did not remove.
sweep() {
    local pids
    pids=$(pgrep -u "$user" || true)
    [ -z "$pids" ] || kill $pids 2>/dev/null || true
    timeout=10 wait_until sh -c "! pgrep -u $user >/dev/null" || kill -KILL $(pgrep -u "$user") 2>/dev/null || true
    find /tmp/.X11-unix /tmp -maxdepth 1 -user "$user" \( -name 'X[0-9]*' -o -name '.X[0-9]*-lock' \) \
        -delete 2>/dev/null || true
}

outside() {
    [ "$(id -u)" = 0 ] || { say "run as root (it installs packages and uses a user of its own)"; exit 2; }
    prepare
    work=$(mktemp -d /tmp/vikaro-gnome.XXXXXX)
    chown "$user" "$work"
    chmod 755 "$work"
    trap 'sweep; [ -n "$hold" ] || rm -rf "$work"' EXIT INT TERM
    local rc=0
    runuser -u "$user" -- env VIKARO_GNOME_SCREENS="$screens" "$0" --inside "$work" "$build" "$hold" || rc=$?
    exit $rc
}

# ---- as the user: the session -------------------------------------------------------------

pids=""
start() {
    local log=$1
    shift
    "$@" >"$work/$log.log" 2>&1 &
    pids="$! $pids"
}

# Newest first; whatever has not gone 10 s after SIGTERM gets SIGKILL.
stop_all() {
    local p
    for p in $pids; do
        kill "$p" 2>/dev/null || continue
        timeout=10 wait_until sh -c "! kill -0 $p" || kill -KILL "$p" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}

system_bus() {
    cat >"$work/system.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/system_bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow receive_sender="*"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
EOF
    start system-bus dbus-daemon --nofork --config-file="$work/system.conf"
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/system_bus
    wait_until test -S "$work/system_bus"
}

session_bus() {
    start session-bus dbus-daemon --session --nofork --address="unix:path=$XDG_RUNTIME_DIR/bus"
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
    wait_until on_bus org.freedesktop.DBus
}

media() {
    start pipewire pipewire
    wait_until test -S "$XDG_RUNTIME_DIR/pipewire-0"
    start wireplumber wireplumber
    wait_until sh -c 'pw-cli ls Client | grep -q WirePlumber'
}

# The shell and its XWayland: DISPLAY and XAUTHORITY come from its log and runtime folder.
shell() {
    # Banners ("Screen Lock disabled", no display manager here) would cover the pattern.
    gsettings set org.gnome.desktop.notifications show-banners false
    local monitors="" size
    for size in $screens; do monitors="$monitors --virtual-monitor $size"; done
    start shell nice -n 5 gnome-shell --headless --wayland --wayland-display wayland-0 $monitors
    timeout=60 wait_until on_bus org.gnome.Shell.Screenshot
    timeout=30 wait_until grep -q 'Using public X11 display' "$work/shell.log"
    DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/shell.log" | head -n 1)
    XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* | head -n 1)
    export DISPLAY XAUTHORITY
    # A wedged XWayland accepts connections and never answers: every attempt is bounded.
    wait_until timeout 5 xdpyinfo -display "$DISPLAY"
}

portals() {
    start portal-gnome /usr/libexec/xdg-desktop-portal-gnome
    wait_until on_bus org.freedesktop.impl.portal.desktop.gnome
    start portal /usr/libexec/xdg-desktop-portal
    wait_until on_bus org.freedesktop.portal.Desktop
}

bring_up() {
    export HOME=$work/home XDG_RUNTIME_DIR=$work/run
    export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
    export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland XDG_SESSION_DESKTOP=gnome
    export WAYLAND_DISPLAY=wayland-0
    unset DISPLAY XAUTHORITY
    mkdir -p -m 700 "$HOME" "$XDG_RUNTIME_DIR"
    system_bus || { say "the system bus stand-in did not come up"; return 1; }
    session_bus || { say "the session bus did not come up"; return 1; }
    media || { say "pipewire/wireplumber did not come up"; return 1; }
    shell || { say "gnome-shell did not come up (see $work/shell.log)"; return 1; }
    portals || { say "the portals did not come up"; return 1; }
    say "session up: WAYLAND_DISPLAY=$WAYLAND_DISPLAY DISPLAY=$DISPLAY"
    env | grep -E '^(HOME|XDG_|DBUS_|WAYLAND_DISPLAY|DISPLAY|XAUTHORITY|GSETTINGS)' | sed 's/^/export /' \
        >"$work/env"
}

# The magnifier's X window without its title bar (global pixels: XWayland's root is the
# desktop) as X,Y,W,H.
magnifier_window() {
    local id
    id=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] || return 1
    xwininfo -id "$id" | awk -F: '/Absolute upper-left X/{x=$2} /Absolute upper-left Y/{y=$2}
        /Width/{w=$2} /Height/{h=$2} END{gsub(/ /, "", x); gsub(/ /, "", y); gsub(/ /, "", w); gsub(/ /, "", h)
        print x","y","w","h}'
}

overview_hidden() {
    gdbus call --session --timeout 5 -d org.gnome.Shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Get \
        org.gnome.Shell OverviewActive | grep -q false
}

# The shell opens its overview at start; the pattern shows once it is closed.
show_pattern() {
    start pattern env GDK_BACKEND=wayland /usr/bin/python3 "$helper" pattern
    wait_until grep -q '^ready' "$work/pattern.log" || { say "the pattern window never showed"; return 1; }
    gdbus call --session --timeout 5 -d org.gnome.Shell -o /org/gnome/Shell -m org.freedesktop.DBus.Properties.Set \
        org.gnome.Shell OverviewActive '<false>' >/dev/null
    wait_until overview_hidden || { say "the overview would not close"; return 1; }
    # Until the shell has drawn the pattern everywhere (the overview fades out).
    if ! wait_until sh -c "/usr/bin/python3 '$helper' shot '$work/truth.png' >'$work/shot.log'"; then
        say "the truth screenshot does not show the pattern: $(cat "$work/shot.log")"
        return 1
    fi
    say "$(cat "$work/shot.log")"
}

# The desktop side alone: a bare portal client, its dialog answered, moves the real pointer.
bare_portal() {
    start consent-bare /usr/bin/python3 "$helper" consent 30
    timeout 90 /usr/bin/python3 "$helper" portal "$work/pattern.log" || say "the bare portal client failed"
    say "$(grep "^consent:" "$work/consent-bare.log")"
}

# Starts the magnifier as a user would, with its sharing dialog answered `$1`
# (share/view/refuse); logs to vikaro-$1.log. Sets $vikaro.
start_magnifier() {
    start "consent-$1" /usr/bin/python3 "$helper" consent 30 "$1"
    local consent=$!
    start "vikaro-$1" env QT_LOGGING_RULES=default.debug=true "$build/vikaro"
    vikaro=$!
    timeout=40 wait_until sh -c "! kill -0 $consent" || true
    say "$(grep "^consent:" "$work/consent-$1.log")"
}

said() { grep '^vikaro: ' "$work/vikaro-$1.log" | sed 's/^/    /'; }

# The colours and the arrow key, with full consent.
check_sharing() {
    local rc=0
    start_magnifier share
    check_colours share || rc=1
    say "what the magnifier said on standard error:"
    said share
    kill $vikaro 2>/dev/null || true
    return $rc
}

# The colour rows of the magnifier started answered `$1`; "$2" = --still when Right must not
# move the pointer.
check_colours() {
    local geometry
    timeout=30 wait_until magnifier_window $vikaro || { say "the magnifier showed no window"; return 1; }
    geometry=$(magnifier_window $vikaro)
    say "magnifier window at $geometry"
    /usr/bin/python3 "$helper" check "$work/vikaro-$1.log" "$work/pattern.log" "$work/truth.png" "$geometry" ${2:-}
}

# Refused, or shared without remote interaction: within 5 seconds of the answer the magnifier
# must say so in one line on standard error and in a message box, and keep running.
check_answer() {
    local rc=0 lines end
    start_magnifier "$1"
    end=$((SECONDS + 5))
    if timeout=5 wait_until grep -q '^vikaro: ' "$work/vikaro-$1.log"; then
        # What it says in the whole of those 5 s counts, not only the first line.
        [ $SECONDS -ge $end ] || sleep $((end - SECONDS))
        lines=$(grep -c '^vikaro: ' "$work/vikaro-$1.log")
        say "answered $1: within 5 s the magnifier said:"
        said "$1"
        [ "$lines" -eq 1 ] || { say "answered $1: FAIL, $lines lines where one names what is missing"; rc=1; }
    else
        say "answered $1: FAIL, the magnifier said nothing on standard error within 5 s"
        rc=1
    fi
    say "answered $1: its windows: $(windows_of $vikaro)"
    if [ "$1" = view ]; then
        # The loupe still works; only the arrow keys cannot move the pointer.
        check_colours view --still || rc=1
    fi
    kill -0 $vikaro || { say "answered $1: FAIL, the magnifier is no longer running"; rc=1; }
    kill $vikaro 2>/dev/null || true
    return $rc
}

windows_of() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        printf '"%s" ' "$(xdotool getwindowname "$id")"
    done
}

check() {
    local rc=0
    show_pattern || return 1
    bare_portal
    check_sharing || rc=1
    check_answer refuse || rc=1
    check_answer view || rc=1
    return $rc
}

inside() {
    work=$1 build=$2 hold=$3
    trap stop_all EXIT INT TERM
    bring_up
    local rc=0
    check || rc=$?
    if [ -n "$hold" ]; then
        touch "$work/hold"
        say "holding the session: . $work/env; remove $work/hold to end it"
        while [ -e "$work/hold" ]; do sleep 2; done
    fi
    return $rc
}

if [ "${1:-}" = --inside ]; then
    inside "$2" "$3" "$4"
    exit
fi
build=${VIKARO_BUILD_DIR:-$top/build}
hold=""
for arg in "$@"; do
    case $arg in
        --hold) hold=1 ;;
        *) build=$arg ;;
    esac
done
build=$(realpath -m "$build")
outside
