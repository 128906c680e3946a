#!/usr/bin/env bash
# Cross-builds the core, korva-asm and the core tests for 64-bit Windows with
# mingw-w64 and runs them under wine: the tests, then korva-asm on the
# examples (entries and paths with "\" and "/", a folder with a Japanese
# name), whose outputs must equal those of the native build byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
root="$(pwd)"
build="$root/build/mingw"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DKORVA_BUILD_WINDOW=OFF > /dev/null
cmake --build "$build" -j2 --target korva_tests korva-asm
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKORVA_BUILD_TESTS=OFF \
  -DKORVA_BUILD_WINDOW=OFF > /dev/null
cmake --build build/release -j2 --target korva-asm

export WINEPREFIX="$root/build/wine" WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
echo "== korva_tests.exe under wine"
(cd "$build/tests" && wine korva_tests.exe --gtest_brief=1)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
folder="ソース"  # "source", in Japanese
status=0
compare() {  # compare NATIVE_FILE WINDOWS_FILE LABEL
  if cmp -s "$1" "$2"; then
    echo "same: $3"
  else
    echo "DIFFERENT: $3"
    status=1
  fi
}
for example in examples/*/; do
  name="$(basename "$example")"
  native="$work/native/$name"
  windows="$work/windows/$name"
  mkdir -p "$native" "$windows/$folder"
  cp "$example"/*.as "$native/"
  cp "$example"/*.as "$windows/$folder/"
  # The same project twice natively: the sources given directly, and a
  # project file listing them.
  : > "$native/proj.amk"
  : > "$windows/proj.amk"
  sources=()
  for source in "$example"/*.as; do
    base="$(basename "$source")"
    sources+=("$folder\\$base")
    printf '%s\r\n' "$base" >> "$native/proj.amk"
    # Project files are CP932; the entry names the Japanese folder with "\".
    printf '%s\\%s\r\n' "$folder" "$base" | iconv -f UTF-8 -t CP932 >> "$windows/proj.amk"
  done
  (cd "$native" && "$root/build/release/korva-asm" ./*.as > /dev/null 2>&1) || true
  (cd "$native" && "$root/build/release/korva-asm" proj.amk > /dev/null 2>&1) || true
  # On Windows: sources through the Japanese folder with a backslash, and the
  # project file given with a forward slash.
  (cd "$windows" && wine "$build/korva-asm.exe" "${sources[@]}" > /dev/null 2>&1) || true
  (cd "$windows" && wine "$build/korva-asm.exe" ./proj.amk > /dev/null 2>&1) || true
  for ext in obj out bin; do
    for file in "$native"/*."$ext"; do
      file="$(basename "$file")"
      if [ "${file%.*}" = proj ]; then
        compare "$native/$file" "$windows/$file" "$name/$file (project file)"
      else
        compare "$native/$file" "$windows/$folder/$file" "$name/$file (sources)"
      fi
    done
  done
done
exit "$status"
