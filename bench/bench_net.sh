#!/usr/bin/env bash
# EnumFiles on the test server with 500 files held open, as a whole process (probe, connect,
# enumerate, release), against smbstatus -L listing the same locks, in one run. The two
# alternate so that load from elsewhere hits both alike; the best of several runs counts, by
# wall-clock time. Needs root (the test server listens on port 445).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
runs="${RUNS:-15}"
files="${FILES:-500}"
bench="$build/bin/bench_net"
fixture="$here/../tests/fixtures/samba"
state="$(mktemp -d)"
holder=""
cleanup() {
    [ -n "$holder" ] && { exec 3>&-; wait "$holder" 2>/dev/null || true; }
    bash "$fixture/stop.sh" "$state"
    rm -rf "$state"
}
trap cleanup EXIT
bash "$fixture/start.sh" "$state" >/dev/null

export USER=root PASSWD="${MALLOW_SAMBA_PASSWORD:-mallow-test}"
cat > "$state/credentials" <<CREDENTIALS
username = root
password = $PASSWD
CREDENTIALS
chmod 600 "$state/credentials"
export MALLOW_SMB_CREDENTIALS="$state/credentials"

# The client that holds the files open: reads its "ready", keeps its input open until the end.
mkfifo "$state/hold.in" "$state/hold.out"
"$bench" hold "smb://127.0.0.1/Data/bench" "$files" < "$state/hold.in" > "$state/hold.out" &
holder=$!
exec 3>"$state/hold.in"
read -r -t 120 ready < "$state/hold.out" || { echo "the holding client did not start" >&2; exit 1; }
[ "$ready" = ready ] || { echo "the holding client failed" >&2; exit 1; }

python3 - "$runs" "$bench" "$state/smb.conf" "$files" <<'PY'
import os, subprocess, sys, time

runs, bench, conf, files = int(sys.argv[1]), sys.argv[2], sys.argv[3], int(sys.argv[4])
commands = {
    "enumfiles": [bench, "enumfiles", "127.0.0.1"],
    "smbstatus": ["smbstatus", "-s", conf, "-L"],
}
listed = subprocess.run(commands["enumfiles"], capture_output=True, text=True, check=True)
rows = int(listed.stdout.strip())
locks = subprocess.run(commands["smbstatus"], capture_output=True, text=True, check=True)
lockLines = sum(1 for line in locks.stdout.splitlines() if "/file" in line and ".mdb" in line)
print(f"files held open {files}; EnumFiles rows {rows}; smbstatus -L lock lines {lockLines}")
if rows < files or lockLines < files:
    sys.exit("the two sides do not list the same files")

best = {name: float("inf") for name in commands}
with open(os.devnull, "wb") as null:
    for _ in range(runs):
        for name, argv in commands.items():
            start = time.perf_counter()
            status = subprocess.run(argv, stdout=null, stderr=null).returncode
            wall = time.perf_counter() - start
            if status != 0:
                sys.exit(f"{name} failed")
            best[name] = min(best[name], wall)

print(f"EnumFiles, whole process        {best['enumfiles'] * 1000:7.1f} ms")
print(f"smbstatus -L                    {best['smbstatus'] * 1000:7.1f} ms")
ratio = best["enumfiles"] / best["smbstatus"]
print(f"ratio {ratio:.2f} (limit 1.5)")
PY
