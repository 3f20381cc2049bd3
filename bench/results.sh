#!/usr/bin/env bash
# The Results tab filling its grid with 100,000 compact-log rows (Refresh in the started window)
# against the sqlite3 command-line tool running the same query to /dev/null, in one run. The two
# alternate so that load from elsewhere hits both alike; the best of several runs counts, by
# wall-clock time and by processor time. The first fill of a fresh window is shown apart: it
# is the one that first takes the memory of the grid's cells. Last, one day of the same log read
# by the window's statement, against the statement that compares the day of every row's time.
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
runs="${RUNS:-5}"
bench="$build/bin/bench_results"
work="$(mktemp -d "$build/bench-results.XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$bench" make "$work" 100000
day="$("$bench" day "$work" | sed -n 's/^one_day_ms \(.*\) by_format_ms \(.*\)$/\1 ms, against \2 ms/p')"

python3 - "$runs" "$bench" "$work" "$day" <<'PY'
import os, subprocess, sys, time

runs, bench, folder, day = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
# The window's query in SQLite's own dialect: the same columns, the same rows (every
# application, the days from 1 January 2024 to 31 December 2030), newest first.
query = ('SELECT "Event ID" AS ID, Application AS App, Successful, "Size Before", '
         '"Size After", TimeLogged AS Logged, Comments FROM Log '
         "WHERE Application LIKE '%' AND TimeLogged >= 45292 AND TimeLogged < 47849 "
         'ORDER BY TimeLogged DESC')
sqlite = [float("inf"), float("inf")]
first = [float("inf"), float("inf")]
later = [float("inf"), float("inf")]
extra = {}
memory = {}
with open(os.devnull, "wb") as null:
    for _ in range(runs):
        start = time.perf_counter()
        child = subprocess.Popen(["sqlite3", f"{folder}/Compact20.mdb", query], stdout=null)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
        if status != 0:
            sys.exit("sqlite3 failed")
        sqlite = [min(sqlite[0], wall * 1000), min(sqlite[1], (usage.ru_utime + usage.ru_stime) * 1000)]

        out = subprocess.run([bench, "fill", folder, "3"], capture_output=True, text=True,
                             check=True).stdout
        for line in out.splitlines():
            words = line.split()
            if words[0] == "started":
                memory["started"] = float(words[2])
            if words[0] == "fill" and words[1] == "0":
                memory["first"] = float(words[7])
            if words[0] == "fill":
                wall, cpu = float(words[3]), float(words[5])
                best = first if words[1] == "0" else later
                best[0], best[1] = min(best[0], wall), min(best[1], cpu)
            elif words[0] in ("longest_gap_ms", "stop_key_after_ms", "clock_updates", "rows"):
                value = float(words[1])
                extra[words[0]] = max(extra.get(words[0], value), value)

print(f"sqlite3 to /dev/null                 wall {sqlite[0]:7.1f} ms   cpu {sqlite[1]:7.1f} ms")
print(f"Refresh, 100,000 rows (later fills)  wall {later[0]:7.1f} ms   cpu {later[1]:7.1f} ms")
print(f"Refresh, first fill of a new window  wall {first[0]:7.1f} ms   cpu {first[1]:7.1f} ms")
print(f"ratio fill / sqlite3: wall {later[0] / sqlite[0]:.2f}, cpu {later[1] / sqlite[1]:.2f}; "
      f"first fill: wall {first[0] / sqlite[0]:.2f}, cpu {first[1] / sqlite[1]:.2f} "
      f"(goal: at most 3.00)")
print(f"during the fills (worst run): longest time without handling events "
      f"{extra['longest_gap_ms']:.0f} ms; Ctrl+S handled {extra['stop_key_after_ms']:.0f} ms "
      f"after the fill began; clock updates seen {extra['clock_updates']:.0f}")
# What new memory costs on this machine: the first fill takes the memory of its cells afresh.
start = time.perf_counter()
block = bytearray(100 << 20)
for at in range(0, len(block), 4096):
    block[at] = 1
touch = (time.perf_counter() - start) * 1000
print(f"the first fill grew the window by {memory['first'] - memory['started']:.0f} MB; "
      f"writing 100 MB of new memory takes {touch:.0f} ms here")
print(f"one day of that log (100 rows) by the window's statement: {day} when the day of "
      f"every row's time is compared instead")
PY
