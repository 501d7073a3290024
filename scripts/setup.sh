#!/usr/bin/env bash
# Installs what building and testing zuinstr needs on a fresh Debian machine,
# and nothing when it is all there already.
#   scripts/setup.sh          everything (Linux build, Windows cross build, wine, test tools)
#   scripts/setup.sh --linux  only what the Linux build and its tools need
#   scripts/setup.sh --fuzz   the Linux build and the fuzz build (clang with libFuzzer)
set -euo pipefail

linux_packages=(cmake ninja-build g++ python3 pkg-config libgtest-dev googletest libssl3 libsndfile1-dev
                libgig-dev gigtools fluidsynth timgm6mb-soundfont sox)
windows_packages=(g++-mingw-w64-x86-64 wine wine64)
# clang's -fsanitize=fuzzer comes with its compiler runtime package.
fuzz_packages=(clang-14 libclang-rt-14-dev)

wanted=("${linux_packages[@]}")
case "${1:-}" in
  --linux) ;;
  --fuzz) wanted+=("${fuzz_packages[@]}") ;;
  *) wanted+=("${windows_packages[@]}" "${fuzz_packages[@]}") ;;
esac

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if (( ${#missing[@]} )); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
