#!/usr/bin/env bash
# Builds the libFuzzer configuration (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/, writes the seed corpus and runs
# the read target for a fixed number of inputs. Exits non-zero on any crash,
# leak or timeout; the input that caused it is left in build-fuzz/artifacts/.
#   scripts/fuzz.sh [RUNS]        RUNS defaults to 20000 (about 15 s of fuzzing here)
# The seeds are the test fixtures' small files and the inputs of
# tests/fuzz_regressions_test.cpp, written by fuzz/make_seeds.
# Environment: ZU_FUZZ_RANDOM_SEED (libFuzzer's random seed; default: a new
# one each run, printed first), ZU_FUZZ_JOBS (build jobs, default 1).
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-20000}"
bash scripts/setup.sh --fuzz

build=build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZU_BUILD_FUZZ=ON >/dev/null
cmake --build "$build" -j"${ZU_FUZZ_JOBS:-1}" --target read_fuzz make_seeds

seeds="$build/fuzz_seeds"
corpus="$build/fuzz_corpus"
artifacts="$build/artifacts"
rm -rf "$seeds" "$corpus"
mkdir -p "$seeds" "$corpus" "$artifacts"
"$build/fuzz/make_seeds" "$seeds"

# A new random seed each run unless one is given; printed so that a failing
# run can be repeated exactly.
random_seed="${ZU_FUZZ_RANDOM_SEED:-$(( ( $(date +%s) * 32768 + RANDOM ) % 2147483647 + 1 ))}"
echo "fuzz: $runs runs, random seed $random_seed (ZU_FUZZ_RANDOM_SEED=$random_seed repeats this run)"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
start=$(date +%s)
"$build/fuzz/read_fuzz" -runs="$runs" -seed="$random_seed" -max_len=16384 -timeout=10 -rss_limit_mb=2048 \
  -verbosity=0 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds"
echo "fuzz: $runs runs in $(( $(date +%s) - start )) s, no crash, leak or timeout"
