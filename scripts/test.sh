#!/bin/sh
# Installs what is missing, builds, and runs the whole test suite headless: widget tests on the
# offscreen platform, display tests each on a private Xvfb server they start themselves.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/build.sh"
cd "${VIKARO_BUILD_DIR:-$top/build}"
ctest --output-on-failure --timeout 600

# Then the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer, in a build
# directory of its own: a memory error, undefined behaviour, or a leak anywhere but inside the
# toolkit's own libraries (tests/lsan.supp) fails the test that meets it. Like the program
# itself, the tests leave the GL stack unloaded here.
sanitized=${VIKARO_SANITIZE_BUILD_DIR:-$top/build-asan}
VIKARO_BUILD_DIR=$sanitized "$top/scripts/build.sh" -DVIKARO_SANITIZE=ON
cd "$sanitized"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
LSAN_OPTIONS="suppressions=$top/tests/lsan.supp" \
QT_XCB_GL_INTEGRATION=none \
    ctest --output-on-failure --timeout 600
