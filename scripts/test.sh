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
