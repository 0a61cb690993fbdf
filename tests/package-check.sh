#!/bin/sh
# package-check.sh BUILD_DIR: builds the Debian package and checks what a user gets from it:
# its files, lintian's verdict, and a desktop entry, icon and metadata that agree.
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package-check: $*" >&2; exit 1; }
(cd "$1" && cpack -G DEB -B "$work" >"$work/log" 2>&1) || { cat "$work/log"; fail "cpack failed"; }
deb=$(echo "$work"/vikaro_*_"$(dpkg --print-architecture)".deb)
dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' >"$work/list"
meta=$(sed -n 's|.*\./usr/share/metainfo/\(.*\.metainfo\.xml\)$|\1|p' "$work/list")
id=${meta%.metainfo.xml}
for file in bin/vikaro share/man/man1/vikaro.1.gz share/doc/vikaro/copyright \
    share/doc/vikaro/changelog.gz share/applications/$id.desktop share/metainfo/$meta; do
    grep -q " \./usr/$file$" "$work/list" || fail "no /usr/$file in the package"
done
dpkg-deb -f "$deb" Depends | grep -q libqt5widgets5 || fail "Depends lacks the toolkit"
# Its warnings include files outside /usr and unusual owners or modes.
lintian --fail-on error,warning "$deb" 2>/dev/null || fail "lintian errors or warnings"
dpkg-deb -x "$deb" "$work/root"
share=$work/root/usr/share
notes=$(appstreamcli validate --no-net "$share/metainfo/$meta") || fail "$notes"
hints=$(desktop-file-validate "$share/applications/$id.desktop") || fail "$hints"
[ -z "$hints" ] || fail "$hints"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$share/metainfo/$meta" \
    || fail "metadata does not launch $id.desktop"
icon=$(sed -n 's/^Icon=//p' "$share/applications/$id.desktop")
for size in 16 22 24 32 48 64 128 256; do
    test -s "$share/icons/hicolor/${size}x$size/apps/$icon.png" || fail "no $size px icon $icon"
done
command=$(sed -n 's/^Exec=//p' "$share/applications/$id.desktop" | awk '{ print $NF }')
test -f "$work/root/usr/bin/$command" -a -x "$work/root/usr/bin/$command" \
    || fail "the entry runs $command, not in /usr/bin"
echo "$(basename "$deb"): $(grep -c . "$work/list") entries, $id"
