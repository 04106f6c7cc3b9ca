#!/usr/bin/env bash
# `cmake --install` into a fresh prefix gives the program, a valid desktop entry that starts it,
# and its icon in every hicolor size.
# Usage: install_test.sh CMAKE BUILD_FOLDER
set -euo pipefail
cmake=$1
build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
[ -x "$prefix/bin/lantra" ] || fail "no bin/lantra"
entry=$prefix/share/applications/lantra.desktop
[ -f "$entry" ] || fail "no desktop entry"
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
grep -qx 'Exec=lantra' "$entry" || fail "the desktop entry does not start lantra"
grep -qx 'Icon=lantra' "$entry" || fail "the desktop entry names another icon"
grep -qx 'Categories=Utility;' "$entry" || fail "the desktop entry is not under Utility"
for size in 16 32 48 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/lantra.png
  [ -f "$icon" ] || fail "no ${size}x${size} icon"
  # The PNG header holds the width and the height, 4 bytes each, at offset 16.
  [ "$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')" = "$(printf '%08x%08x' "$size" "$size")" ] ||
    fail "the ${size}x${size} icon has another size"
done
[ -f "$prefix/share/icons/hicolor/scalable/apps/lantra.svg" ] || fail "no scalable icon"
echo "install: ok"
