#!/usr/bin/env bash
# GetUserInfo with 1, 10 and 100 handles held open on the test server, against the server
# calls it must make measured alone in the same run (goal: with 100 handles under 1 s and at
# most 1.5 times the calls). Needs root (the test server listens on port 445).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
fixture="$here/../tests/fixtures/samba"
state="$(mktemp -d)"
trap 'bash "$fixture/stop.sh" "$state"; rm -rf "$state"' EXIT
bash "$fixture/start.sh" "$state" >/dev/null
export USER=root PASSWD="${MALLOW_SAMBA_PASSWORD:-mallow-test}"
printf 'username = root\npassword = %s\n' "$PASSWD" > "$state/credentials"
chmod 600 "$state/credentials"
export MALLOW_SMB_CREDENTIALS="$state/credentials"
"$build/bin/bench_multiuser"
