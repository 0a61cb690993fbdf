#!/bin/sh
# portal-run.sh COMMAND...: runs COMMAND beside a private D-Bus session bus and a PipeWire daemon
# with its session manager (wireplumber: without it no stream is ever linked), all in a runtime
# folder of its own, then stops them. The bus has no service folders, so an installed desktop
# portal never answers in place of a test's stand-in. PipeWire and wireplumber accept root.
set -eu
if [ -z "${PORTAL_RUN_DIR:-}" ]; then
    runtime=$(mktemp -d)
    trap 'rm -rf "$runtime"' EXIT
    cat >"$runtime/bus.conf" <<EOF
<busconfig><type>session</type><listen>unix:dir=$runtime</listen><policy context="default">
<allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
EOF
    PORTAL_RUN_DIR=$runtime dbus-run-session --config-file="$runtime/bus.conf" -- "$0" "$@"
    exit
fi
# The services read no configuration or state of the user's.
runtime=$PORTAL_RUN_DIR
mkdir "$runtime/config" "$runtime/state"
export XDG_RUNTIME_DIR="$runtime" PIPEWIRE_RUNTIME_DIR="$runtime" XDG_CONFIG_HOME="$runtime/config" XDG_STATE_HOME="$runtime/state"
unset PIPEWIRE_REMOTE PORTAL_RUN_DIR
services=""
# shellcheck disable=SC2086
trap '[ -z "$services" ] || kill $services 2>/dev/null || true; wait' EXIT INT TERM

# start WHAT READY...: starts WHAT and polls until the command READY succeeds (one that hangs
# counts as a failed try), for two minutes at most.
start() {
    "$1" >>"$runtime/log" 2>&1 &
    started=$!
    services="$services $started"
    shift
    if ! timeout 120 sh -c 'until timeout 10 "$@" >/dev/null 2>&1; do sleep 0.05; done' - "$@"; then
        echo "portal-run: cannot start the services" >&2
        cat "$runtime/log" >&2
        exit 1
    fi
}
start pipewire pw-cli info 0
export PORTAL_RUN_PIPEWIRE=$started # for a test of PipeWire going away
# Ready once connected: it links the streams that exist by then as well as later ones.
start wireplumber sh -c 'pw-cli ls Client | grep -q "\"WirePlumber"'
"$@"
