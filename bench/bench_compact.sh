#!/usr/bin/env bash
# Compacting a 500 MB database with half its pages free where it lies, as Mallow does, against
# the sqlite3 tool's in-place VACUUM of a copy of the same file, in one run. Goal: at most 1.0.
# Both keep SQLite's rollback journal and its flushes, so that a crash or a power cut leaves the
# old or the new content; the engine also runs integrity_check over the result. Each run starts
# from a fresh copy of the same file for each side, with the disk cache emptied of nothing in
# particular (a sync before each timing), and the two alternate which goes first.
# Usage: bench_compact.sh [BUILD] [WORKFOLDER]; the work folder must be on a real disk (not tmpfs).
set -euo pipefail
build="$(cd "${1:-$(dirname "$0")/../build}" && pwd)"
work="${2:-$build/bench-compact}"
runs="${RUNS:-5}"
rm -rf "$work"; mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
python3 - "$build/bin/compact_driver" "$work" "$runs" <<'PY'
import os, shutil, statistics, subprocess, sys, time
driver, work, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
source = os.path.join(work, "sales.mdb")

# 1,000,000 rows of about 500 bytes; runs of 64 rows deleted in turn free whole pages, so that
# about half the pages end on the free list.
subprocess.run(["sqlite3", source], check=True, text=True, input="""
PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;
CREATE TABLE Items (ID INTEGER PRIMARY KEY, Name TEXT, Notes TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000)
INSERT INTO Items (Name, Notes) SELECT 'item ' || i, hex(randomblob(240)) FROM n;
DELETE FROM Items WHERE (ID / 64) % 2 = 1;
""", stdout=subprocess.DEVNULL)
pages = subprocess.run(["sqlite3", source, "PRAGMA page_count; PRAGMA freelist_count;"],
                       check=True, capture_output=True, text=True).stdout.split()
print(f"database {os.path.getsize(source) / 1e6:.0f} MB, {pages[0]} pages, {pages[1]} free")

def timed(command):
    subprocess.run(["sync"], check=True)
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start

ours, theirs = [], []
mine, tool = os.path.join(work, "ours.mdb"), os.path.join(work, "theirs.mdb")
for run in range(runs):
    shutil.copyfile(source, mine)
    shutil.copyfile(source, tool)
    jobs = [("ours", [driver, "inplace", mine]), ("theirs", ["sqlite3", tool, "VACUUM"])]
    for name, command in (jobs if run % 2 == 0 else jobs[::-1]):
        (ours if name == "ours" else theirs).append(timed(command))
    sizes = os.path.getsize(mine), os.path.getsize(tool)
    assert sizes[0] == sizes[1], sizes
    print(f"run {run + 1}: engine in place {ours[-1]:.2f} s, sqlite3 VACUUM {theirs[-1]:.2f} s, "
          f"both {sizes[0] / 1e6:.0f} MB after")

o, t = statistics.median(ours), statistics.median(theirs)
print(f"median: engine CompactDatabaseInPlace (with integrity_check) {o:.2f} s, "
      f"sqlite3 VACUUM {t:.2f} s -> ratio {o / t:.2f} (goal: at most 1.00)")
PY
