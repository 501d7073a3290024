#!/usr/bin/env bash
# Installs the build into a fresh prefix and builds the host example against
# the installed package in a separate folder, with nothing from the source tree
# but the example's own two files; then runs it on an example instrument.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" > /dev/null
mkdir "$work/host"
cp "$src/examples/host/host_example.cpp" "$src/examples/host/CMakeLists.txt" "$work/host/"
cmake -S "$work/host" -B "$work/host/build" -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/host/build" > /dev/null
module=$(find "$work/prefix" -name 'libzuinstr.so' | head -1)
"$work/host/build/host_example" "$module" "$src/examples/piano.dls" "$work/saved.dls"
flags=$(PKG_CONFIG_PATH="$(dirname "$(find "$work/prefix" -name zuinstr.pc | head -1)")" pkg-config --cflags zuinstr)
flags=$(echo $flags)
echo "pkg-config: $flags"
[ -f "${flags#-I}/zuinstr/zuinstr.h" ] || { echo "FAIL: pkg-config points elsewhere"; exit 1; }
echo "1 passed, 0 failed"
