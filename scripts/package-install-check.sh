#!/usr/bin/env bash
# Installs the Debian package on this machine, runs both programs from the
# PATH, starts the window under Xvfb with a track named on the command line
# and checks that its settings land in the user's configuration folder, then
# removes the package and checks that none of its files is left.
# Changes the machine (apt install / remove): not part of scripts/test.sh.
#
#   sudo bash scripts/package-install-check.sh build/package/torvix_VERSION_ARCH.deb
set -euo pipefail
deb=$(realpath "$1")
sample=$(realpath "$(dirname "$0")/../samples/sample.nltrack")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if dpkg-query -W -f='${Status}' torvix 2>/dev/null | grep -q 'install ok installed'; then
  echo "torvix is installed already; remove it first"; exit 1
fi
files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|')

echo "-- apt install $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" 2>&1 | grep -E '^(Setting up|Unpacking|Processing triggers|The following NEW)|torvix' || true
echo "-- from the PATH"
echo "\$ command -v torvix torvix-cli"; command -v torvix torvix-cli || fail "not on the PATH"
echo "\$ torvix --version"; torvix --version
echo "\$ torvix-cli --version"; torvix-cli --version
echo "\$ torvix-cli info samples/sample.nltrack"; torvix-cli info "$sample" | head -3
echo "\$ grep -l torvix /usr/share/applications/mimeinfo.cache"
grep -l 'application/x-nltrack=.*torvix.desktop' /usr/share/applications/mimeinfo.cache || fail "the menu's MIME cache does not offer Torvix for .nltrack"
grep -q 'application/x-nltrack' /usr/share/mime/globs2 || fail "the MIME database does not know .nltrack"

echo "-- the window under Xvfb, as a user with a fresh home folder"
home=$(mktemp -d)
(cd "$home" && HOME=$home XDG_CONFIG_HOME='' timeout 20 xvfb-run -a torvix "$sample" >/dev/null 2>&1) || true
ini=$home/.config/Torvix/Torvix.ini
if [ -f "$ini" ]; then
  echo "$ini:"; sed 's/^/    /' "$ini"
  grep -qx "LoadPath=$(dirname "$sample")" "$ini" || fail "the track named on the command line was not loaded"
  echo "folder mode: $(stat -c %a "$home/.config/Torvix")"
else
  fail "no settings in $home/.config/Torvix"
fi
[ ! -e /usr/bin/Torvix.ini ] || fail "the installed window wrote /usr/bin/Torvix.ini"
rm -rf "$home"

echo "-- apt remove torvix"
DEBIAN_FRONTEND=noninteractive apt-get remove -y torvix 2>&1 | grep -E '^(Removing|Processing triggers)' || true
dpkg-query -W -f='${Status}\n' torvix 2>/dev/null | grep -q 'install ok installed' && fail "still installed"
left=0
for f in $files /usr/bin/Torvix.ini; do
  if [ -e "$f" ]; then fail "left behind: $f"; left=1; fi
done
for d in /usr/share/doc/torvix; do [ -e "$d" ] && fail "left behind: $d"; done
grep -q 'application/x-nltrack' /usr/share/mime/globs2 && fail "the MIME database still knows .nltrack"
grep -q 'torvix.desktop' /usr/share/applications/mimeinfo.cache 2>/dev/null && fail "the menu's MIME cache still names torvix.desktop"
[ "$left" = 0 ] && echo "none of the package's $(wc -w <<<"$files") files is left"

if [ "$failures" -ne 0 ]; then echo "Install check: $failures failure(s)"; exit 1; fi
echo "Install check: installed, ran from the PATH, settings in ~/.config/Torvix, removed without a trace"
