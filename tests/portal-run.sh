#!/bin/sh
# portal-run.sh COMMAND...: runs COMMAND with a private D-Bus session bus and a PipeWire daemon
# with its session manager, all in a runtime folder of its own, then stops them.
# The bus has no service folders, so nothing on it is ever started on demand (an installed
# desktop portal must not answer in place of the test's own).
set -eu
runtime=$(mktemp -d)
chmod 700 "$runtime"
mkdir "$runtime/config" "$runtime/state"
services=""
cleanup() {
    # shellcheck disable=SC2086
    [ -n "$services" ] && kill $services 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT INT TERM

cat >"$runtime/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$runtime</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
mkfifo "$runtime/address"
dbus-daemon --nofork --config-file="$runtime/bus.conf" --print-address=3 3>"$runtime/address" 2>>"$runtime/log" &
services=$!
read -r DBUS_SESSION_BUS_ADDRESS <"$runtime/address"
XDG_RUNTIME_DIR=$runtime
PIPEWIRE_RUNTIME_DIR=$runtime
export DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR PIPEWIRE_RUNTIME_DIR
unset PIPEWIRE_REMOTE

# The services read no configuration or state of the user's.
XDG_CONFIG_HOME="$runtime/config" XDG_STATE_HOME="$runtime/state" pipewire >>"$runtime/log" 2>&1 &
services="$services $!"
# wait_for WHAT COMMAND...: polls until COMMAND succeeds.
wait_for() {
    what=$1
    shift
    tries=0
    until "$@" >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -gt 600 ]; then
            echo "portal-run: $what did not start" >&2
            cat "$runtime/log" >&2
            exit 1
        fi
        sleep 0.05
    done
}
wait_for pipewire pw-cli info 0
XDG_CONFIG_HOME="$runtime/config" XDG_STATE_HOME="$runtime/state" wireplumber >>"$runtime/log" 2>&1 &
services="$services $!"
# Ready once it has connected; it links the streams that exist by then as well as later ones.
wireplumber_ready() { pw-cli ls Client | grep -q '"WirePlumber'; }
wait_for wireplumber wireplumber_ready

set +e
"$@"
status=$?
set -e
exit "$status"
