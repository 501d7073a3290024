#!/usr/bin/env bash
# Builds the zuinstr module and its host tool for Linux and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --linux
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZU_BUILD_TESTS=OFF -DZU_BUILD_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target zuinstr zuinstr_tool

echo
echo "== The formats the module serves (build/zuinstr formats)"
./build/zuinstr formats
