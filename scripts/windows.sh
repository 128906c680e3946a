#!/usr/bin/env bash
# Cross-builds the core, korva-asm and the core tests for 64-bit Windows with
# mingw-w64 and runs them under wine: the tests, then korva-asm on the
# examples (entries and paths with "\" and "/", a folder with a Japanese
# name), whose outputs must equal those of the native build byte for byte,
# also when they replace the outputs of an earlier run. Last, a large
# assembly is interrupted (Ctrl+C, which wine makes of SIGINT) and killed:
# the outputs stay the old set or become the whole new one, an interrupted
# run leaves no file, and the next run removes what a killed one left.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
root="$(pwd)"
build="$root/build/mingw"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DKORVA_BUILD_WINDOW=OFF -DKORVA_WERROR=ON > /dev/null
cmake --build "$build" -j2 --target korva_tests korva-asm
# clang-tidy over the Windows implementations, as scripts/check_style.sh
# does over the rest, with the cross compiler's C++ library.
cxx_include="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")/include/c++"
mapfile -t windows_sources < <(git ls-files '*_windows.cpp')
clang-tidy -p "$build" --quiet --warnings-as-errors='*' --extra-arg=--target=x86_64-w64-mingw32 \
  --extra-arg=-isystem"$cxx_include" --extra-arg=-isystem"$cxx_include/x86_64-w64-mingw32" \
  --extra-arg=-Wno-unknown-warning-option "${windows_sources[@]}" 2> /dev/null
echo "clang-tidy: ${#windows_sources[@]} Windows files without findings"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKORVA_BUILD_TESTS=OFF \
  -DKORVA_BUILD_WINDOW=OFF > /dev/null
cmake --build build/release -j2 --target korva-asm

export WINEPREFIX="$root/build/wine" WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
# A new prefix is set up first and on its own: a program started while wine
# still sets it up may find no kernel32.dll.
wineboot --init > /dev/null 2>&1 || true
wineserver --wait || true
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
  # Twice: the second run replaces the outputs of the first.
  (cd "$windows" && wine "$build/korva-asm.exe" "${sources[@]}" > /dev/null 2>&1) || true
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
leftovers() {  # leftovers FOLDER: the temporary files of the file layer in it
  find "$1" -name '*.korva-tmp-*' -o -name '*.korva-old-*'
}
left="$(leftovers "$work/windows")"
if [ -n "$left" ]; then
  echo "LEFT BEHIND: $left"
  status=1
fi

echo "== korva-asm.exe on names outside CP932 under wine"
# Each name on the command line, as -o and as a folder: the outputs land
# under exactly that name, and a project entry written in CP932 is found.
names=("café" "über" "bell🔔" "点滅" "α")
for name in "${names[@]}"; do
  here="$work/names/$name"
  mkdir -p "$here/$name"
  printf '        SLEEP\r\n' > "$here/$name.as"
  printf '        SLEEP\r\n' > "$here/$name/p.as"
  printf 'p.as\r\n' > "$here/$name/q.amk"
  (cd "$here" && wine "$build/korva-asm.exe" "$name.as" > /dev/null 2>&1 &&
    wine "$build/korva-asm.exe" -o "o-$name" "$name.as" > /dev/null 2>&1 &&
    wine "$build/korva-asm.exe" "$name/p.as" > /dev/null 2>&1 &&
    wine "$build/korva-asm.exe" "$name/q.amk" > /dev/null 2>&1) || true
  expected="$(printf '%s\n' "$name.as" "$name.bin" "$name.obj" "$name.out" "$name" \
    "o-$name.bin" "o-$name.obj" "o-$name.out" "$name/p.as" "$name/p.bin" "$name/p.obj" \
    "$name/p.out" "$name/q.amk" "$name/q.bin" "$name/q.obj" "$name/q.out" | sort)"
  found="$(cd "$here" && find . -mindepth 1 | sed 's|^\./||' | sort)"
  if [ "$found" = "$expected" ]; then
    echo "same: the outputs of $name"
  else
    echo "DIFFERENT: the outputs of $name:"
    echo "$found"
    status=1
  fi
done

echo "== korva-asm.exe interrupted and killed under wine"
big="$work/big/$folder"
reference="$work/big/native"
mkdir -p "$big" "$reference/old" "$reference/new"
outputs=(p.obj p.out p.bin p.hex)
same_set() {  # same_set FOLDER_A FOLDER_B: the outputs of p are the same
  for file in "${outputs[@]}"; do cmp -s "$1/$file" "$2/$file" || return 1; done
}
check() {  # check CONDITION_STATUS LABEL
  if [ "$1" -eq 0 ]; then
    echo "ok: $2"
  else
    echo "FAILED: $2"
    status=1
  fi
}
# The old set from a one-line program; the new one, from 200000 lines, takes
# long enough for a signal to arrive while it is written.
printf 'NOP\r\n' > "$reference/old/p.as"
awk 'BEGIN { for (i = 0; i < 200000; ++i) printf " W>(%d) ; line %d\r\n", 32 + i % 80, i
             printf "ORG $2007\r\n\\3F32\r\n" }' > "$reference/new/p.as"
for set in old new; do
  (cd "$reference/$set" && "$root/build/release/korva-asm" -w --hex p.as > /dev/null)
done
# Starts korva-asm.exe on the new program over the old set, waits until its
# first temporary file exists, sends the signal and waits for the end.
interrupt() {  # interrupt SIGNAL; sets ended (exit status) and sent (whether it was in time)
  cp "$reference/old"/p.* "$big/"
  cp "$reference/new/p.as" "$big/"
  (cd "$big" && exec wine "$build/korva-asm.exe" -w --hex p.as > /dev/null 2>&1) &
  local pid=$! tries=0
  sent=1
  until [ -n "$(leftovers "$big")" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 1000 ]; then sent=0; break; fi
    sleep 0.01
  done
  kill "-$1" "$pid" 2> /dev/null || sent=0
  ended=0
  { wait "$pid" || ended=$?; } 2> /dev/null
}
whole_set() {  # whole_set: the old set or the complete new one
  same_set "$big" "$reference/old" || same_set "$big" "$reference/new"
}
interrupt INT
check "$((1 - sent))" "Ctrl+C (SIGINT) arrived while the outputs were written"
check "$([ "$ended" -eq 58 ]; echo $?)" "interrupted run ends as Ctrl+C ends a program (status $ended)"
check "$(whole_set; echo $?)" "interrupted run: the old set or the whole new one"
check "$([ -z "$(leftovers "$big")" ]; echo $?)" "interrupted run leaves no temporary file"
interrupt KILL
check "$((1 - sent))" "SIGKILL arrived while the outputs were written"
check "$(whole_set; echo $?)" "killed run: the old set or the whole new one"
echo "killed run left: $(leftovers "$big" | xargs -r -n1 basename | tr '\n' ' ')"
next=0
(cd "$big" && wine "$build/korva-asm.exe" -w --hex p.as > /dev/null 2>&1) || next=$?
check "$next" "the next run completes"
check "$(same_set "$big" "$reference/new"; echo $?)" "the next run writes the whole new set"
check "$([ -z "$(leftovers "$big")" ]; echo $?)" "the next run removes what the killed one left"
exit "$status"
