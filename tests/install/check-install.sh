#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the build tree into a temporary prefix and uses the installed copy as a user
# would: lumora-cli hides and reveals a file, and lumora starts under a virtual X server
# and writes its language file into the per-user configuration folder, not beside itself,
# and shows a picture's preview drawn by the installed preview helper.
#
#   check-install.sh BUILD_DIR PICTURE
set -euo pipefail
build="$1"
picture="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }
photograph="$(cd "$(dirname "$0")/../support" && pwd)/photograph-program.sh"

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/lumora bin/lumora-cli libexec/lumora/lumora-preview \
         share/man/man1/lumora-cli.1.gz share/man/man1/lumora.1.gz \
         share/lumora/help/index.html share/applications/lumora.desktop \
         share/lumora/lang/English.ini share/lumora/lang/German.ini \
         share/bash-completion/completions/lumora-cli share/zsh/vendor-completions/_lumora-cli \
         share/fish/vendor_completions.d/lumora-cli.fish; do
    [ -e "$prefix/$f" ] || fail "$f is not installed"
done
[ -z "$(find "$prefix" -name 'lumora-screenshot*')" ] || fail "the screenshot harness is installed"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_CACHE_HOME="$work/home/cache"
mkdir -p "$HOME"
export LUMORA_PASSWORD="a long passphrase of several words"

printf 'hidden bytes\n' > "$work/note.txt"
"$prefix/bin/lumora-cli" hide "$picture" -o "$work/carrier.png" -m "first line
second line" "$work/note.txt"
message="$("$prefix/bin/lumora-cli" reveal "$work/carrier.png" -d "$work/out")"
[ "$message" = "first line
second line" ] || fail "the revealed message differs: $message"
cmp -s "$work/note.txt" "$work/out/note.txt" || fail "the revealed file differs"
head -c "$(stat -c %s "$picture")" "$work/carrier.png" | cmp -s - "$picture" \
    || fail "the carrier does not begin with the picture"

# The installed bash completion offers the commands of the installed program.
offered="$(bash -c 'source "$1"; COMP_WORDS=(lumora-cli pas); COMP_CWORD=1; _lumora_cli
                    echo "${COMPREPLY[*]}"' bash "$prefix/share/bash-completion/completions/lumora-cli")"
[ "$offered" = passwd ] || fail "the bash completion offers '$offered' for 'pas'"

# A translated caption in the shipped file must reach the user's copy.
sed -i 's/^btnHide_Caption=.*/btnHide_Caption=Verstecken/' "$prefix/share/lumora/lang/English.ini"
grep -q '^btnHide_Caption=Verstecken' "$prefix/share/lumora/lang/English.ini" \
    || fail "the shipped language file has no btnHide_Caption"
"$photograph" "$work/start.png" true "$prefix/bin/lumora" \
    || fail "the installed lumora did not start"
[ -s "$work/start.png" ] || fail "the installed lumora showed no window"
[ -s "$XDG_CONFIG_HOME/lumora/lang/English.ini" ] \
    || fail "no language file in the per-user folder"
[ ! -e "$prefix/bin/lang" ] || fail "the installed lumora wrote beside itself"
[ ! -e "$prefix/bin/cache" ] || fail "the installed lumora made a cache beside itself"
grep -q '^\[TfrmMain\]' "$XDG_CONFIG_HOME/lumora/lang/English.ini" \
    || fail "the language file lacks the main window's section"
# The shipped file is complete, so the first run copies it and has nothing to add.
cmp -s "$prefix/share/lumora/lang/English.ini" "$XDG_CONFIG_HOME/lumora/lang/English.ini" \
    || fail "the user's language file differs from the shipped default"
# The preview of a red square, which only the helper decodes: all its pixels on screen,
# small enough that the question a picture opened from outside asks leaves it whole.
convert -size 60x60 xc:'#ff0000' "$work/red.png"
red_square='convert "$1" -format %c histogram:info:- | grep -q "^ *3600: .*#FF0000"'
"$photograph" "$work/preview.png" "$red_square" "$prefix/bin/lumora" "$work/red.png" \
    || fail "the installed lumora showed no preview: is its helper found?"
echo "installed copy works"
