#!/usr/bin/env bash
# Cross-builds torvix.exe and torvix-cli.exe for 64-bit Windows from the main
# project (mingw-w64 and a Qt 6 for Windows) and makes, in build/windows/:
#   Torvix-1.6-win64.zip    a portable folder: the two programs, the Qt DLLs
#                           and plugins they load, the compiler runtime;
#   Torvix-1.6-setup.exe    an NSIS installer of the same files.
# The Qt for Windows: TORVIX_QT_WINDOWS=DIR (an unpacked prefix, or a folder
# holding the qt6.4.2-mingw64-posix.tar.xz archive), else ../shared/qt6-mingw
# beside the checkout.
#
#   bash scripts/windows-package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$root/build/windows
version=$(sed -n 's/^project(Torvix VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

qt_source=${TORVIX_QT_WINDOWS:-$root/../shared/qt6-mingw}
if [ ! -d "$qt_source" ]; then
  cat >&2 <<MSG
windows-package: no Qt for Windows. Name one with TORVIX_QT_WINDOWS=DIR (an unpacked
Qt 6 prefix cross-built for x86_64-w64-mingw32, or a folder holding its archive), or
put ../shared/qt6-mingw beside the checkout. To make one from Debian's Qt sources
(about 1.5 hours on 2 cores), see "The Qt for Windows" in README.md:
  bash ../shared/qt6-mingw/build-qt-mingw.sh
MSG
  exit 3
fi
TORVIX_WITH_WINDOWS=1 bash scripts/deps.sh

# An unpacked prefix is used where it is; an archive is unpacked once into
# build/windows/qt (again when the archive changes).
if [ -d "$qt_source/lib/cmake/Qt6" ]; then
  qt=$(realpath "$qt_source")
else
  archive=$(ls "$qt_source"/qt6*-mingw64*.tar.xz 2>/dev/null | head -1)
  [ -n "$archive" ] || { echo "windows-package: $qt_source holds neither a Qt prefix nor its archive" >&2; exit 3; }
  qt=$out/qt/prefix
  stamp="$(stat -c '%s %Y' "$archive") $archive"
  if [ "$(cat "$out/qt/stamp" 2>/dev/null)" != "$stamp" ]; then
    echo "== unpacking $(basename "$archive")"
    rm -rf "$out/qt" && mkdir -p "$out/qt"
    tar -C "$out/qt" -xJf "$archive"
    echo "$stamp" >"$out/qt/stamp"
  fi
fi

echo "== Windows build of torvix.exe and torvix-cli.exe (Qt in $qt)"
build=$out/app
# A build folder made with another Qt keeps that Qt in its cache: start it afresh.
fresh=
if [ -f "$build/CMakeCache.txt" ] && ! grep -q "^Qt6_DIR:PATH=$qt/" "$build/CMakeCache.txt"; then fresh=--fresh; fi
cmake $fresh -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTORVIX_WERROR=ON \
  -DTORVIX_BUILD_TESTS=OFF -DTORVIX_BUILD_BENCH=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$qt" -DCMAKE_FIND_ROOT_PATH="$qt" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >/dev/null
cmake --build "$build" -j "$(nproc)" --target torvix torvix-cli

# ---- The folder: the programs and exactly the DLLs they load -------------------
stage=$out/Torvix-$version
rm -rf "$stage" && mkdir -p "$stage/platforms" "$stage/styles"
cp "$build/src/app/torvix.exe" "$build/src/cli/torvix-cli.exe" "$stage/"
# The window draws through the Windows platform plugin and, for the ride
# report's controls, the native style; no image format plugin is needed (PNG
# is built into Qt).
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"

mingw_dirs=(/usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
find_dll() {
  for d in "$qt/bin" "${mingw_dirs[@]}"; do [ -f "$d/$1" ] && { echo "$d/$1"; return 0; }; done
  return 0
}
# Follow the imports from the programs and plugins; DLLs that are not found
# here are Windows' own.
queue=("$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}; queue=("${queue[@]:1}")
  for dll in $(imports "$file"); do
    [ -e "$stage/$dll" ] && continue
    src=$(find_dll "$dll")
    [ -n "$src" ] || continue
    cp "$src" "$stage/$dll"
    queue+=("$stage/$dll")
  done
done
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll

# Qt's DLLs go out under the LGPL 3 (Charts under the GPL 3): their licences,
# where their source is, and Torvix's own licence travel with them.
mkdir -p "$stage/licenses"
cp "$root/LICENSE" "$stage/licenses/Torvix.txt"
cp /usr/share/common-licenses/LGPL-3 "$stage/licenses/Qt-LGPL-3.txt"
cp /usr/share/common-licenses/GPL-3 "$stage/licenses/Qt-Charts-GPL-3.txt"
cat >"$stage/licenses/Qt-source.txt" <<'TXT'
The Qt 6.4.2 libraries beside torvix.exe (Qt6Core, Qt6Gui, Qt6Widgets, Qt6Charts and the
platforms and styles plugins) were built without changes from Debian 12's source packages
qt6-base 6.4.2+dfsg-10, qt6-svg 6.4.2-2 and qt6-charts 6.4.2-3 (the same code as the v6.4.2
releases of qtbase, qtsvg and qtcharts) with the mingw-w64 compiler. Qt is licensed under the
GNU Lesser General Public License version 3 (Qt-LGPL-3.txt); Qt Charts under the GNU General
Public License version 3 (Qt-Charts-GPL-3.txt). The sources are available from Debian's archive
(apt-get source qt6-base qt6-svg qt6-charts) and from the Torvix maintainers on request.
TXT

# ---- The portable zip ----------------------------------------------------------
zip=$out/Torvix-$version-win64.zip
rm -f "$zip"
(cd "$out" && zip -qr -X "$zip" "Torvix-$version")

# ---- The installer -------------------------------------------------------------
# The uninstaller deletes exactly the files installed: their list is written
# here from the folder.
files_nsh=$out/installed-files.nsh
: >"$files_nsh.install"; : >"$files_nsh.uninstall"
(cd "$stage" && find . -type d ! -name . | sort) | while read -r d; do
  d=${d#./}; echo "  CreateDirectory \"\$INSTDIR\\${d//\//\\}\"" >>"$files_nsh.install"
done
(cd "$stage" && find . -type f | sort) | while read -r f; do
  f=${f#./}; w=${f//\//\\}; dir=$(dirname "$f")
  [ "$dir" = . ] && outdir='$INSTDIR' || outdir="\$INSTDIR\\${dir//\//\\}"
  echo "  SetOutPath \"$outdir\"" >>"$files_nsh.install"
  echo "  File \"/oname=$(basename "$f")\" \"$stage/$f\"" >>"$files_nsh.install"
  echo "  Delete \"\$INSTDIR\\$w\"" >>"$files_nsh.uninstall"
done
(cd "$stage" && find . -mindepth 1 -type d | sort -r) | while read -r d; do
  d=${d#./}; echo "  RMDir \"\$INSTDIR\\${d//\//\\}\"" >>"$files_nsh.uninstall"
done
{ echo '!macro TorvixInstallFiles'; cat "$files_nsh.install"; echo '!macroend'
  echo '!macro TorvixUninstallFiles'; cat "$files_nsh.uninstall"; echo '!macroend'; } >"$files_nsh"
rm -f "$files_nsh.install" "$files_nsh.uninstall"

setup=$out/Torvix-$version-setup.exe
rm -f "$setup"
makensis -V2 -NOCD "-DVERSION=$version" "-DFILES=$files_nsh" "-DICON=$root/data/windows/torvix.ico" \
  "-DOUTFILE=$setup" "-DSTAGE=$stage" data/windows/torvix.nsi
echo "$(basename "$zip"): $(stat -c %s "$zip") bytes; $(basename "$setup"): $(stat -c %s "$setup") bytes"
echo "programs and DLLs: $(cd "$stage" && find . -type f | sort | tr '\n' ' ')"
