#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The program of an install, started with an empty home folder, makes ~/.local/share/vokabo from the
# installed course and shows the menu; a later start keeps the learner's file; the installed word tool
# reads Access files through the installed reader.   first-start.sh CMAKE BUILD_DIR
set -eu
cmake=$1 build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "$*" >&2
    exit 1
}
"$cmake" --install "$build" --prefix "$work/usr" >/dev/null
mkdir "$work/home"
export HOME="$work/home" QT_QPA_PLATFORM=offscreen
unset XDG_DATA_HOME VOKABO_DATA_DIR
data=$HOME/.local/share/vokabo

shown=$("$work/usr/bin/vokabo" --quit-after-menu)
[ "$shown" = "menu window shown, data in $data" ] || fail "first start: $shown"
cmp "$work/usr/share/vokabo/MyDatas.db" "$data/MyDatas.db"
[ "$(stat -c %a "$data/MyDatas.db")" = 600 ] || fail "the seeded copy is not the learner's own"
[ "$(ls -A "$data")" = MyDatas.db ] || fail "left behind: $(ls -A "$data")"

printf 'the learner has deleted words' >"$data/MyDatas.db"
"$work/usr/bin/vokabo" --quit-after-menu >/dev/null
[ "$(cat "$data/MyDatas.db")" = 'the learner has deleted words' ] || fail "a later start seeded again"

# The Access reader is installed where the programs find it: an import through it.
fixtures=$(cd "$(dirname "$0")/../../testsupport/fixtures/mdb" && pwd)
"$work/usr/bin/vokabo-words" create "$work/words.db" 2>/dev/null
imported=$("$work/usr/bin/vokabo-words" import-mdb "$fixtures/word12-overflow.mdb" "$work/words.db") ||
    fail "import through the installed reader failed"
echo "$imported" | grep -q '^7 words in 1 unit' || fail "import through the installed reader: $imported"

# Help needs no display, nor does a mistake on the command line; Qt's own options still reach Qt.
nodisplay="env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY"
$nodisplay "$work/usr/bin/vokabo" --help | grep -q -- '--data-dir <DIR>'
status=0
$nodisplay "$work/usr/bin/vokabo" --bogus 2>"$work/err" || status=$?
[ "$status" = 1 ] && grep -qx "vokabo: Unknown option 'bogus'." "$work/err" ||
    fail "vokabo --bogus without a display: status $status, $(cat "$work/err")"
$nodisplay "$work/usr/bin/vokabo" -platform offscreen --quit-after-menu >/dev/null
# The word tool's help names the learner's database.
"$work/usr/bin/vokabo-words" help | grep -q "$data/MyDatas.db"
