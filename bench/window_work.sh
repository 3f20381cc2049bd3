#!/usr/bin/env bash
# Compact and then Back Up of a 1 GB database (half its rows deleted) clicked in the started
# window, against CompactApplication and BackupApplication called alone on the same database,
# in one run. The two alternate, each on a fresh copy, so that load from elsewhere hits both
# alike; the best run of each counts. Also: the longest time the window went without handling
# events while it worked (worst run). The files lie in memory (/dev/shm) when it has room for
# them, so that the disk's own ups and downs do not drown what the window adds; WORK_DIR names
# another folder.
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
runs="${RUNS:-5}"
size="${SIZE_MB:-1024}"
bench="$build/bin/bench_work"
place="${WORK_DIR:-}"
if [ -z "$place" ]; then
    free_mb=$(df -m --output=avail /dev/shm 2>/dev/null | tail -1 || echo 0)
    if [ "${free_mb:-0}" -gt $((size * 4)) ]; then place=/dev/shm; else place="$build"; fi
fi
work="$(mktemp -d "$place/bench-work.XXXXXX")"
trap 'rm -rf "$work"' EXIT
"$bench" make "$work" "$size"
echo "database: $(du -m "$work/source.mdb" | cut -f1) MB, half its rows deleted, in $place"
windows=(); directs=(); gaps=()
for _ in $(seq 1 "$runs"); do
    read -r _ w _ g < <(QT_QPA_PLATFORM=offscreen "$bench" window "$work" 2>/dev/null)
    read -r _ d < <("$bench" direct "$work" 2>/dev/null)
    windows+=("$w"); directs+=("$d"); gaps+=("$g")
done
python3 - "${windows[*]}" "${directs[*]}" "${gaps[*]}" <<'PY'
import statistics, sys
window, direct, gaps = ([float(x) for x in arg.split()] for arg in sys.argv[1:])
print(f"Compact + Back Up in the window         best {min(window):7.1f} ms   median {statistics.median(window):7.1f} ms")
print(f"CompactApplication + BackupApplication  best {min(direct):7.1f} ms   median {statistics.median(direct):7.1f} ms")
print(f"ratio window / alone: best {min(window) / min(direct):.3f}, median "
      f"{statistics.median(window) / statistics.median(direct):.3f} (goal: at most 1.02)")
print(f"longest time the window went without handling events: {max(gaps):.0f} ms, worst run "
      f"(goal: at most 100)")
PY
