#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# "lumora --help" and "lumora --version" answer on stdout with no window system at all (a
# session over SSH); a wrong command line is refused there too, named on stderr with a hint
# and exit status 2.
#
#   command-line.sh LUMORA_EXECUTABLE VERSION
set -uo pipefail
program="$1"
version="$2"
status=0
fail() { echo "FAIL: $*" >&2; status=1; }

# No display and the X11 platform: reaching Qt would fail.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb)
for option in --help -h "-platform xcb --help"; do
    # shellcheck disable=SC2086
    out="$("${nodisplay[@]}" "$program" $option 2>/dev/null)" || fail "$option did not exit with 0"
    grep -q '^Usage: lumora \[PICTURE\]' <<<"$out" || fail "$option printed no usage: $out"
done
for option in --version -V; do
    out="$("${nodisplay[@]}" "$program" "$option" 2>/dev/null)" || fail "$option did not exit with 0"
    [ "$out" = "lumora $version" ] || fail "$option printed '$out'"
done

while IFS='|' read -r args said; do
    # shellcheck disable=SC2086
    err="$("${nodisplay[@]}" "$program" $args 2>&1 >/dev/null)"
    code=$?
    [ "$code" -eq 2 ] || fail "'$args' ended with $code, not 2"
    grep -qF "lumora: $said" <<<"$err" || fail "'$args' did not say '$said': $err"
    grep -q "Try 'lumora --help'" <<<"$err" || fail "'$args' gave no hint: $err"
done <<'EOF'
--bogus|unknown option '--bogus'
-platform xcb -x picture.png|unknown option '-x'
one.png two.png|only one picture can be opened
EOF
[ $status -eq 0 ] && echo "command line answers as documented"
exit $status
