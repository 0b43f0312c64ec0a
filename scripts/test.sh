#!/usr/bin/env bash
# Builds and runs every test twice: a normal build, then one under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/release -j "$jobs"
(cd build/release && QT_QPA_PLATFORM=offscreen ctest --output-on-failure)

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTORVIX_SANITIZE=ON -DTORVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build/sanitize -j "$jobs"
(cd build/sanitize && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure)

# ---- Fuzzing: a separate clang build of the libFuzzer targets only; each runs
# for about a minute from the seed corpus the test suite writes, so that a
# regression in the reader, the length, the end measures or the solver surfaces.
TORVIX_WITH_FUZZ=1 bash scripts/deps.sh
seeds=build/fuzz/seeds
rm -rf "$seeds" && mkdir -p "$seeds" build/fuzz/findings
TORVIX_FUZZ_SEED_DIR="$PWD/$seeds" build/release/tests/torvix_tests --gtest_filter='FuzzSeeds.*' >/dev/null
cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVIX_BUILD_FUZZ=ON \
  -DTORVIX_BUILD_APP=OFF -DTORVIX_BUILD_TESTS=OFF -DTORVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_read_track fuzz_measure_solve
for target in fuzz_read_track fuzz_measure_solve; do
  corpus=build/fuzz/corpus-$target
  rm -rf "$corpus" && cp -r "$seeds" "$corpus"
  build/fuzz/fuzz/$target -max_total_time=60 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix=build/fuzz/findings/ "$corpus"
done
