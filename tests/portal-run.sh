#!/bin/sh
# portal-run.sh COMMAND...: runs COMMAND beside a private D-Bus session bus and a PipeWire daemon
# with its session manager (wireplumber: without it no stream is ever linked), all in a runtime
# folder of its own, then stops them. The bus has no service folders, so nothing is started on
# demand: an installed desktop portal never answers in place of a test's stand-in. Neither
# PipeWire nor wireplumber refuses root, so they run as whoever runs this.
set -eu
runtime=$(mktemp -d)
mkdir "$runtime/config" "$runtime/state"
services=""
cleanup() {
    # shellcheck disable=SC2086
    [ -n "$services" ] && kill $services 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$runtime"
}
trap cleanup EXIT INT TERM
# The services read no configuration or state of the user's.
XDG_RUNTIME_DIR=$runtime PIPEWIRE_RUNTIME_DIR=$runtime XDG_CONFIG_HOME=$runtime/config XDG_STATE_HOME=$runtime/state
export XDG_RUNTIME_DIR PIPEWIRE_RUNTIME_DIR XDG_CONFIG_HOME XDG_STATE_HOME
unset PIPEWIRE_REMOTE

cat >"$runtime/bus.conf" <<EOF
<busconfig>
  <type>session</type>
  <listen>unix:dir=$runtime</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/>
  </policy>
</busconfig>
EOF
mkfifo "$runtime/address"
dbus-daemon --nofork --config-file="$runtime/bus.conf" --print-address=3 3>"$runtime/address" 2>>"$runtime/log" &
services=$!
read -r DBUS_SESSION_BUS_ADDRESS <"$runtime/address"
export DBUS_SESSION_BUS_ADDRESS

# start WHAT READY...: starts WHAT and polls until the command READY succeeds (a READY that
# hangs counts as a failed try).
start() {
    "$1" >>"$runtime/log" 2>&1 &
    services="$services $!"
    shift
    tries=0
    until timeout 10 "$@" >/dev/null 2>&1; do
        tries=$((tries + 1))
        if [ "$tries" -gt 600 ]; then
            echo "portal-run: cannot start the services" >&2
            cat "$runtime/log" >&2
            exit 1
        fi
        sleep 0.05
    done
}
start pipewire pw-cli info 0
# Ready once connected: it links the streams that exist by then as well as later ones.
start wireplumber sh -c 'pw-cli ls Client | grep -q "\"WirePlumber"'

set +e
"$@"
status=$?
set -e
exit "$status"
