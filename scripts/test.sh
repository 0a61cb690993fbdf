#!/bin/sh
# Installs what is missing, builds, and runs the whole test suite headless: widget tests on the
# offscreen platform, display tests each on a private Xvfb server they start themselves. Then
# the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer in a build folder of
# its own, where a memory error, undefined behaviour or a leak of ours fails the test that meets
# it. Each test carries its environment (sanitizer options, leak suppressions), so `ctest` run
# by hand in either folder gives the same verdict.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${VIKARO_BUILD_DIR:-$top/build}
sanitized=${VIKARO_SANITIZE_BUILD_DIR:-$top/build-asan}
"$top/scripts/build.sh"
(cd "$build" && ctest --output-on-failure)
VIKARO_BUILD_DIR=$sanitized "$top/scripts/build.sh" -DVIKARO_SANITIZE=ON
cd "$sanitized" && ctest --output-on-failure
