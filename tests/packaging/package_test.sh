#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, unpacks it into a throwaway root, runs its
# post-install and post-removal scripts there (DPKG_ROOT), checks who owns and may change what
# it installed, upgrades a program folder of the older layout (configuration database and
# registry in the program folder, the folder writable by the group), and starts the installed
# programs on the installed configuration database: the pass as its service user, the window
# under a virtual display.
# Usage: package_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(mktemp -d)
display_pid=""
program_pid=""
intruder=""
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
    [ -n "$intruder" ] && userdel "$intruder" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
as() { local user=$1; shift; setpriv --reuid="$user" --regid="$(id -g "$user")" --init-groups "$@"; }

cmake --build "$build" --target package >/dev/null
deb=$(ls "$build"/packages/mallow_*.deb)

if command -v lintian >/dev/null; then
    errors=$(lintian "$deb" 2>/dev/null | grep '^E:' || true)
    [ -z "$errors" ] || fail "lintian: $errors"
fi

chmod 0755 "$root"
dpkg-deb -x "$deb" "$root"
folder="$root/opt/mallow"
state="$root/var/lib/mallow"
for f in mallow mallow-run mallowdb regsvr Compact20.mdb.dist Mallow.ico libquillon.so \
    help/index.html mallow.conf; do
    [ -e "$folder/$f" ] || fail "$f is not in the program folder"
done
grep -qx 'StateFolder=../../var/lib/mallow' "$folder/mallow.conf" || fail "mallow.conf"
[ "$(readlink "$root/usr/bin/mallow")" = /opt/mallow/mallow ] || fail "no /usr/bin/mallow link"
desktop-file-validate "$root/usr/share/applications/mallow.desktop" || fail "desktop entry"
grep -q '^Categories=System;' "$root/usr/share/applications/mallow.desktop" || fail "category"
[ -f "$root/usr/share/icons/hicolor/48x48/apps/mallow.png" ] || fail "no icon in the theme"
for unit in mallow-run.service mallow-run.timer; do
    [ -f "$root/lib/systemd/system/$unit" ] || fail "no $unit"
done
service="$root/lib/systemd/system/mallow-run.service"
grep -q '^ExecStart=/opt/mallow/mallow-run$' "$service" ||
    fail "the service does not start the installed pass"
grep -q '^User=mallow$' "$service" || fail "the service does not run as the user mallow"
grep -q '^ReadWritePaths=/var/lib/mallow$' "$service" || fail "the service may not write its state"
score=$(systemd-analyze security --offline=true "$service" 2>/dev/null |
    sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
[ -n "$score" ] || fail "systemd-analyze gave no exposure level"
awk -v s="$score" 'BEGIN { exit !(s <= 3.0) }' || fail "the service's exposure is $score"

control=$(mktemp -d "$root/control.XXXX")
dpkg-deb -e "$deb" "$control"

# Who owns and may change what: the program folder is root's alone, the state folder the
# group's, the stored passwords no one else's.
check_modes() {
    [ "$(stat -c %U:%G:%a "$folder")" = root:root:755 ] || fail "program folder $(stat -c %U:%G:%a "$folder")"
    local loose
    loose=$(find "$folder" \( ! -user root -o ! -group root -o \( -perm /022 ! -type l \) \) -print)
    [ -z "$loose" ] || fail "under the program folder, not root's alone: $loose"
    [ "$(stat -c %U:%G:%a "$state")" = root:mallow:2770 ] || fail "state folder $(stat -c %U:%G:%a "$state")"
    [ "$(stat -c %U:%G:%a "$state/Compact20.mdb")" = root:mallow:660 ] ||
        fail "configuration database $(stat -c %U:%G:%a "$state/Compact20.mdb")"
    [ "$(stat -c %U:%G:%a "$state/registry")" = root:root:644 ] ||
        fail "registry store $(stat -c %U:%G:%a "$state/registry")"
    grep -q 'Quillon.tCal' "$state/registry" || fail "the calendar library is not registered"
}

DPKG_ROOT="$root" sh "$control/postinst" configure || fail "postinst"
check_modes
getent passwd mallow >/dev/null || fail "no system user mallow"
[ "$(id -gn mallow)" = mallow ] || fail "the user mallow is not in its group"

# A member of the group can add nothing to the program folder; a user outside it reads
# nothing of the state folder.
if [ "$(id -u)" = 0 ]; then
    intruder=mallowprobe$$
    useradd --no-create-home --shell /usr/sbin/nologin -G mallow "$intruder"
    if as "$intruder" sh -c "echo '[Paths]' > '$folder/qt.conf'" 2>/dev/null; then
        fail "a member of the group could add qt.conf to the program folder"
    fi
    as "$intruder" sqlite3 "$state/Compact20.mdb" "SELECT count(*) FROM Apps" >/dev/null ||
        fail "a member of the group cannot read the configuration database"
    if as nobody sqlite3 -readonly "$state/Compact20.mdb" "SELECT * FROM Apps" 2>/dev/null; then
        fail "a user outside the group read the stored passwords"
    fi
else
    echo "not root: the checks as other users are skipped"
fi

# An upgrade keeps the configuration database as it is.
sqlite3 "$state/Compact20.mdb" "INSERT INTO Apps (App, Password) VALUES ('/srv/kept.mdb', 'pw')"
DPKG_ROOT="$root" sh "$control/postinst" configure
[ "$(sqlite3 "$state/Compact20.mdb" "SELECT count(*) FROM Apps")" = 1 ] ||
    fail "an upgrade replaced the configuration database"
check_modes

# An upgrade from the older layout moves the configuration database and the registry store
# to the state folder, keeping their content, and sets aside what the group added.
mv "$state/Compact20.mdb" "$folder/Compact20.mdb"
mv "$state/registry" "$folder/registry"
mallowdb_registry() { MALLOW_REGISTRY="$folder/registry" "$folder/mallowdb" "$@"; }
mallowdb_registry registry-set HKEY_LOCAL_MACHINE 'Software\Mallow\Test' Kept yes
chgrp mallow "$folder" "$folder/Compact20.mdb"
chmod 3775 "$folder"
chmod 0664 "$folder/Compact20.mdb"
rm -rf "$state"
if [ -n "$intruder" ]; then
    as "$intruder" sh -c "printf '[Paths]\nPlugins=/tmp\n' > '$folder/qt.conf'"
fi
DPKG_ROOT="$root" sh "$control/postinst" configure || fail "postinst of an upgrade"
check_modes
[ "$(sqlite3 "$state/Compact20.mdb" "SELECT App FROM Apps")" = /srv/kept.mdb ] ||
    fail "the upgrade lost the configuration database's content"
[ ! -e "$folder/Compact20.mdb" ] && [ ! -e "$folder/registry" ] ||
    fail "the upgrade left the older files in the program folder"
[ "$(MALLOW_REGISTRY="$state/registry" "$folder/mallowdb" registry-get HKEY_LOCAL_MACHINE \
    'Software\Mallow\Test' Kept)" = yes ] || fail "the upgrade lost the registry store's values"
if [ -n "$intruder" ]; then
    [ ! -e "$folder/qt.conf" ] || fail "the upgrade left the group's qt.conf in the program folder"
    ls "$state/from-program-folder/" | grep -q '^qt\.conf\.' || fail "qt.conf was not set aside"
fi

# The installed programs run on the installed configuration database: the pass as its
# service user, with the service's mask.
"$folder/mallow-run" --help >/dev/null || fail "mallow-run --help"
sqlite3 "$state/Compact20.mdb" "DELETE FROM Apps"
if [ "$(id -u)" = 0 ]; then
    as mallow sh -c "umask 0007; '$folder/mallow-run'" >/dev/null ||
        fail "mallow-run as the user mallow over no databases"
else
    "$folder/mallow-run" >/dev/null || fail "mallow-run over no databases"
fi
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
# The window holds its configuration database open: its lock file is there meanwhile, no more
# open than the database.
[ -f "$state/Compact20.ldb" ] || fail "the window did not open the installed database"
[ "$(stat -c %a "$state/Compact20.ldb")" = 660 ] || fail "lock file $(stat -c %a "$state/Compact20.ldb")"
kill "$program_pid"; wait "$program_pid" 2>/dev/null || true; program_pid=""

# Removal keeps the configuration database; purge removes it.
DPKG_ROOT="$root" sh "$control/postrm" remove
[ -f "$state/Compact20.mdb" ] || fail "removal deleted the configuration database"
DPKG_ROOT="$root" sh "$control/postrm" purge
[ ! -e "$state/Compact20.mdb" ] || fail "purge kept the configuration database"
echo "package checked: $deb"
