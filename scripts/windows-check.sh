#!/usr/bin/env bash
# Cross-builds torvix-cli.exe for Windows (mingw-w64), checks that it is one
# self-contained executable, runs dump, info, heartline and rewrite under wine
# on the shipped sample and on the demo track beside the checkout, and checks
# every result against the Linux build's:
#   - written files byte for byte (rewrite);
#   - the heartline result compared through `dump` JSON, every number equal
#     (both builds use the same floating-point flags, so the bits agree);
#   - printed texts equal (Windows line ends read as Unix ones).
# Paths given to the Windows program contain spaces and backslashes.
#
#   bash scripts/windows-check.sh [LINUX_TORVIX_CLI]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
TORVIX_WITH_WINDOWS=1 bash scripts/deps.sh

linux_cli=${1:-build/test/src/cli/torvix-cli}
if [ ! -x "$linux_cli" ]; then
  cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/test -j "$(nproc)" --target torvix-cli
fi
linux_cli=$(realpath "$linux_cli")

# The main project with the mingw toolchain file, without the window (no Qt
# needed) and without tests: the same module graph, sources and compiler
# flags as the Linux build.
echo "== Windows build (mingw-w64)"
cmake -S . -B build/windows/cli -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTORVIX_WERROR=ON -DTORVIX_BUILD_APP=OFF -DTORVIX_BUILD_TESTS=OFF \
  -DTORVIX_BUILD_BENCH=OFF >/dev/null
cmake --build build/windows/cli -j "$(nproc)" --target torvix-cli
x86_64-w64-mingw32-strip build/windows/cli/src/cli/torvix-cli.exe
exe=$root/build/windows/cli/src/cli/torvix-cli.exe

# One build graph: the Windows build compiles the same sources of the core and
# the CLI as the Linux build, with the same floating-point flags; only the
# platform module's system half differs.
linux_commands=$(dirname "$linux_cli")/../../compile_commands.json
if [ -f "$linux_commands" ]; then
  python3 - "$linux_commands" build/windows/cli/compile_commands.json "$root/src" <<'EOF2' || exit 1
import json, os, sys
def units(path):
    out = {}
    for e in json.load(open(path)):
        f = os.path.relpath(os.path.join(e["directory"], e["file"]), sys.argv[3])
        if f.startswith("..") or f.startswith("app/"):
            continue
        cmd = e.get("command") or " ".join(e["arguments"])
        key = f.replace("platform/windows/", "platform/SYSTEM/").replace("platform/posix/", "platform/SYSTEM/")
        out[key] = {flag for flag in ("-ffp-contract=off", "-fno-math-errno", "-fvect-cost-model=dynamic") if flag in cmd}
    return out
linux, windows = units(sys.argv[1]), units(sys.argv[2])
problems = [f"only in the Linux build: {f}" for f in sorted(linux.keys() - windows.keys())]
problems += [f"only in the Windows build: {f}" for f in sorted(windows.keys() - linux.keys())]
problems += [f"{f}: flags {sorted(linux[f])} on Linux, {sorted(windows[f])} on Windows"
             for f in sorted(linux.keys() & windows.keys()) if linux[f] != windows[f]]
for p in problems:
    print("FAIL:", p)
print(f"one build graph: {len(windows)} sources, the same on both systems with the same floating-point flags"
      if not problems else "FAIL: the Windows build's sources or flags differ from the Linux build's")
sys.exit(1 if problems else 0)
EOF2
fi

# Only DLLs every Windows has: no C++ runtime, libgcc or winpthread beside it.
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | sort -u | tr '\n' ' ')
echo "torvix-cli.exe ($(stat -c %s "$exe") bytes) imports: $dlls"
for dll in $dlls; do
  case "${dll,,}" in
    kernel32.dll|msvcrt.dll|user32.dll|advapi32.dll|shell32.dll|ole32.dll|ws2_32.dll|api-ms-win-*) ;;
    *) echo "FAIL: torvix-cli.exe needs $dll beside it"; exit 1 ;;
  esac
done

export WINEPREFIX=$root/build/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
wine=$(command -v wine64 || command -v wine)
[ -d "$WINEPREFIX" ] || "$wine" wineboot --init >/dev/null 2>&1 || true
run_windows() { "$wine" "$exe" "$@"; }
echo "wine: $("$wine" --version)   $(run_windows --version | tr -d '\r')"

work=$root/build/windows-check
rm -rf "$work"
mkdir -p "$work/tracks in here" "$work/linux" "$work/windows out"
cp samples/sample.nltrack "$work/tracks in here/sample.nltrack"
tracks=(sample)
demo=$root/../shared/tracks/demo-circuit.nltrack
if [ -f "$demo" ]; then
  cp "$demo" "$work/tracks in here/demo-circuit.nltrack"
  tracks+=(demo-circuit)
else
  echo "SKIP: $demo is absent; only the sample track is compared"
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
same_text() {  # name linux-file windows-file
  if diff -u "$2" <(tr -d '\r' <"$3") >"$work/diff.txt"; then echo "  same: $1"; else fail "$1 differs"; cat "$work/diff.txt"; fi
}

cd "$work"
for t in "${tracks[@]}"; do
  echo "== $t"
  in_linux="tracks in here/$t.nltrack"
  in_windows="tracks in here\\$t.nltrack"   # relative, with a backslash and spaces
  out_windows=$(winepath -w "$work/windows out" 2>/dev/null)  # absolute, Z:\...\windows out
  L=linux W="windows out"

  for cmd in dump info "info --json"; do
    name=${cmd// /}
    lc=0; "$linux_cli" $cmd "$in_linux" >"$L/$t.$name.txt" || lc=$?
    wc=0; run_windows $cmd "$in_windows" >"$W/$t.$name.txt" || wc=$?
    [ "$lc" = "$wc" ] || fail "$cmd: exit code $lc on Linux, $wc on Windows"
    same_text "$cmd" "$L/$t.$name.txt" "$W/$t.$name.txt"
  done

  "$linux_cli" rewrite "$in_linux" "$L/$t.rewrite.nltrack"
  run_windows rewrite "$in_windows" "$out_windows\\$t.rewrite.nltrack"
  if cmp "$L/$t.rewrite.nltrack" "$W/$t.rewrite.nltrack"; then
    echo "  same bytes: rewrite ($(stat -c %s "$W/$t.rewrite.nltrack") bytes)"
  else
    fail "rewrite output differs"
  fi
  # Replacing an existing file goes through another path of the writer.
  run_windows rewrite "$in_windows" "$out_windows\\$t.rewrite.nltrack"
  cmp -s "$L/$t.rewrite.nltrack" "$W/$t.rewrite.nltrack" || fail "rewrite over an existing file differs"

  # The defaults, and a run that clears every valley of the demo track.
  for params in "" "--start-speed 25 --segments 80 --precision 8 --filter 10 --heartline 1.2"; do
  h=$t.heartline${params:+.b}
  lc=0; "$linux_cli" heartline "$in_linux" $params -o "$L/$h.nltrack" >"$L/$h.txt" 2>&1 || lc=$?
  wc=0; run_windows heartline "$in_windows" $params -o "$out_windows\\$h.nltrack" >"$W/$h.txt" 2>&1 || wc=$?
  [ "$lc" = "$wc" ] || fail "heartline $params: exit code $lc on Linux, $wc on Windows"
  # Each names the file it wrote in its own notation.
  sed -i "s|^Written: $L/$h.nltrack\$|Written: OUT|" "$L/$h.txt"
  sed -i "s|^Written: ${out_windows//\\/\\\\}\\\\$h.nltrack\r\?\$|Written: OUT|" "$W/$h.txt"
  same_text "heartline ${params:-(defaults)}: text, exit code $lc" "$L/$h.txt" "$W/$h.txt"
  if [ "$lc" = 0 ]; then
    "$linux_cli" dump "$L/$h.nltrack" >"$L/$h.json"
    "$linux_cli" dump "$W/$h.nltrack" >"$W/$h.json"
    python3 - "$L/$h.json" "$W/$h.json" <<'EOF' || fail "heartline result differs"
import json, sys
a, b = (json.load(open(p)) for p in sys.argv[1:3])
worst = [0.0, ""]
problems = []
def walk(x, y, path):
    if isinstance(x, dict) and isinstance(y, dict):
        if x.keys() != y.keys():
            problems.append(f"{path}: keys differ")
        for k in x.keys() & y.keys():
            walk(x[k], y[k], f"{path}.{k}")
    elif isinstance(x, list) and isinstance(y, list):
        if len(x) != len(y):
            problems.append(f"{path}: {len(x)} against {len(y)} items")
        for i, (u, v) in enumerate(zip(x, y)):
            walk(u, v, f"{path}[{i}]")
    elif isinstance(x, float) or isinstance(y, float):
        d = abs(float(x) - float(y))
        if path.startswith(".bezr.vertices"):
            if d > worst[0]:
                worst[:] = [d, path]
            if d != 0:
                problems.append(f"{path}: {x} against {y}")
        elif x != y:
            problems.append(f"{path}: {x} against {y}")
    elif x != y:
        problems.append(f"{path}: {x!r} against {y!r}")
walk(a, b, "")
n = len(a["bezr"]["vertices"])
print(f"  heartline result: {n} vertices, largest vertex difference {worst[0]:.3g} m"
      + (f" ({worst[1]})" if worst[1] else "") + ", everything else equal" * (not problems))
for p in problems[:20]:
    print("   ", p)
sys.exit(1 if problems else 0)
EOF
  fi
  done
done
# On Windows "/folder/x.nltrack" is a path on the current drive (here Z:, the
# Unix root under wine), not an option.
lc=0; "$linux_cli" info "$work/tracks in here/sample.nltrack" >linux/slash.txt 2>&1 || lc=$?
wc=0; run_windows info "$work/tracks in here/sample.nltrack" >"windows out/slash.txt" 2>&1 || wc=$?
[ "$lc" = "$wc" ] || fail "info /path: exit code $lc on Linux, $wc on Windows"
same_text "info with a path beginning with /" linux/slash.txt "windows out/slash.txt"
# Without librsvg the Windows build says that it writes SVG only, and fails.
wc=0; run_windows ride "tracks in here\\sample.nltrack" --plot "windows out\\plot.png" >"windows out/png.txt" 2>&1 || wc=$?
if [ "$wc" != 0 ] && grep -q "SVG only" "windows out/png.txt" && [ ! -e "windows out/plot.png" ]; then
  echo "  --plot x.png: refused with \"$(tr -d '\r' <"windows out/png.txt")\""
else
  fail "--plot x.png: exit code $wc, $(cat "windows out/png.txt")"
fi
run_windows ride "tracks in here\\sample.nltrack" --plot "windows out\\plot.svg" >/dev/null
"$linux_cli" ride "tracks in here/sample.nltrack" --plot linux/plot.svg >/dev/null
cmp -s linux/plot.svg "windows out/plot.svg" && echo "  same bytes: ride --plot x.svg" || fail "the SVG plots differ"
cd "$root"

if [ "$failures" -ne 0 ]; then
  echo "Windows check: $failures failure(s)"
  exit 1
fi
echo "Windows check: torvix-cli.exe under wine agrees with the Linux build on ${#tracks[@]} track(s)"
