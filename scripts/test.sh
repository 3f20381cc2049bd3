#!/usr/bin/env bash
# Builds Mallow with its tests and runs every test through CTest; fails on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
ctest --output-on-failure -j "$(nproc)" --timeout 300
