#!/usr/bin/env bash
# Builds the benchmarks and runs them; each prints ratios against a baseline measured in the same run.
# Pass benchmark names (text_bench, ...) to run only those.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j"$(nproc)"
benches=("$@")
if ((${#benches[@]} == 0)); then
  mapfile -t benches < <(find build/release/bench -maxdepth 1 -type f -executable -name '*_bench' -printf '%f\n' | sort)
fi
for b in "${benches[@]}"; do
  echo "== $b"
  "build/release/bench/$b"
done
