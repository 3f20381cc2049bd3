#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, unpacks it into a throwaway root, runs its
# post-install and post-removal scripts there (DPKG_ROOT), and starts the installed program
# under a virtual display on the installed configuration database.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(mktemp -d)
display_pid=""
program_pid=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --build "$build" --target package >/dev/null
deb=$(ls "$build"/packages/mallow_*.deb)

if command -v lintian >/dev/null; then
    errors=$(lintian "$deb" 2>/dev/null | grep '^E:' || true)
    [ -z "$errors" ] || fail "lintian: $errors"
fi

dpkg-deb -x "$deb" "$root"
folder="$root/opt/mallow"
for f in mallow mallow-run mallowdb regsvr Compact20.mdb.dist Mallow.ico libquillon.so \
    help/index.html; do
    [ -e "$folder/$f" ] || fail "$f is not in the program folder"
done
[ "$(readlink "$root/usr/bin/mallow")" = /opt/mallow/mallow ] || fail "no /usr/bin/mallow link"
desktop-file-validate "$root/usr/share/applications/mallow.desktop" || fail "desktop entry"
grep -q '^Categories=System;' "$root/usr/share/applications/mallow.desktop" || fail "category"
[ -f "$root/usr/share/icons/hicolor/48x48/apps/mallow.png" ] || fail "no icon in the theme"
for unit in mallow-run.service mallow-run.timer; do
    [ -f "$root/lib/systemd/system/$unit" ] || fail "no $unit"
done
grep -q '^ExecStart=/opt/mallow/mallow-run$' "$root/lib/systemd/system/mallow-run.service" ||
    fail "the service does not start the installed pass"

control=$(mktemp -d "$root/control.XXXX")
dpkg-deb -e "$deb" "$control"
DPKG_ROOT="$root" sh "$control/postinst" configure || fail "postinst"
[ -f "$folder/Compact20.mdb" ] || fail "postinst made no configuration database"
[ "$(stat -c %G:%a "$folder/Compact20.mdb")" = mallow:664 ] || fail "database not the group's"
[ "$(stat -c %G:%a "$folder")" = mallow:3775 ] || fail "program folder not the group's"
grep -q 'Quillon.tCal' "$folder/registry" || fail "the calendar library is not registered"

# An upgrade keeps the configuration database as it is.
sqlite3 "$folder/Compact20.mdb" "INSERT INTO Apps (App) VALUES ('/srv/kept.mdb')"
DPKG_ROOT="$root" sh "$control/postinst" configure
[ "$(sqlite3 "$folder/Compact20.mdb" "SELECT count(*) FROM Apps")" = 1 ] ||
    fail "an upgrade replaced the configuration database"

# The installed programs run on the installed configuration database.
"$folder/mallow-run" --help >/dev/null || fail "mallow-run --help"
sqlite3 "$folder/Compact20.mdb" "DELETE FROM Apps"
"$folder/mallow-run" >/dev/null || fail "mallow-run over no databases"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
display_pid=$!
sleep 1
DISPLAY=$display "$folder/mallow" >/dev/null 2>&1 &
program_pid=$!
for _ in $(seq 1 100); do
    DISPLAY=$display xdotool search --name '^Mallow V 2\.1$' >/dev/null 2>&1 && break
    sleep 0.2
done
DISPLAY=$display xdotool search --name '^Mallow V 2\.1$' >/dev/null || fail "no window shown"
# The window holds its configuration database open: its lock file is there meanwhile.
[ -f "$folder/Compact20.ldb" ] || fail "the window did not open the installed database"
kill "$program_pid"; wait "$program_pid" 2>/dev/null || true; program_pid=""

# Removal keeps the configuration database; purge removes it.
DPKG_ROOT="$root" sh "$control/postrm" remove
[ -f "$folder/Compact20.mdb" ] || fail "removal deleted the configuration database"
DPKG_ROOT="$root" sh "$control/postrm" purge
[ ! -e "$folder/Compact20.mdb" ] || fail "purge kept the configuration database"
echo "package checked: $deb"
