#!/usr/bin/env python3
"""Reads Google Benchmark JSON of page-printing runs on standard input; prints each run's
pages per second and time per page (medians) and the ratio of time per page.

Arguments: MEASURED REFERENCE, the benchmarks' names."""
import json
import sys

runs = {}
for b in json.load(sys.stdin)["benchmarks"]:
    if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
        continue
    name = b["run_name"].split("/")[0]
    runs[name] = b
for name in sys.argv[1:]:
    b = runs[name]
    print(f"{name}: {b['pages']:.0f} pages in {b['real_time']:.0f} ms, "
          f"{b['pages_per_s']:.1f} pages/s, {1000 * b['s_per_page']:.2f} ms per page")
measured, reference = (runs[n] for n in sys.argv[1:3])
print(f"time per page, {sys.argv[1]} vs {sys.argv[2]}: ratio "
      f"{measured['s_per_page'] / reference['s_per_page']:.3f}")
