#!/bin/sh
# Runs a test program on the X display that xvfb-run gives it, with a notification-area host
# (trayer) up, so that the program sees a system tray as a desktop user does.
set -u
trayer --edge bottom --align right --widthtype pixel --width 200 --heighttype pixel --height 24 &
tray=$!
QT_QPA_PLATFORM=xcb "$@"
status=$?
kill "$tray" 2>/dev/null
wait "$tray" 2>/dev/null
exit "$status"
