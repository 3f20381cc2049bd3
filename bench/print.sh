#!/usr/bin/env bash
# "Print Results" of 10,000 log rows into a PDF file against QTextDocument printing the same
# rows as an HTML table into a PDF file, in one run: pages per second, time per page, ratio.
set -euo pipefail
build="${1:-$(dirname "$0")/../build}"
"$build/bin/bench_print" --benchmark_repetitions=3 --benchmark_format=json 2>/dev/null |
    python3 "$(dirname "$0")/pages.py" BM_PrintResults10000Rows BM_QTextDocumentHtml10000Rows
