#!/usr/bin/env bash
# Builds and runs every test twice: a normal build, then one under
# AddressSanitizer and UndefinedBehaviorSanitizer. Then the release checks:
# a GCC Release build made into the Debian package and inspected, a Clang
# build with its tests, and torvix-cli.exe for Windows run under wine.
# Every build here treats warnings as errors (TORVIX_WERROR).
set -euo pipefail
cd "$(dirname "$0")/.."
TORVIX_WITH_RELEASE_CHECKS=1 TORVIX_WITH_WINDOWS=1 bash scripts/deps.sh
jobs=$(nproc)

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVIX_WERROR=ON >/dev/null
cmake --build build/release -j "$jobs"
(cd build/release && QT_QPA_PLATFORM=offscreen ctest --output-on-failure)

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTORVIX_SANITIZE=ON -DTORVIX_BUILD_BENCH=OFF \
  -DTORVIX_WERROR=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
(cd build/sanitize && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure)

# ---- GCC Release build, the Debian package and its inspection ----------------
# Release is -O3, where GCC warns about things -O2 does not. No tests or
# benchmarks: the programs, the tools and the manual pages.
echo "== GCC Release build and Debian package"
cmake -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DTORVIX_WERROR=ON -DTORVIX_BUILD_TESTS=OFF \
  -DTORVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build/package -j "$jobs"
rm -f build/package/torvix_*.deb
(cd build/package && cpack -G DEB >/dev/null)
bash scripts/check-package.sh build/package/torvix_*.deb

# ---- Clang build (what `CXX=clang++ cmake` gives a user) and its tests -------
echo "== Clang build"
CXX=clang++ cmake -S . -B build/clang -DTORVIX_WERROR=ON >/dev/null
cmake --build build/clang -j "$jobs"
(cd build/clang && QT_QPA_PLATFORM=offscreen ctest --output-on-failure)

# ---- torvix-cli.exe for Windows, compared under wine with the Linux build ----
echo "== Windows"
bash scripts/windows-check.sh build/release/src/cli/torvix-cli

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
