#!/usr/bin/env bash
# Back-up benchmarks, each against a system tool in the same run:
#  - backing up a 1 GB database against cp of the same file followed by sync of the copy
#    (a back-up counts only once it is on disk; goal: at most 1.05 times as long), with and
#    without an expired copy to delete;
#  - the same back-up on an XFS file system with shared extents (reflinks), made on a loop
#    device when the benchmark runs as root: the data need not be copied (goal: under 0.1 s);
#  - retention over a folder of 100,000 files, 1,000 of them expired back-ups, against find.
# Usage: backup.sh [BUILD] [WORKFOLDER]; the work folder must be on a real disk (not tmpfs).
set -euo pipefail
build="$(cd "${1:-$(dirname "$0")/../build}" && pwd)"
work="${2:-$build/bench-backup}"
rm -rf "$work"; mkdir -p "$work/src" "$work/backups" "$work/cp" "$work/many"
trap 'rm -rf "$work"' EXIT
python3 - "$build/bin/backup_driver" "$work" <<'PY'
import datetime, os, shutil, sqlite3, statistics, subprocess, sys, time
driver, work = sys.argv[1], sys.argv[2]

def timed(command):
    start = time.perf_counter()
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start

# 1 GB database: 1,024 rows of 1 MB.
source = os.path.join(work, "src", "sales.mdb")
db = sqlite3.connect(source)
db.execute("CREATE TABLE Items (ID INTEGER PRIMARY KEY, Data BLOB)")
for _ in range(16):
    db.execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 64) "
               "INSERT INTO Items (Data) SELECT randomblob(1048576) FROM n")
    db.commit()
db.close()
size = os.path.getsize(source)

def clear(folder):
    for name in os.listdir(folder):
        if not name.startswith("."):
            os.remove(os.path.join(folder, name))

# Without expired copies the back-up is a plain copy; with one, the new copy is flushed to disk
# before the old one goes, and the same run times cp followed by a flush of its copy.
backups, cpdir = os.path.join(work, "backups"), os.path.join(work, "cp")
expired_name = "sales" + (datetime.date.today() - datetime.timedelta(days=30)).strftime("%m-%d-%Y") + ".mdb"
for with_expired in (False, True):
    ours, theirs = [], []
    for run in range(7):
        clear(backups)
        clear(cpdir)
        if with_expired:
            open(os.path.join(backups, expired_name), "w").close()
        subprocess.run(["sync"])
        target = os.path.join(cpdir, "sales.mdb")
        reference = ["sh", "-c", 'cp "$1" "$2" && sync "$2"', "sh", source, target]
        jobs = [(ours, [driver, "backup", source, backups]), (theirs, reference)]
        for times, command in (jobs if run % 2 == 0 else jobs[::-1]):
            times.append(timed(command))
            subprocess.run(["sync"])
        if with_expired:
            assert not os.path.exists(os.path.join(backups, expired_name))
    o, t = statistics.median(ours), statistics.median(theirs)
    what = ("with an expired copy to delete" if with_expired else "nothing to delete") + \
        ", vs cp + sync of the copy"
    print(f"back-up of {size / 2**30:.2f} GiB, {what}: Mallow {o:.3f} s, reference {t:.3f} s "
          f"-> ratio {o / t:.2f}  (runs: {' '.join(f'{x:.2f}' for x in ours)} | "
          f"{' '.join(f'{x:.2f}' for x in theirs)})")

# The same back-up where the file system shares extents: XFS with reflinks on a loop device.
xfs = os.path.join(work, "xfs")
image = os.path.join(work, "xfs.img")
if os.geteuid() != 0 or not shutil.which("mkfs.xfs"):
    print("reflink back-up: skipped (needs root and mkfs.xfs from xfsprogs)")
else:
    os.makedirs(xfs, exist_ok=True)
    subprocess.run(["truncate", "-s", "4G", image], check=True)
    device = subprocess.run(["losetup", "-f", "--show", image], check=True, capture_output=True,
                            text=True).stdout.strip()
    try:
        subprocess.run(["mkfs.xfs", "-q", "-m", "reflink=1", device], check=True)
        subprocess.run(["mount", device, xfs], check=True)
        try:
            os.makedirs(os.path.join(xfs, "src"))
            os.makedirs(os.path.join(xfs, "backups"))
            xsource = os.path.join(xfs, "src", "sales.mdb")
            shutil.copyfile(source, xsource)
            subprocess.run(["sync"], check=True)
            times = []
            for run in range(5):
                clear(os.path.join(xfs, "backups"))
                subprocess.run(["sync"], check=True)
                times.append(timed([driver, "backup", xsource, os.path.join(xfs, "backups")]))
            print(f"back-up of {size / 2**30:.2f} GiB on XFS with reflinks: Mallow "
                  f"{statistics.median(times):.3f} s (goal: under 0.1 s; runs: "
                  f"{' '.join(f'{x:.3f}' for x in times)})")
        finally:
            subprocess.run(["umount", xfs])
    finally:
        subprocess.run(["losetup", "-d", device])
        os.remove(image)

# Retention: 99,000 other files and 1,000 expired back-ups of sales.
many = os.path.join(work, "many")
for i in range(99000):
    open(os.path.join(many, f"other{i:06d}.txt"), "w").close()
old = datetime.date.today() - datetime.timedelta(days=30)
def expired():
    for i in range(1000):
        day = old - datetime.timedelta(days=i)
        open(os.path.join(many, "sales" + day.strftime("%m-%d-%Y") + ".mdb"), "w").close()
ours, theirs = [], []
for _ in range(5):
    expired()
    subprocess.run(["sync"])
    ours.append(timed([driver, "retention", many, "sales"]))
    left = [n for n in os.listdir(many) if n.startswith("sales")]
    assert not left, f"{len(left)} expired back-ups left"
    theirs.append(timed(["find", many]))
o, t = statistics.median(ours), statistics.median(theirs)
print(f"retention over 100,000 files (1,000 expired): Mallow {o:.3f} s, find {t:.3f} s "
      f"-> ratio {o / t:.2f}")
PY
