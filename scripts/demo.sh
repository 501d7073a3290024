#!/usr/bin/env bash
# Builds the zuinstr module and its host tool for Linux and runs the main job
# on the example instruments: shows what one holds, extracts a wave and its
# whole wave pool as WAV files, and saves each instrument again. Outputs go to out/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --linux
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target zuinstr zuinstr_tool

mkdir -p out
tool=./build/zuinstr
echo "== The formats the module serves"
$tool formats
echo
echo "== What examples/piano.dls holds (zuinstr info)"
$tool info examples/piano.dls
echo
echo "== Its waves (zuinstr waves)"
$tool waves examples/piano.dls
echo
echo "== Extracting wave 1 and the whole pool (zuinstr extract)"
$tool extract examples/piano.dls --wave 1 -o out/piano-wave1.wav
$tool extract examples/piano.dls -o out/piano-pool.wav
echo
echo "== Saving each example again (zuinstr convert)"
for f in piano.dls strings.gig bells.sf2; do
  $tool convert "examples/$f" "out/$f"
done
echo
echo "Outputs are in $(pwd)/out: piano-wave1.wav, piano-pool.wav, and the saved piano.dls, strings.gig, bells.sf2"
