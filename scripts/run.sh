#!/bin/sh
# Installs what is missing, builds, and starts the magnifier on the current display.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/build.sh"
# The magnifier writes a diagnostic line every frame; keep them out of the terminal.
QT_LOGGING_RULES=${QT_LOGGING_RULES:-default.debug=false}
export QT_LOGGING_RULES
exec "${VIKARO_BUILD_DIR:-$top/build}/vikaro" "$@"
