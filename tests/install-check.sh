#!/bin/sh
# install-check.sh BUILD_DIR: installs the build into a temporary prefix and checks what lands
# there: the program, a valid desktop entry and the icon in every hicolor size.
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/vikaro" || { echo "no bin/vikaro" >&2; exit 1; }
entry="$prefix/share/applications/vikaro.desktop"
desktop-file-validate "$entry"
grep -q '^Categories=.*Graphics;.*Utility;' "$entry" || { echo "categories missing" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/vikaro.png"
    test -s "$icon" || { echo "no $size px icon" >&2; exit 1; }
done
echo "installed and valid under $prefix"
