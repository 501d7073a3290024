#!/usr/bin/env bash
# Builds zuinstr for Linux and for Windows (mingw-w64) and runs every test of
# both builds; the Windows tests run under wine64.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)

echo "== Linux build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

echo "== Windows build (mingw-w64, tests under wine64)"
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-win -j"$jobs"
(cd build-win && ctest --output-on-failure -j"$jobs")
