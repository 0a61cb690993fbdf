#!/bin/sh
# setup.sh [PACKAGE...]: installs what building, running and testing the magnifier needs on Debian 12, and the
# Debian packages given, when missing.
set -eu

packages="g++ make cmake qtbase5-dev qttools5-dev qttools5-dev-tools libxcb1-dev libxcb-shm0-dev
libpipewire-0.3-dev pipewire wireplumber dbus
xvfb xserver-xephyr xauth openbox wmctrl xclip xdotool x11-utils x11-xserver-utils fonts-dejavu-core desktop-file-utils
dpkg-dev file lintian appstream $*"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "setup: these packages are missing and there is no sudo to install them:$missing" >&2
    exit 1
fi
echo "setup: installing$missing"
$as_root apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $as_root apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends $missing
