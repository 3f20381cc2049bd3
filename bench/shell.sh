#!/usr/bin/env bash
# FillList plus FillCombo over 10,000 applications against bare Qt widgets, in one run.
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
"$build/bin/bench_shell" --benchmark_repetitions=5 --benchmark_format=json 2>/dev/null |
    python3 "$(dirname "$0")/ratios.py" \
        BM_FillListAndCombo10000Apps=BM_BareListAndCombo10000Strings
