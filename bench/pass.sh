#!/usr/bin/env bash
# The maintenance pass over 200 small databases against CompactApplication in a plain loop.
# Usage: pass.sh [BUILD] [WORKFOLDER]; the work folder must be on a real disk (not tmpfs).
set -euo pipefail
build="$(cd "${1:-$(dirname "$0")/../build}" && pwd)"
"$build/bin/bench_pass" "${2:-$build/bench-pass}"
