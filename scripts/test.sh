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
