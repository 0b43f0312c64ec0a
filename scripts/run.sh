#!/usr/bin/env bash
# Builds Torvix and runs it: the window where a display is available,
# otherwise the command-line program on the sample track shipped in samples/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVIX_BUILD_APP=ON -DTORVIX_BUILD_TESTS=OFF -DTORVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build/run -j "$(nproc)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/run/src/app/torvix ]; then
  exec build/run/src/app/torvix
fi

echo "No display found: running the command-line program on samples/sample.nltrack instead of the window."
out=build/run/sample_Torvix.nltrack
build/run/src/cli/torvix-cli heartline samples/sample.nltrack -o "$out"
echo
echo "The new track, read back from $out:"
build/run/src/cli/torvix-cli info "$out"
echo
echo "How the sample rides with each banking method (heartline 1.0 m, 20 -> 17 m/s, 60 x 6):"
for mode in literal refined; do
  verdict=$(build/run/src/cli/torvix-cli heartline samples/sample.nltrack --mode "$mode" -o "build/run/sample_$mode.nltrack" | tail -n 1)
  printf '  %-8s %s\n' "$mode" "$verdict"
done
