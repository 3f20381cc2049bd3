#!/usr/bin/env bash
# Start-up of Mallow's main window with 1,000 applications, to the window shown, against an
# empty Qt main window, both as whole processes in the same run.
set -euo pipefail
build="$(cd "${1:-$(dirname "$0")/../build}" && pwd)"
runs="${2:-15}"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$build/bin/Compact20.mdb" "$build/bin/Mallow.ico" "$folder/"
python3 - "$folder/Compact20.mdb" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.executemany("INSERT INTO Apps (App, LogUsersOff) VALUES (?, 0)",
               [(f"\\\\server\\share\\dept{i % 37}\\database{i}.mdb",) for i in range(1000)])
db.commit()
PY
# A real window on an X server: without a display, a virtual one for the whole run.
if [ -z "${DISPLAY:-}" ] && [ -z "${MALLOW_IN_XVFB:-}" ]; then
    exec env MALLOW_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x900x24" bash "$0" "$build" "$runs"
fi
export QT_QPA_PLATFORM=xcb
python3 - "$build/bin/startup_probe" "$folder" "$runs" <<'PY'
import statistics, subprocess, sys, time
probe, folder, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
commands = {"mallow": [probe, "mallow", folder], "empty": [probe, "empty"]}
times = {name: [] for name in commands}
for name, command in commands.items():          # one warm-up each
    subprocess.run(command, check=True, stderr=subprocess.DEVNULL)
for _ in range(runs):
    for name, command in commands.items():
        start = time.perf_counter()
        subprocess.run(command, check=True, stderr=subprocess.DEVNULL)
        times[name].append(time.perf_counter() - start)
# The best of the runs is the start-up itself; slower runs measure whatever else the machine did.
m, e = min(times["mallow"]), min(times["empty"])
mm, em = statistics.median(times["mallow"]), statistics.median(times["empty"])
print(f"start-up to window shown, best of {runs}: Mallow with 1,000 applications "
      f"{m * 1000:.1f} ms, empty Qt main window {e * 1000:.1f} ms -> ratio {m / e:.2f} "
      f"(medians {mm * 1000:.1f} and {em * 1000:.1f} ms, ratio {mm / em:.2f})")
PY
