#!/usr/bin/env python3
"""Reads Google Benchmark JSON on standard input and prints measured/reference ratios.

Arguments are pairs MEASURED=REFERENCE of benchmark names; each prints its ratio."""
import json
import sys

data = json.load(sys.stdin)
times = {}
for b in data["benchmarks"]:
    if b.get("run_type", "iteration") == "aggregate" and b.get("aggregate_name") != "median":
        continue
    name = b.get("run_name", b["name"])
    times[name] = b["real_time"]
for pair in sys.argv[1:]:
    measured, reference = pair.split("=")
    m, r = times[measured], times[reference]
    print(f"{measured}: {m:.3f} vs {reference}: {r:.3f} -> ratio {m / r:.2f}")
