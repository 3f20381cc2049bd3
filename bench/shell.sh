#!/usr/bin/env bash
# Start-up and list filling of the main window against bare Qt, in one run.
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
"$build/bin/bench_shell" --benchmark_repetitions=5 --benchmark_format=json 2>/dev/null |
    python3 "$(dirname "$0")/ratios.py" \
        BM_StartupFrmMain1000Apps=BM_StartupEmptyMainWindow \
        BM_FillListAndCombo10000Apps=BM_BareListAndCombo10000Strings
