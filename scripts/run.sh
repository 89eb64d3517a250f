#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_TESTS=OFF -DMORVANE_BENCH=OFF >/dev/null
cmake --build build/run -j"$(nproc)" --target morvane
exec build/run/src/app/morvane "$@"
