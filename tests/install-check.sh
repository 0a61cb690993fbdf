#!/bin/sh
# install-check.sh BUILD_DIR: the program, a valid desktop entry and the icon in every hicolor
# size land where the build installs into a temporary prefix.
set -eu
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/vikaro"
desktop-file-validate "$prefix/share/applications/vikaro.desktop"
grep -q '^Categories=.*Graphics;.*Utility;' "$prefix/share/applications/vikaro.desktop"
for size in 16 22 24 32 48 64 128 256; do
    test -s "$prefix/share/icons/hicolor/${size}x${size}/apps/vikaro.png" || { echo "no $size px icon" >&2; exit 1; }
done
