#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses the installed programs with HOME and
# XDG_DATA_HOME in a temporary folder: the per-user folder is made with the default settings,
# a run's history slots land there, and the installed tree is left exactly as installed.
# Usage: install_test.sh BUILD_DIR INSTALL_CHECK_EXECUTABLE
set -euo pipefail
build=$1
check=$2
tmp=$(mktemp -d)
trap 'kill "${gui:-}" 2>/dev/null || true; rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/vexlopro bin/vexlopro-cli share/vexlopro/vexlopro.ini share/vexlopro/help.txt \
         share/vexlopro/MSWordTesting.doc share/vexlopro/TextFileTesting.txt \
         share/applications/io.github.vexlopro.VexloPro.desktop \
         share/metainfo/io.github.vexlopro.VexloPro.metainfo.xml \
         share/icons/hicolor/scalable/apps/io.github.vexlopro.VexloPro.svg \
         share/icons/hicolor/48x48/apps/io.github.vexlopro.VexloPro.png \
         share/icons/hicolor/256x256/apps/io.github.vexlopro.VexloPro.png \
         share/man/man1/vexlopro.1.gz share/man/man1/vexlopro-cli.1.gz \
         share/bash-completion/completions/vexlopro-cli share/zsh/vendor-completions/_vexlopro-cli \
         share/fish/vendor_completions.d/vexlopro-cli.fish share/doc/vexlopro/copyright; do
    [ -f "$prefix/$f" ] || fail "$f not installed"
done
grep -q "WordNet" "$prefix/share/doc/vexlopro/copyright" || fail "no WordNet notice"
# Nothing but the two programs in bin/.
[ "$(ls "$prefix/bin" | tr '\n' ' ')" = "vexlopro vexlopro-cli " ] || fail "bin holds $(ls "$prefix/bin")"

snapshot() { (cd "$prefix" && find . -printf '%p %s %m %T@\n' | sort); }
before=$(snapshot)

[ "$("$prefix/bin/vexlopro-cli" --version)" = "vexlopro-cli $(cat "$build/version.txt")" ] ||
    fail "installed vexlopro-cli --version"

export HOME=$tmp/home XDG_DATA_HOME=$tmp/data QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"
user=$XDG_DATA_HOME/vexlopro

# The installed program itself: its start makes the per-user folder with the default settings.
"$prefix/bin/vexlopro" >"$tmp/gui.log" 2>&1 &
gui=$!
# Waits for the program to get that far (bounded only so that a broken start cannot hang CI).
for _ in $(seq 1200); do
    [ -f "$user/vexlopro.ini" ] && break
    kill -0 "$gui" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$gui" 2>/dev/null || { cat "$tmp/gui.log" >&2; fail "vexlopro ended at its start"; }
kill "$gui"
wait "$gui" 2>/dev/null || true
gui=
cmp "$user/vexlopro.ini" "$prefix/share/vexlopro/vexlopro.ini" || fail "per-user settings differ from the default"
[ "$(stat -c %a "$user")" = 700 ] || fail "per-user folder is $(stat -c %a "$user")"

# A run through the main window from the installed bin folder: the history slots and the
# settings changes land in the per-user folder.
printf 'foo\n' >"$tmp/target.txt"
folder=$("$check" "$prefix/bin" "$tmp/target.txt")
[ "$folder" = "$user" ] || fail "program folder $folder"
[ "$(cat "$tmp/target.txt")" = "$(printf 'bar\r')" ] || fail "target not rewritten"
[ "$(cat "$user/WhatToFind0.vexlopro")" = "$(printf 'foo\r')" ] || fail "no find history in $user"
[ "$(cat "$user/ReplaceWith0.vexlopro")" = "$(printf 'bar\r')" ] || fail "no replace history in $user"

# The installed tree is as it was installed.
[ "$before" = "$(snapshot)" ] || { diff <(echo "$before") <(snapshot) >&2; fail "the install tree changed"; }
echo "install test passed"
