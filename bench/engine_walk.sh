#!/usr/bin/env bash
# Opening a keyset recordset on 100,000 rows and walking it with MoveNext reading every field,
# against the sqlite3 command-line tool printing the same rows to /dev/null, in one run. Each
# side runs as a whole process; the two alternate so that load from elsewhere hits both alike,
# and the best of several runs counts, by wall-clock time and by processor time.
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
runs="${RUNS:-9}"
bench="$build/bin/bench_engine"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
db="$work/Log.mdb"
"$bench" make "$db" 100000

python3 - "$runs" "$bench" "$db" <<'PY'
import os, subprocess, sys, time

runs, bench, db = int(sys.argv[1]), sys.argv[2], sys.argv[3]
commands = {
    "engine": [bench, "walk", db],
    "sqlite3": ["sqlite3", db, "select * from Log"],
}
best = {name: [float("inf"), float("inf")] for name in commands}
with open(os.devnull, "wb") as null:
    for _ in range(runs):
        for name, argv in commands.items():
            start = time.perf_counter()
            child = subprocess.Popen(argv, stdout=null)
            _, status, usage = os.wait4(child.pid, 0)
            wall = time.perf_counter() - start
            if status != 0:
                sys.exit(f"{name} failed")
            cpu = usage.ru_utime + usage.ru_stime
            best[name][0] = min(best[name][0], wall)
            best[name][1] = min(best[name][1], cpu)

for name, label in (("engine", "engine open + walk, every field"),
                    ("sqlite3", "sqlite3 printing to /dev/null")):
    wall, cpu = best[name]
    print(f"{label:34s} wall {wall * 1000:7.1f} ms   cpu {cpu * 1000:7.1f} ms")
ratioWall = best["engine"][0] / best["sqlite3"][0]
ratioCpu = best["engine"][1] / best["sqlite3"][1]
print(f"ratio engine / sqlite3: wall {ratioWall:.2f}, cpu {ratioCpu:.2f} (goal: at most 1.00)")
PY
echo
echo "In-process figure (Google Benchmark, the walk alone on an open connection):"
MALLOW_BENCH_DB="$db" "$bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    2>/dev/null | grep -E "^BM_"
