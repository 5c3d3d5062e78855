#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test with a private PulseAudio server whose only output is a null sink, so that speech really
# plays (into nothing) on a machine without sound hardware or a sound server of its own. Without
# pulseaudio the test runs as it is, and skips what needs sound.
command -v pulseaudio >/dev/null 2>&1 || exec "$@"

runtime=$(mktemp -d) || exit 1
socket="$runtime/native"
# A home of its own, so that the server's cookie and state stay out of the user's.
HOME="$runtime" XDG_RUNTIME_DIR="$runtime" pulseaudio --daemonize=no --system=no --exit-idle-time=-1 \
    --disallow-exit -n --load=module-null-sink \
    --load="module-native-protocol-unix auth-anonymous=1 socket=$socket" \
    --log-target="file:$runtime/pulseaudio.log" &
server=$!
tries=0
# Up to half a minute: a server started on a busy machine can be slow to open its socket.
while [ ! -S "$socket" ] && [ "$tries" -lt 300 ] && kill -0 "$server" 2>/dev/null; do
    sleep 0.1
    tries=$((tries + 1))
done
[ -S "$socket" ] || echo "with-null-sink: the sound server did not start: $(tail -n 3 "$runtime/pulseaudio.log" 2>/dev/null)" >&2

PULSE_SERVER="unix:$socket" "$@"
status=$?
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -rf "$runtime"
exit "$status"
