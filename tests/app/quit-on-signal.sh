#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# A desktop program ended by SIGTERM or SIGHUP while it shows a revealed carrier with an
# unsaved change must end without a question (a dying session cannot answer one) and
# remove the working folder that holds the decrypted copies, as a normal close does.
#
#   quit-on-signal.sh LUMORA_SCREENSHOT_HARNESS CARRIER PASSWORD SIGNAL
set -euo pipefail
program="$1"
carrier="$2"
password="$3"
signal="$4"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cache="$(dirname "$program")/cache"

folders() {
    [ -d "$cache" ] || return 0
    find "$cache" -mindepth 1 -maxdepth 1 -type d | sort
}
folders > "$work/before"

LUMORA_SCREENSHOT="$work/shown.png" LUMORA_SCREENSHOT_SCENE=reveal LUMORA_SCREENSHOT_HOLD=1 \
    LUMORA_SCREENSHOT_PAGE=edited \
    LUMORA_SCREENSHOT_IMAGE="$carrier" LUMORA_SCREENSHOT_PASSWORD="$password" \
    QT_QPA_PLATFORM=offscreen "$program" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 300); do
    [ -s "$work/shown.png" ] && break
    sleep 0.1
done
[ -s "$work/shown.png" ] || { kill -9 $pid; echo "FAIL: the reveal view never showed"; exit 1; }

folders > "$work/during"
new="$(comm -13 "$work/before" "$work/during")"
[ -n "$new" ] || { kill -9 $pid; echo "FAIL: no working folder while the carrier is open"; exit 1; }

# A program that asks instead runs into the test's time limit.
kill -"$signal" $pid
status=0
wait $pid || status=$?
[ $status -eq 0 ] || { echo "FAIL: the program ended with status $status"; exit 1; }
for folder in $new; do
    [ ! -e "$folder" ] || { echo "FAIL: $folder was left behind"; exit 1; }
done
echo "working folder removed on SIG$signal"
