#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the metainfo's screenshots of a build: the menu window, the study window with a drill started and
# an answer half typed, and the statistics window over a generated learning record, each on its own
# under Xvfb, into packaging/screenshots/.   scripts/screenshots.sh [BUILD_DIR]
# Needs xvfb, xdotool and imagemagick, and a build with the benchmarks (for make_history).
set -euo pipefail
cd "$(dirname "$0")/.."
bin=$(realpath "${1:-build}")/bin
out=$PWD/packaging/screenshots
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT

# A learner some weeks in: units finished 1 to 36 days ago, so that the menu shows every colour.
cp "$bin/MyDatas.db" "$work/"
day() { date -d "-$1 days" '+%Y/%-m/%-d'; }
printf '[LastDate]\r\n11=%s 19:40:12\r\n12=%s 20:05:33\r\n13=%s 18:30:00\r\n14=%s 21:10:45\r\n21=%s 19:02:10\r\n22=%s 19:02:10\r\n' \
    "$(day 36)" "$(day 18)" "$(day 7)" "$(day 4)" "$(day 1)" "$(day 2)" >"$work/Syset.ini"
"$bin/make_history" "$work" 20000 120 >/dev/null

exec 3< <(exec Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null)
pids+=($!)
export DISPLAY=:$(head -n 1 <&3)
"$bin/vokabo" --data-dir "$work" 2>/dev/null &
pids+=($!)

# The id of the window with that title that appeared last, once it has.
window() {
    local id
    for _ in $(seq 50); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1) && [ -n "$id" ] && {
            echo "$id"
            return
        }
        sleep 0.2
    done
    echo "no window '$1'" >&2
    exit 1
}
# Clicks at X,Y of a window.
click() {
    local x y
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove $((X + $2)) $((Y + $3)) click 1
    sleep 1
}
shoot() {
    sleep 1
    import -window "$1" -strip "$out/$2.png"
}

menu=$(window Vokabo1.0)
shoot "$menu" menu
click "$menu" 136 137 # 二级2单元
study=$(xdotool search --onlyvisible --name '^Vokabo1.0$' | grep -vx "$menu" | tail -n 1)
click "$study" 202 205 # 开 始
# The unit's first word, half typed.
answer=$(head -n 1 data/22.tsv | cut -f 1)
xdotool windowfocus "$study" type --delay 50 "${answer:0:4}"
shoot "$study" study
click "$study" 52 20 # 返回主界面
xdotool windowfocus "$menu" key F6
shoot "$(window 学习统计)" statistics
file "$out"/*.png
