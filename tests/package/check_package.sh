#!/usr/bin/env bash
# Builds the Debian package from a build tree and checks what it holds: the
# programs, the chip files (which the installed korva-asm must find), the
# documents, compressed manual pages, copyright and changelog, the desktop
# entry with its file type, the recommended packages, and no lintian error.
#   check_package.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 source=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for tool in cpack dpkg-deb; do
  command -v "$tool" > /dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
cpack --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/korva_"$version"_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' > "$work/contents"
has() { grep -qx "$1" "$work/contents" || fail "the package has no $1"; }

# Programs, chip files, documents.
has usr/bin/korva-asm
has usr/bin/korva-dis
for chip in "$source"/chips/*.inc; do has "usr/share/korva/chips/$(basename "$chip")"; done
for doc in copyright changelog.gz README.md notation.md limits.md performance.md; do
  has "usr/share/doc/korva/$doc"
done
has usr/share/man/man1/korva-asm.1.gz
# The language server comes with its manual page, when it is built.
if grep -qx usr/bin/korva-lsp "$work/contents"; then
  has usr/share/man/man1/korva-lsp.1.gz
  has usr/share/doc/korva/language-server.md
fi
has usr/share/man/man1/korva-dis.1.gz
# The window comes with its manual page and desktop entry, when it is built.
window=$(grep -qx usr/bin/korva "$work/contents" && echo yes || echo no)
if [ "$window" = yes ]; then
  has usr/share/man/man1/korva.1.gz
  has usr/share/applications/korva.desktop
fi
if grep -E '^usr/share/man/.*[^z]$' "$work/contents" | grep -v '/$'; then
  fail "uncompressed manual pages"
fi
has usr/share/mime/packages/korva.xml
# The playground's site, when it was built before the package.
if [ -f "$source/playground/dist/index.html" ]; then
  for file in index.html main.js worker.js style.css korva-core.wasm examples.json chips/chips.json \
    chips/16F84A.inc chips/16F1827.inc; do
    has "usr/share/korva/playground/$file"
  done
fi

# Control fields.
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
recommends=$(dpkg-deb -f "$deb" Recommends)
for wanted in "fonts-noto-cjk | fonts-ipafont-gothic" gpsim; do
  [[ "$recommends" == *"$wanted"* ]] || fail "Recommends lacks '$wanted': $recommends"
done

# The files themselves, as installed.
root=$work/root
dpkg-deb -x "$deb" "$root"
gzip -dc "$root/usr/share/doc/korva/changelog.gz" | head -1 | grep -q "^korva ($version) " ||
  fail "the changelog's latest entry is not version $version"
desktop=$root/usr/share/applications/korva.desktop
if [ "$window" = yes ]; then
  grep -qx 'Exec=korva %f' "$desktop" ||
    fail "the desktop entry does not pass the file: $(grep Exec= "$desktop")"
  mime_type=$(sed -n 's/^MimeType=\([^;]*\);.*/\1/p' "$desktop")
  [ -n "$mime_type" ] || fail "the desktop entry names no MIME type"
  grep -A4 "<mime-type type=\"$mime_type\">" "$root/usr/share/mime/packages/korva.xml" |
    grep -q '<glob pattern="\*.amk"/>' || fail "$mime_type is not defined for *.amk"
fi
chips=$(env -u KORVA_CHIPS_DIR "$root/usr/bin/korva-asm" --list-chips | cut -d' ' -f1 | tr '\n' ' ')
expected=$(cd "$source/chips" && ls *.inc | sed 's/\.inc$//' | sort | tr '\n' ' ')
[ "$chips" = "$expected" ] || fail "the installed korva-asm lists '$chips', not '$expected'"
# The installed korva-dis finds the chip files too.
printf ':020000000530C9\r\n:00000001FF\r\n' > "$work/image.hex"
env -u KORVA_CHIPS_DIR "$root/usr/bin/korva-dis" --chip 16F84A -o "$work/image" "$work/image.hex" ||
  fail "the installed korva-dis does not disassemble for --chip 16F84A"

if command -v lintian > /dev/null; then
  status=0
  lintian --allow-root "$deb" > "$work/lintian.log" 2>&1 || status=$?
  if grep '^E:' "$work/lintian.log"; then
    fail "lintian reports errors"
  elif [ "$status" -ne 0 ]; then
    cat "$work/lintian.log"
    fail "lintian did not run (status $status)"
  fi
  echo "lintian: $(grep -c '^[EW]:' "$work/lintian.log" || true) errors and warnings"
else
  echo "skipped lintian: not installed (scripts/deps.sh installs it)"
fi

[ "$failures" -eq 0 ] || exit 1
echo "$(basename "$deb"): $(wc -l < "$work/contents") entries, contents as expected"
