#!/bin/sh
# Installs what is missing, builds quietly (the build's output is shown only when it fails), and
# starts the magnifier on the current display.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
log=$(mktemp)
if ! "$top/scripts/build.sh" >"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    exit 1
fi
rm -f "$log"
# The magnifier writes a diagnostic line every frame; keep them out of the terminal.
QT_LOGGING_RULES=${QT_LOGGING_RULES:-default.debug=false}
export QT_LOGGING_RULES
if [ -n "${XDG_RUNTIME_DIR:-}" ]; then
    exec "${VIKARO_BUILD_DIR:-$top/build}/vikaro" "$@"
fi
# Without a runtime folder the toolkit warns and makes one of its own: give it a private one (0700).
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT INT TERM
"${VIKARO_BUILD_DIR:-$top/build}/vikaro" "$@"
