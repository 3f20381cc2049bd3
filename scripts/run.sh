#!/usr/bin/env bash
# Builds Mallow and starts it. Without a display it runs under a virtual one, writes a
# screenshot of the window to build/mallow-screenshot.png and closes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/bin/mallow
fi
shot="$PWD/build/mallow-screenshot.png"
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
    build/bin/mallow & pid=$!
    sleep 4
    build/bin/grabscreen "$1"
    kill $pid; wait $pid 2>/dev/null || true' _ "$shot"
echo "Mallow ran under a virtual display; a screenshot of its window is at $shot"
