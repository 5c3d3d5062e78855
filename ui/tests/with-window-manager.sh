#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a window test on an X server of its own with a window manager (Xvfb and openbox), so that windows
# have frames, as on a learner's desktop: SCREEN is the screen's size, e.g. 1280x800.
#   with-window-manager.sh SCREEN PROGRAM [ARGUMENTS]
screen=$1
shift
if ! command -v Xvfb >/dev/null 2>&1 || ! command -v openbox >/dev/null 2>&1; then
    echo "with-window-manager: Xvfb and openbox are needed (apt install xvfb openbox x11-utils)" >&2
    exit 1
fi

runtime=$(mktemp -d) || exit 1
Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$runtime/display" 2>"$runtime/xvfb.log" &
server=$!
tries=0
while [ ! -s "$runtime/display" ] && [ "$tries" -lt 300 ] && kill -0 "$server" 2>/dev/null; do
    sleep 0.1
    tries=$((tries + 1))
done
DISPLAY=:$(head -n 1 "$runtime/display")
export DISPLAY
HOME="$runtime" openbox >"$runtime/openbox.log" 2>&1 &
manager=$!
# The window manager is ready once it has announced itself on the root window.
tries=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    if [ "$tries" -ge 300 ] || ! kill -0 "$manager" 2>/dev/null; then
        echo "with-window-manager: openbox did not start: $(tail -n 3 "$runtime/openbox.log")" >&2
        break
    fi
    sleep 0.1
    tries=$((tries + 1))
done

QT_QPA_PLATFORM=xcb VOKABO_EXPECT_FRAME=1 "$@"
status=$?
kill "$manager" "$server" 2>/dev/null
wait "$manager" "$server" 2>/dev/null
rm -rf "$runtime"
exit "$status"
