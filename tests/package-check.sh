#!/bin/sh
# package-check.sh BUILD_DIR: builds the Debian package and checks what a user gets from it:
# its files, lintian's verdict, and a desktop entry, icon and metadata that agree.
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package-check: $*" >&2; exit 1; }
(cd "$1" && cpack -G DEB -B "$work" >"$work/log" 2>&1) || { cat "$work/log"; fail "cpack failed"; }
deb=$(echo "$work"/vikaro_*_"$(dpkg --print-architecture)".deb)
meta=$(dpkg-deb -c "$deb" | sed -n 's|.*\./usr/share/metainfo/\(.*\.metainfo\.xml\)$|\1|p')
id=${meta%.metainfo.xml}
dpkg-deb -f "$deb" Depends | grep -q libqt5widgets5 || fail "Depends lacks the toolkit"
# Its warnings include files outside /usr and unusual owners or modes.
lintian --fail-on error,warning "$deb" 2>/dev/null || fail "lintian errors or warnings"
dpkg-deb -x "$deb" "$work/root"
share=$work/root/usr/share
notes=$(appstreamcli validate --no-net "$share/metainfo/$meta") || fail "$notes"
hints=$(desktop-file-validate "$share/applications/$id.desktop") && [ -z "$hints" ] || fail "$hints"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$share/metainfo/$meta" \
    || fail "metadata does not launch $id.desktop"
icon=$(sed -n 's/^Icon=//p' "$share/applications/$id.desktop")
for size in 16 22 24 32 48 64 128 256; do
    test -s "$share/icons/hicolor/${size}x$size/apps/$icon.png" || fail "no $size px icon $icon"
done
program=$work/root/usr/bin/$(sed -n 's/^Exec=//p' "$share/applications/$id.desktop" | awk '{ print $NF }')
test -f "$program" -a -x "$program" || fail "the entry runs ${program#"$work/root"}, not a program in /usr/bin"
echo "$(basename "$deb"): $id"
