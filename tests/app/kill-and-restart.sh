#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# SIGKILL leaves no plaintext behind for good. The desktop program killed while its reveal
# view shows a carrier leaves decrypted files in its working folder, which the next start
# of either program removes; lumora-cli killed in the middle of a reveal leaves nothing in
# its working folder, and at the reveal's destination only complete files, if any.
#
#   kill-and-restart.sh LUMORA_SCREENSHOT_HARNESS LUMORA_CLI PICTURE
set -euo pipefail
program="$1"
cli="$2"
picture="$3"
work="$(mktemp -d)"
pids=()
finish() {
    for pid in "${pids[@]}"; do kill -9 "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap finish EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Both programs keep their working folders in one private cache: that of a copy of
# lumora-cli, which the desktop program is pointed at as its program folder.
bin="$work/bin"
mkdir -m 700 "$bin"
cp "$cli" "$bin/lumora-cli"
cache="$bin/cache"
export HOME="$work" LUMORA_PASSWORD="a password for killed runs" QT_QPA_PLATFORM=offscreen
export LUMORA_PROGRAM_FOLDER="$bin"

# Large enough that a reveal takes a while.
head -c $((16 << 20)) /dev/urandom >"$work/big.bin"
printf 'the hidden note\n' >"$work/note.txt"
"$bin/lumora-cli" hide "$picture" -o "$work/carrier.png" -m "the hidden message" \
    "$work/note.txt" "$work/big.bin"

# Working folders in the cache that hold a file.
filled_folders() {
    [ -d "$cache" ] || return 0
    find "$cache" -mindepth 2 -type f -printf '%P\n' | cut -d/ -f1 | sort -u
}
[ -z "$(filled_folders)" ] || fail "the cache is not empty after hiding"

# 1. The desktop program, its reveal view open on the carrier, killed.
LUMORA_SCREENSHOT="$work/shown.png" LUMORA_SCREENSHOT_SCENE=reveal LUMORA_SCREENSHOT_HOLD=1 \
    LUMORA_SCREENSHOT_IMAGE="$work/carrier.png" LUMORA_SCREENSHOT_PASSWORD="$LUMORA_PASSWORD" \
    "$program" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 300); do
    [ -s "$work/shown.png" ] && break
    sleep 0.1
done
[ -s "$work/shown.png" ] || fail "the reveal view never showed"
desktop_folders="$(filled_folders)"
[ -n "$desktop_folders" ] || fail "the open carrier has no working folder with its files"
kill -9 "${pids[0]}"
wait "${pids[0]}" 2>/dev/null || true
[ "$(filled_folders)" = "$desktop_folders" ] || fail "the killed program's folder is not left"

# 2. lumora-cli killed in the middle of a reveal, once it writes into the destination. It
# reads the hidden data straight from the carrier, so its working folder holds nothing;
# its start removes the desktop program's folder.
mkdir "$work/out"
"$bin/lumora-cli" reveal "$work/carrier.png" -d "$work/out" >/dev/null 2>&1 &
pids+=($!)
writing=""
for _ in $(seq 3000); do
    [ -n "$(ls -A "$work/out")" ] && writing=yes && break
    kill -0 "${pids[1]}" 2>/dev/null || break
    sleep 0.005
done
cli_folders="$(filled_folders | grep -vxF "$desktop_folders" || true)"
kill -9 "${pids[1]}" 2>/dev/null || true
wait "${pids[1]}" 2>/dev/null || true
[ -n "$writing" ] || fail "the reveal ended before it could be killed in the middle"
[ -z "$cli_folders" ] || fail "lumora-cli's reveal wrote into its working folder: $cli_folders"
for folder in $desktop_folders; do
    [ ! -e "$cache/$folder" ] || fail "lumora-cli's start left the killed program's $folder"
done

# 3. The desktop program starts again and ends: nothing of the killed runs is left.
LUMORA_SCREENSHOT="$work/start.png" LUMORA_SCREENSHOT_SCENE=start timeout 60 "$program" \
    >/dev/null 2>&1 || fail "the program did not start again"
left="$(find "$cache" -mindepth 1 -printf '%P\n')"
[ -z "$left" ] || fail "left in the cache after the restart: $left"
# The destination holds complete files only, under their own names.
for file in "$work/out"/* "$work/out"/.*; do
    [ -e "$file" ] || continue
    case "$(basename "$file")" in
        . | ..) ;;
        note.txt | big.bin) cmp -s "$file" "$work/$(basename "$file")" ||
            fail "$(basename "$file") at the destination is incomplete" ;;
        *) fail "left at the destination: $(basename "$file")" ;;
    esac
done
echo "the killed runs left no plaintext behind after a new start"
