#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Starts a desktop program under a virtual X server, photographs the whole screen until
# the photograph shows a window and READY succeeds on it, then ends the program with
# SIGTERM. Fails when the program ends early, never gets ready within a minute, or does
# not end with status 0. For installed copies, which have no way to photograph themselves.
#
#   photograph-program.sh PHOTO READY PROGRAM [ARGUMENT...]
#
# READY is a shell command run with the photograph's path as $1 ("true" for any window).
set -uo pipefail
if [ -z "${LUMORA_PHOTOGRAPH_SCREEN:-}" ]; then
    export LUMORA_PHOTOGRAPH_SCREEN=1
    exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
photo="$1" ready="$2"
shift 2
shot="$photo.part.png"

QT_QPA_PLATFORM=xcb "$@" >/dev/null 2>&1 &
pid=$!
shown=0
for _ in $(seq 120); do
    sleep 0.5
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "photograph-program: $1 ended before it was ready" >&2
        exit 1
    fi
    import -window root "$shot" 2>/dev/null || continue
    # A screen of one colour shows no window yet.
    colours="$(convert "$shot" -format %k info: 2>/dev/null)"
    [ "${colours:-0}" -gt 1 ] || continue
    if bash -c "$ready" ready "$shot"; then
        shown=1
        break
    fi
done
[ -e "$shot" ] && mv "$shot" "$photo"
kill -TERM "$pid" 2>/dev/null
status=0
wait "$pid" || status=$?
if [ "$shown" -ne 1 ]; then
    echo "photograph-program: $1 showed no ready window in a minute" >&2
    exit 1
fi
if [ "$status" -ne 0 ]; then
    echo "photograph-program: $1 ended with status $status on SIGTERM" >&2
    exit 1
fi
