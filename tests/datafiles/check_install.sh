#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the desktop files and the manual into a scratch tree and checks them together:
# the metainfo against its launcher (appstreamcli validate-tree), the launcher's icon in
# every installed size, the launcher's program among the metainfo's binaries, and the
# manual both installed and copied beside the desktop program in the build tree.
#
# Usage: check_install.sh TREE CMAKE BUILD_DIR APPSTREAMCLI MANUAL_DIR
set -u
tree=$1 cmake=$2 build=$3 appstreamcli=$4 manual=$5
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

rm -rf "$tree"
"$cmake" --install "$build" --component data --prefix "$tree/usr" >/dev/null ||
    { echo "FAIL: cmake --install of the data component" >&2; exit 1; }
share=$tree/usr/share

"$appstreamcli" validate-tree --no-net "$tree" || fail "appstreamcli validate-tree"

desktop=$share/applications/lumora.desktop
[ -f "$desktop" ] || { echo "FAIL: $desktop not installed" >&2; exit 1; }
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -n "$icon" ] || fail "the launcher names no icon"
[ -f "$share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon.svg"
for n in 48 128 256; do
    png=$share/icons/hicolor/${n}x${n}/apps/$icon.png
    if [ ! -f "$png" ]; then
        fail "no ${n}x${n} icon"
        continue
    fi
    # PNG signature, then the IHDR chunk: width and height as big-endian 32-bit numbers.
    sig=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
    [ "$sig" = 89504e470d0a1a0a ] || fail "$png is not a PNG file"
    size=$(od -An -tu1 -j16 -N8 "$png" |
        awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
    [ "$size" = "${n}x${n}" ] || fail "$png is $size, not ${n}x${n}"
done

program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
# File managers offer "Open With" only with a file to pass and the picture types listed.
grep -q '^Exec=[^ ]* %f$' "$desktop" || fail "the launcher passes no file (%f)"
for type in image/png image/jpeg image/gif image/bmp image/tiff image/webp; do
    grep -q "^MimeType=.*$type;" "$desktop" || fail "the launcher does not list $type"
done
grep -q "<binary>$program</binary>" "$share/metainfo/io.github.lumora.Lumora.metainfo.xml" ||
    fail "the metainfo does not provide the launcher's program $program"

for page in "$manual"/*.html; do
    name=$(basename "$page")
    cmp -s "$page" "$share/lumora/help/$name" || fail "$name not installed as help/$name"
    cmp -s "$page" "$build/app/help/$name" ||
        fail "$name not copied to $build/app/help/ (build the lumora_help target)"
done

[ $status -eq 0 ] && echo "installed tree in $tree: no problems"
exit $status
