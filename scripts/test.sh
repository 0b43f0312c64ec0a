#!/usr/bin/env bash
# bash scripts/test.sh          builds one configuration (RelWithDebInfo, warnings
#                               as errors) in build/test and runs every test.
# bash scripts/test.sh --full   the release matrix: the above, then the suite
#                               under AddressSanitizer + UBSan, a GCC Release build
#                               made into the Debian package and inspected, a Clang
#                               build with its tests, the Windows programs under
#                               wine, and a minute of fuzzing. CI runs this one.
set -euo pipefail
cd "$(dirname "$0")/.."
full=0
case "${1:-}" in
  "") ;;
  --full) full=1 ;;
  *) echo "usage: bash scripts/test.sh [--full]" >&2; exit 2 ;;
esac
jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1
# Discovered tests are small processes; two per core keeps both cores busy while
# the window tests wait for their timers.
ctest_jobs=$((jobs * 2))
step() { echo; echo "== $* ($(date +%H:%M:%S))"; }
# ctest fails a run that found no test at all rather than passing it.
run_ctest() { (cd "$1" && shift && QT_QPA_PLATFORM=offscreen ctest --no-tests=error -j "$ctest_jobs" "$@"); }

if [ "$full" = 1 ]; then
  TORVIX_WITH_RELEASE_CHECKS=1 TORVIX_WITH_WINDOWS=1 bash scripts/deps.sh
else
  bash scripts/deps.sh
fi

step "Build and tests (build/test)"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVIX_BUILD_TESTS=ON -DTORVIX_BUILD_APP=ON \
  -DTORVIX_BUILD_BENCH=ON -DTORVIX_WERROR=ON >/dev/null
cmake --build build/test -j "$jobs"
run_ctest build/test
[ "$full" = 1 ] || exit 0

step "AddressSanitizer + UBSan (build/sanitize)"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTORVIX_SANITIZE=ON -DTORVIX_BUILD_TESTS=ON \
  -DTORVIX_BUILD_BENCH=OFF -DTORVIX_WERROR=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 run_ctest build/sanitize

# Release is -O3, where GCC warns about things -O2 does not. No tests or
# benchmarks: the programs, the tools and the manual pages.
step "GCC Release build and Debian package (build/package)"
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTORVIX_WERROR=ON -DTORVIX_BUILD_TESTS=OFF \
  -DTORVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build/package -j "$jobs"
rm -f build/package/torvix_*.deb
(cd build/package && cpack -G DEB >/dev/null)
bash scripts/check-package.sh build/package/torvix_*.deb

# What `CXX=clang++ cmake` gives a user: every build stays warning-free with Clang.
step "Clang build and tests (build/clang)"
CXX=clang++ cmake -S . -B build/clang -G Ninja -DTORVIX_BUILD_TESTS=ON -DTORVIX_BUILD_BENCH=OFF -DTORVIX_WERROR=ON >/dev/null
cmake --build build/clang -j "$jobs"
run_ctest build/clang

step "Windows: torvix-cli.exe under wine"
bash scripts/windows-check.sh build/test/src/cli/torvix-cli
step "Windows: the window's installer and zip, installed and driven under wine"
bash scripts/windows-window-check.sh build/test/src/cli/torvix-cli

# A separate clang build of the libFuzzer targets only; each runs for about a
# minute from the seed corpus the test suite writes, so that a regression in the
# reader, the length, the end measures or the solver surfaces.
step "Fuzzing (build/fuzz)"
TORVIX_WITH_FUZZ=1 bash scripts/deps.sh
seeds=build/fuzz/seeds
rm -rf "$seeds" && mkdir -p "$seeds" build/fuzz/findings
TORVIX_FUZZ_SEED_DIR="$PWD/$seeds" build/test/tests/torvix_track_tests --gtest_filter='FuzzSeeds.*' >/dev/null
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVIX_BUILD_FUZZ=ON \
  -DTORVIX_BUILD_APP=OFF -DTORVIX_BUILD_TESTS=OFF -DTORVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz_read_track fuzz_measure_solve fuzz_ride
for target in fuzz_read_track fuzz_measure_solve fuzz_ride; do
  corpus=build/fuzz/corpus-$target
  rm -rf "$corpus" && cp -r "$seeds" "$corpus"
  # A unit may take seconds under ASan (the ride report's sampling bound is two
  # million evaluations); the timeout is there to catch a hang, not a slow unit.
  build/fuzz/fuzz/$target -max_total_time=60 -timeout=30 -rss_limit_mb=2048 \
    -artifact_prefix=build/fuzz/findings/ "$corpus"
done
step "Full test command passed"
