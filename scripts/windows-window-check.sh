#!/usr/bin/env bash
# The Windows window as a designer gets it: builds the portable zip and the
# installer (scripts/windows-package.sh), installs silently under wine into a
# fresh wine prefix, starts the installed torvix.exe on Xvfb and drives it
# with xdotool as a person would (types Segments and the speeds, loads a
# track through the dialog, runs Heartline, saves under the proposed name).
# Checks: the saved track equals byte for byte what the Linux torvix-cli
# heartline writes with the same settings; the window is 440x340 and shaped;
# Torvix.ini lands in %APPDATA%\Torvix and not beside the program; the silent
# uninstaller leaves no program file behind.
# Without a Qt for Windows (see windows-package.sh) it says so and passes.
#
#   bash scripts/windows-window-check.sh [LINUX_TORVIX_CLI]
# TORVIX_SHOTS=DIR keeps pictures of the window and the ride report there.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
start=$(date +%s)

if [ -z "${TORVIX_QT_WINDOWS:-}" ] && [ ! -d "$root/../shared/qt6-mingw" ]; then
  echo "SKIP: no Qt for Windows (TORVIX_QT_WINDOWS or ../shared/qt6-mingw); the Windows window is not checked"
  exit 0
fi
TORVIX_WITH_WINDOWS=1 bash scripts/deps.sh
bash scripts/windows-package.sh
version=$(sed -n 's/^project(Torvix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
setup=$root/build/windows/Torvix-$version-setup.exe

linux_cli=${1:-build/test/src/cli/torvix-cli}
if [ ! -x "$linux_cli" ]; then
  cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/test -j "$(nproc)" --target torvix-cli
  linux_cli=build/test/src/cli/torvix-cli
fi
linux_cli=$(realpath "$linux_cli")

work=$(mktemp -d /tmp/torvix-window-check.XXXXXX)
export WINEPREFIX=$work/wine WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine)
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
xvfb_pid=
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -br -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
sleep 1

echo "== a fresh wine prefix"
"$wine" wineboot --init >/dev/null 2>&1
wineserver -w
# A new prefix's Tahoma can draw garbled letters; DejaVu Sans reads well.
rm -f "$WINEPREFIX"/drive_c/windows/Fonts/tahoma*.ttf
"$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Tahoma /d "DejaVu Sans" /f >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "MS Shell Dlg" /d "DejaVu Sans" /f >/dev/null 2>&1
wineserver -w
program_files=$WINEPREFIX/drive_c/Program\ Files/Torvix
app_data=$("$wine" cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
app_data_unix=$(winepath -u "$app_data" 2>/dev/null)

echo "== silent install: $(basename "$setup") /S"
"$wine" "$setup" /S
wineserver -w
[ -f "$program_files/torvix.exe" ] || { fail "nothing installed in Program Files"; exit 1; }
installed=$(cd "$program_files" && find . -type f | sort)
echo "installed $(wc -l <<<"$installed") files: $(tr '\n' ' ' <<<"$installed")"
for f in torvix.exe torvix-cli.exe Uninstall.exe platforms/qwindows.dll; do
  [ -f "$program_files/$f" ] || fail "$f not installed"
done
lnk=$(find "$WINEPREFIX/drive_c" -iname 'Torvix.lnk' | head -1)
[ -n "$lnk" ] && echo "Start menu: ${lnk#$WINEPREFIX/}" || fail "no Start-menu entry"
"$wine" reg query 'HKLM\Software\Classes\Torvix.Track\shell\open\command' /ve 2>/dev/null | grep -qi 'torvix.exe" "%1"' \
  || fail ".nltrack is not associated with torvix.exe"
"$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Torvix' /v UninstallString >/dev/null 2>&1 \
  || fail "the uninstaller is not registered"

# The track lies where a designer keeps tracks.
mkdir -p "$WINEPREFIX/drive_c/tracks"
cp samples/sample.nltrack "$WINEPREFIX/drive_c/tracks/sample.nltrack"

echo "== the installed window"
(cd "$WINEPREFIX/drive_c" && "$wine" 'C:\Program Files\Torvix\torvix.exe' >"$work/window.log" 2>&1 &)
wid=
for _ in $(seq 60); do
  wid=$(xdotool search --onlyvisible --name '^NL-Torvix' 2>/dev/null | head -1) && [ -n "$wid" ] && break
  sleep 0.5
done
[ -n "$wid" ] || { fail "the window did not open"; cat "$work/window.log"; exit 1; }
sleep 2   # the fade-in
eval "$(xdotool getwindowgeometry --shell "$wid")"
echo "window $wid: ${WIDTH}x${HEIGHT} at $X,$Y"
[ "${WIDTH}x${HEIGHT}" = 440x340 ] || fail "the window is ${WIDTH}x${HEIGHT}, not 440x340"
# Shaped: inside its rectangle the black screen shows where the skin is cut
# away (the rounded corners), and the skin elsewhere.
shot=$work/screen.png
import -window root "$shot"
pixel() { /usr/bin/convert "$shot" -format "%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]" -crop "1x1+$1+$2" info:; }
corner=$(pixel "$((X + 1))" "$((Y + 1))"); inside=$(pixel "$((X + 220))" "$((Y + 170))")
echo "pixels: corner $corner, middle $inside"
[ "$corner" = 0,0,0 ] && [ "$inside" != 0,0,0 ] || fail "the window is not shaped (corner $corner, middle $inside)"

click() { xdotool mousemove --window "$wid" "$1" "$2" click 1; sleep 0.3; }
type_text() { xdotool type --delay 60 "$1"; }
xdotool windowfocus --sync "$wid" 2>/dev/null || xdotool windowfocus "$wid"
# Segments: clear it and type; the next fields are reached with Tab, which
# selects a field's text so typing replaces it.
click 160 110
xdotool key End BackSpace BackSpace BackSpace BackSpace BackSpace BackSpace
type_text 80
xdotool key Tab; type_text 1.2
xdotool key Tab; type_text 25
xdotool key Tab; type_text 18
xdotool key Tab; type_text 8
xdotool key Tab; type_text 10
xdotool key Tab

dialog() {  # waits for a dialog named $1, types $2 into it and presses Enter
  local d=
  for _ in $(seq 40); do
    d=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$d" ] && break
    sleep 0.5
  done
  [ -n "$d" ] || { fail "no \"$1\" dialog"; return 1; }
  xdotool windowfocus --sync "$d" 2>/dev/null || xdotool windowfocus "$d"
  sleep 0.5
  if [ -n "$2" ]; then xdotool key ctrl+a; type_text "$2"; fi
  xdotool key Return
  for _ in $(seq 20); do xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0; sleep 0.5; done
}
echo "-- Load: C:\\tracks\\sample.nltrack through the dialog"
click 80 316
dialog 'Load Track' 'C:\tracks\sample.nltrack'
sleep 2
echo "-- Heartline"
xdotool windowfocus "$wid"; click 200 316
sleep 5
echo "-- Save with the proposed name"
click 320 316
dialog 'Save Track' ''
saved=$WINEPREFIX/drive_c/tracks/sample_Torvix.nltrack
for _ in $(seq 20); do [ -f "$saved" ] && break; sleep 0.5; done

shoot() {  # window id, file name under $TORVIX_SHOTS
  [ -n "${TORVIX_SHOTS:-}" ] || return 0
  mkdir -p "$TORVIX_SHOTS"
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+$X+$Y" +repage "$TORVIX_SHOTS/$2"
}
shoot "$wid" window-windows.png
echo "-- the ride report (Ctrl+R), Export PNG... to C:\\tracks\\ride.png"
xdotool windowfocus "$wid"; xdotool key ctrl+r
report=
for _ in $(seq 30); do
  report=$(xdotool search --onlyvisible --name '^Ride report' 2>/dev/null | head -1) && [ -n "$report" ] && break
  sleep 0.5
done
if [ -n "$report" ]; then
  sleep 2
  shoot "$report" ride-report-windows.png
  eval "$(xdotool getwindowgeometry --shell "$report")"
  # Export PNG... is the last button, in the report's bottom right corner.
  xdotool windowfocus "$report"; xdotool mousemove --window "$report" $((WIDTH - 95)) $((HEIGHT - 12)) click 1
  dialog 'Export Ride Report' 'C:\tracks\ride.png'
  png=$WINEPREFIX/drive_c/tracks/ride.png
  for _ in $(seq 20); do [ -s "$png" ] && break; sleep 0.5; done
  if [ "$(head -c 8 "$png" 2>/dev/null | od -An -c | tr -d ' ')" = '211PNG\r\n032\n' ]; then
    echo "ride report exported: $(/usr/bin/identify -format '%wx%h' "$png") PNG"
  else
    fail "the ride report's Export PNG wrote no PNG"
  fi
else
  fail "Ctrl+R opened no ride report"
fi

"$linux_cli" heartline samples/sample.nltrack --segments 80 --heartline 1.2 --start-speed 25 --end-speed 18 \
  --precision 8 --filter 10 -o "$work/linux.nltrack" >/dev/null
if [ ! -f "$saved" ]; then
  fail "no track saved as C:\\tracks\\sample_Torvix.nltrack"
elif cmp "$saved" "$work/linux.nltrack"; then
  echo "same bytes: the window's saved track and the Linux torvix-cli heartline ($(stat -c %s "$saved") bytes)"
else
  fail "the saved track differs from the Linux torvix-cli heartline result"
fi

ini=$app_data_unix/Torvix/Torvix.ini
if [ -f "$ini" ]; then
  echo "settings in ${app_data}\\Torvix\\Torvix.ini:"; tr -d '\r' <"$ini" | sed 's/^/    /'
  grep -q '^Segments=80' "$ini" || fail "Segments=80 not kept in Torvix.ini"
else
  fail "no Torvix.ini in ${app_data}\\Torvix"
fi
[ ! -e "$program_files/Torvix.ini" ] || fail "the installed window wrote Torvix.ini into Program Files"

wineserver -k 2>/dev/null || true
wineserver -w
# A double-click on a track: Explorer opens it through the file type.
mkdir -p "$WINEPREFIX/drive_c/tracks/more"
cp samples/sample.nltrack "$WINEPREFIX/drive_c/tracks/more/b.nltrack"
"$wine" start 'C:\tracks\more\b.nltrack' >/dev/null 2>&1 &
for _ in $(seq 40); do grep -q 'LoadPath=C:\\tracks\\more' "$ini" 2>/dev/null && break; sleep 0.5; done
if grep -q 'LoadPath=C:\\tracks\\more' "$ini"; then
  echo "opening C:\tracks\more\b.nltrack through the .nltrack file type loaded it in the window"
else
  fail "opening a .nltrack file did not load it in the window ($(grep LoadPath "$ini" | tr -d '\r'))"
fi
wineserver -k 2>/dev/null || true
echo "== silent uninstall"
"$wine" "C:\\Program Files\\Torvix\\Uninstall.exe" /S
wineserver -w
sleep 1; wineserver -w
left=$( [ -d "$program_files" ] && (cd "$program_files" && find . -type f) || true)
[ -z "$left" ] && echo "nothing left in Program Files\\Torvix" || fail "left behind: $left"
[ ! -d "$program_files" ] || fail "the folder Program Files\\Torvix is left"
[ -z "$(find "$WINEPREFIX/drive_c" -iname 'Torvix.lnk')" ] || fail "the Start-menu entry is left"
"$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Torvix' >/dev/null 2>&1 \
  && fail "still in the list of programs"

echo "Windows window check: $(($(date +%s) - start)) s"
if [ "$failures" -ne 0 ]; then echo "Windows window check: $failures failure(s)"; exit 1; fi
echo "Windows window check: installed, driven, saved the same bytes as Linux, uninstalled"
