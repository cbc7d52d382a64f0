#!/usr/bin/env bash
# The Debian package made from a build tree: lintian finds no errors, and
# extracted to a scratch root it runs as an installed tool for a new user.
# Usage: package-test.sh BUILD_DIR
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
gui=""
trap '[ -n "$gui" ] && kill "$gui" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

deb="$(bash "$root/scripts/package.sh" "$1" "$work" | tail -1)"
lintian --fail-on error "$deb" || fail "lintian reports errors"
dpkg-deb -x "$deb" "$work/root"
usr="$work/root/usr" version="$(dpkg-deb -f "$deb" Version)"
for p in KyCameraTool kycamctl kycam-db kycam-emulator; do
    [ "$("$usr/bin/$p" --version)" = "$p $version" ] || fail "$p --version"
    MANPAGER=cat MANWIDTH=80 man -l "$usr/share/man/man1/$p.1.gz" 2>&1 | grep -q "^NAME" || fail "man page of $p"
done

# Completion: the commands, and the page names the extracted program lists.
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _kycamctl; echo " ${COMPREPLY[*]} "' \
        _ "$usr/share/bash-completion/completions/kycamctl" "$@"
}
[[ $(complete_words kycamctl g) == *" get "* ]] || fail "completion of get"
[[ $(complete_words "$usr/bin/kycamctl" get n) == " net ntp " ]] || fail "completion of page names"
[[ $(complete_words "$usr/bin/kycamctl" set ntp ntps) == " ntpserver= " ]] || fail "completion of fields"

# A new user: the GUI makes its own files, the database from the template.
home="$work/home"
mkdir -p "$home"
env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen KYCAM_TRACE=1 \
    "$usr/bin/KyCameraTool" >"$work/gui.log" 2>&1 &
gui=$!
for _ in $(seq 300); do grep -q "main window" "$work/gui.log" && break; sleep 0.1; done
grep -q "main window shown" "$work/gui.log" || { cat "$work/gui.log"; fail "no main window"; }
c="$home/.config/kycameratool" d="$home/.local/share/kycameratool"
modes="$(stat -c %a "$c" "$c/settings.ini" "$d" "$d/db.dat" 2>&1 | tr '\n' ' ')"
[ "$modes" = "700 644 700 600 " ] || fail "per-user file modes: $modes"
cmp -s "$usr/share/kycameratool/db.dat" "$d/db.dat" || fail "db.dat is not the template"
grep -qx "SnapFiles=$home/Pictures" "$c/settings.ini" || fail "snapshot folder"
# The offered language file, once the user copies it, makes the tool Chinese.
[ -s "$usr/share/kycameratool/languages/lang_chn.dat" ] || fail "no offered lang_chn.dat"
echo "package test passed: $(basename "$deb")"
