#!/usr/bin/env bash
# The Linux build with AddressSanitizer and UndefinedBehaviorSanitizer, and its tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --linux
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZU_SANITIZE=ON -DZU_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j"$jobs")
