#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Makes the Debian package from a build folder and uses it as a user would: lintian finds
# no error in it, "apt-get install ./lumora_*.deb" installs it, the installed lumora-cli
# hides and reveals a file, the installed lumora starts under a virtual X server and shows
# a picture's preview through the packaged helper. The
# package is purged again however the test ends. It changes the system, so it needs
# root (CI runs it as root) and skips otherwise.
#
#   check-package.sh BUILD_DIR PICTURE
set -euo pipefail
build="$1"
picture="$2"

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
photograph="$(cd "$(dirname "$0")/../support" && pwd)/photograph-program.sh"

[ "$(id -u)" -eq 0 ] || skip "installing the package needs root; CI runs this test as root"
for tool in apt-get dpkg-query cpack lintian xvfb-run import convert; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup installs it)"
done
if dpkg-query -W -f='${Status}' lumora 2>/dev/null | grep -q "install ok installed"; then
    skip "a lumora package is installed on this system already; it is left alone"
fi

work="$(mktemp -d)"
purge() {
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=300 lumora \
        >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap purge EXIT
trap 'exit 130' INT TERM HUP

(cd "$build" && cpack -G DEB -B "$work" >/dev/null) || fail "cpack could not make the package"
deb="$(ls "$work"/lumora_*_*.deb)"
case "$(basename "$deb")" in
    lumora_[0-9]*.[0-9]*_amd64.deb | lumora_[0-9]*.[0-9]*_"$(dpkg --print-architecture)".deb) ;;
    *) fail "unexpected package name $(basename "$deb")" ;;
esac
if ! lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1; then
    cat "$work/lintian.log" >&2
    fail "lintian reports errors"
fi

(cd "$work" && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    -o DPkg::Lock::Timeout=300 "./$(basename "$deb")" >/dev/null) || fail "apt-get install"
for f in /usr/bin/lumora /usr/bin/lumora-cli /usr/libexec/lumora/lumora-preview \
         /usr/share/man/man1/lumora.1.gz \
         /usr/share/man/man1/lumora-cli.1.gz /usr/share/doc/lumora/copyright \
         /usr/share/doc/lumora/changelog.gz /usr/share/applications/lumora.desktop \
         /usr/share/lumora/lang/English.ini /usr/share/lumora/lang/German.ini \
         /usr/share/lumora/help/index.html /usr/share/metainfo/io.github.lumora.Lumora.metainfo.xml \
         /usr/share/bash-completion/completions/lumora-cli \
         /usr/share/zsh/vendor-completions/_lumora-cli \
         /usr/share/fish/vendor_completions.d/lumora-cli.fish; do
    [ -e "$f" ] || fail "$f is not installed"
done
[ "$(lumora --version)" = "lumora $(dpkg-query -W -f='${Version}' lumora)" ] ||
    fail "lumora --version does not give the package's version"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_CACHE_HOME="$work/home/cache"
mkdir -p "$HOME"
export LUMORA_PASSWORD="a passphrase for the installed package"
printf 'bytes to hide\n' > "$work/note.txt"
/usr/bin/lumora-cli hide "$picture" -o "$work/carrier.png" -m "from the package" "$work/note.txt"
[ "$(/usr/bin/lumora-cli reveal "$work/carrier.png" -d "$work/out")" = "from the package" ] ||
    fail "the installed lumora-cli revealed another message"
cmp -s "$work/note.txt" "$work/out/note.txt" || fail "the revealed file differs"

"$photograph" "$work/start.png" true /usr/bin/lumora ||
    fail "the installed lumora did not start"
[ -s "$work/start.png" ] || fail "the installed lumora showed no window"
[ -s "$XDG_CONFIG_HOME/lumora/lang/German.ini" ] ||
    fail "the shipped languages did not reach the user's folder"
# The preview of a red square, which only the packaged helper decodes, small enough that
# the question a picture opened from outside asks leaves it whole.
convert -size 60x60 xc:'#ff0000' "$work/red.png"
red_square='convert "$1" -format %c histogram:info:- | grep -q "^ *3600: .*#FF0000"'
"$photograph" "$work/preview.png" "$red_square" /usr/bin/lumora "$work/red.png" ||
    fail "the installed lumora showed no preview: is its helper packaged?"

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=300 lumora \
    >/dev/null || fail "apt-get purge"
[ ! -e /usr/bin/lumora ] || fail "/usr/bin/lumora is still there after the purge"
echo "package $(basename "$deb") installs, works and goes"
