#!/usr/bin/env bash
# Configures and builds Mallow in build/ (after installing what is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
werror=OFF
[ "${CI:-}" = "true" ] && werror=ON
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMALLOW_WERROR=$werror >/dev/null
cmake --build build -j "$(nproc)"
