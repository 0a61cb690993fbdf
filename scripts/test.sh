#!/bin/sh
# Installs what is missing, builds, and runs the whole test suite headless: widget tests on the
# offscreen platform, display tests each on a private Xvfb server they start themselves.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/build.sh"
cd "${VIKARO_BUILD_DIR:-$top/build}"
ctest --output-on-failure --timeout 600
