#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: its name, its files, its dependencies, no maintainer scripts, and nothing that
# lintian finds, even pedantically.
#   deb-package.sh CPACK BUILD_DIR APP_ID VERSION
set -eu
cpack=$1 build=$2 id=$3 version=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "$*" >&2
    exit 1
}
(cd "$work" && "$cpack" --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log") ||
    fail "cpack failed: $(cat "$work/cpack.log")"
deb=$work/vokabo_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb: $(ls "$work")"

dpkg-deb --contents "$deb" | awk '{ print $6 }' >"$work/contents"
for file in ./usr/bin/vokabo ./usr/bin/vokabo-words ./usr/share/vokabo/MyDatas.db \
    "./usr/share/applications/$id.desktop" "./usr/share/metainfo/$id.metainfo.xml" \
    "./usr/share/icons/hicolor/16x16/apps/$id.png" "./usr/share/icons/hicolor/256x256/apps/$id.png" \
    "./usr/share/icons/hicolor/scalable/apps/$id.svg" ./usr/share/man/man1/vokabo.1.gz \
    ./usr/share/man/man1/vokabo-words.1.gz ./usr/share/doc/vokabo/copyright ./usr/share/doc/vokabo/changelog.gz; do
    grep -qxF "$file" "$work/contents" || fail "the package lacks $file"
done

# The statistics window and the pronunciation, modules of the program's own that it loads on first use.
for module in vokabo_statistics vokabo_pronunciation; do
    grep -qx "\./usr/lib/\(.*/\)\?vokabo/$module\.so" "$work/contents" || fail "the package lacks the module $module"
done

[ "$(dpkg-deb --field "$deb" Section)" = education ] || fail "section: $(dpkg-deb --field "$deb" Section)"
depends=$(dpkg-deb --field "$deb" Depends)
# Debian 13 renamed some libraries for the 64-bit time_t (libssl3t64); the old names are provided.
for package in libqt6sql6-sqlite libqt6widgets6 libqt6sql6 libmdb3 libssl3 libc6 libqt6texttospeech6 libqt6charts6; do
    echo ", $depends," | grep -q ", $package\(t64\)\?[ ,]" || fail "Depends lacks $package: $depends"
done
# Any CJK font will do, not only the largest.
echo ", $depends," | grep -q ", fonts-noto-cjk | fonts-arphic-uming | [^,]*," || fail "the fonts in Depends: $depends"

# The modules are the program's own, not shared libraries: no ldconfig, and so no maintainer scripts.
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's,^\./,,' | grep . | sort | tr '\n' ' ')
[ "$control" = "control md5sums " ] || fail "control files: $control"
recommends=$(dpkg-deb --field "$deb" Recommends)
echo ", $recommends," | grep -q ", qt6-speech-flite-plugin[ ,]" || fail "Recommends lacks the speech engine: $recommends"

lintian --pedantic --fail-on error,warning,info,pedantic --tag-display-limit 0 "$deb"
