#!/usr/bin/env bash
# Inspects the Debian package without installing it: its metadata
# (dpkg-deb -I), its exact file list (dpkg-deb -c), and the files themselves:
# programs that run and say their version, a valid desktop entry, icons of the
# sizes their folders name, a MIME type the database accepts, and manual
# pages that list every command the programs' --help lists.
#
#   bash scripts/check-package.sh build/package/torvix_VERSION_ARCH.deb
set -euo pipefail
deb=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

echo "-- dpkg-deb --info $(basename "$deb")"
info=$(dpkg-deb --info "$deb")
echo "$info"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = torvix ] || fail "package name is $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture $(field Architecture)"
[ -n "$(field Version)" ] || fail "no version"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
depends=$(field Depends)
# Worked out from the binaries: the C and C++ runtimes and Qt's Widgets.
for lib in libc6 libstdc++6 libgcc-s1 libqt6widgets6 libqt6gui6 libqt6core6; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

echo "-- dpkg-deb --contents (files)"
files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|' | sort)
echo "$files"
expected=$(
  printf '%s\n' /usr/bin/torvix /usr/bin/torvix-cli /usr/share/applications/torvix.desktop \
    /usr/share/mime/packages/torvix.xml /usr/share/man/man1/torvix.1.gz /usr/share/man/man1/torvix-cli.1.gz \
    /usr/share/doc/torvix/README.md /usr/share/doc/torvix/LICENSE
  for page in "$(dirname "$0")"/../docs/*.md; do echo "/usr/share/doc/torvix/docs/$(basename "$page")"; done
  for size in 16 22 24 32 48 64 128 256; do echo "/usr/share/icons/hicolor/${size}x${size}/apps/torvix.png"; done
)
if ! diff -u <(sort <<<"$expected") <(echo "$files"); then fail "the file list is not the expected one"; fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb --extract "$deb" "$root"
usr=$root/usr

for program in torvix torvix-cli; do
  if file -b "$usr/bin/$program" | grep -q 'not stripped'; then fail "$program is not stripped"; fi
  version=$("$usr/bin/$program" --version)
  [ "$version" = "$program $(field Version)" ] || fail "$program --version says '$version'"
done

desktop-file-validate "$usr/share/applications/torvix.desktop" || fail "desktop entry is not valid"
grep -qx 'MimeType=application/x-nltrack;' "$usr/share/applications/torvix.desktop" || fail "desktop entry lacks the track type"

for png in "$usr"/share/icons/hicolor/*/apps/torvix.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  file -b "$png" | grep -q "PNG image data, ${size/x/ x }," || fail "$png is not a ${size} PNG: $(file -b "$png")"
done

mime=$root/mime-check
mkdir -p "$mime/packages"
cp "$usr/share/mime/packages/torvix.xml" "$mime/packages/"
update-mime-database "$mime" >/dev/null 2>&1 || fail "update-mime-database refuses torvix.xml"
grep -q '\*\.nltrack' "$mime/globs2" 2>/dev/null || fail "the MIME database has no *.nltrack glob"

# Manual pages made from --help: every command --help lists is in the page.
commands=$("$usr/bin/torvix-cli" --help | awk '/^Subcommands:/ {on = 1; next} on && /^  [a-z]/ {print $1}')
[ "$(wc -w <<<"$commands")" -ge 4 ] || fail "torvix-cli --help lists too few commands: $commands"
# roff writes a hyphen as \-; read it as the command name it is.
page=$(zcat "$usr/share/man/man1/torvix-cli.1.gz" | sed 's/\\-/-/g')
for c in $commands; do grep -qw -- "$c" <<<"$page" || fail "man page lacks $c"; done
zcat "$usr/share/man/man1/torvix.1.gz" | grep -q -- 'TRACK\.nltrack' || fail "torvix's man page lacks its usage"
echo "commands in torvix-cli --help and its manual page: $(echo $commands)"

if [ "$failures" -ne 0 ]; then
  echo "Package check: $failures failure(s)"
  exit 1
fi
echo "Package check: $(basename "$deb") is complete and well-formed"
