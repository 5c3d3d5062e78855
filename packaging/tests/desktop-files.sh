#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The desktop entry and the AppStream metainfo of an install validate, and the icon that the entry names
# is in the hicolor theme at every size.   desktop-files.sh CMAKE BUILD_DIR APP_ID
set -eu
cmake=$1 build=$2 id=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cmake" --install "$build" --prefix "$work/usr" >/dev/null

entry=$work/usr/share/applications/$id.desktop
desktop-file-validate "$entry"
appstreamcli validate --no-net "$work/usr/share/metainfo/$id.metainfo.xml"
grep -qx "Icon=$id" "$entry"
grep -qx 'Categories=Education;Languages;' "$entry"
for size in 16 32 48 64 128 256; do
    icon=$work/usr/share/icons/hicolor/${size}x$size/apps/$id.png
    file "$icon" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" || {
        echo "not a $size px RGBA PNG: $icon" >&2
        exit 1
    }
done
grep -q '<svg ' "$work/usr/share/icons/hicolor/scalable/apps/$id.svg"
