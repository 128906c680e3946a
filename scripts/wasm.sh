#!/usr/bin/env bash
# Builds the portable core for WebAssembly (WASI, with Debian's clang,
# wasi-libc and the wasm32 C++ library, without exceptions) and runs its
# runner under Node on the examples and the case files: each .obj, .out,
# .bin and .hex must equal korva-asm's byte for byte. The browser's module
# (korva-core.wasm) is checked the same way through its entry point.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
root="$(pwd)"
cmake -S . -B build/wasm -DCMAKE_TOOLCHAIN_FILE=cmake/wasm32-wasi.cmake \
  -DCMAKE_BUILD_TYPE=Release -DKORVA_WERROR=ON > /dev/null
cmake --build build/wasm -j2
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKORVA_BUILD_TESTS=OFF \
  -DKORVA_BUILD_WINDOW=OFF > /dev/null
cmake --build build/release -j2 --target korva-asm

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
runs=0
check() {  # check NAME SOURCE...: the same project natively and in WebAssembly
  local name="$1"; shift
  mkdir -p "$work/$name/native" "$work/$name/wasm"
  cp "$@" "$work/$name/native/"
  cp "$@" "$work/$name/wasm/"
  local files=()
  for source in "$@"; do files+=("$(basename "$source")"); done
  (cd "$work/$name/native" && "$root/build/release/korva-asm" --hex -o out "${files[@]}" \
    > /dev/null 2>&1) || true
  # Node before 20 (Debian's own) opens WASI only behind the flag.
  (cd "$work/$name/wasm" && node --no-warnings --experimental-wasi-unstable-preview1 \
    "$root/wasm/run_wasi.mjs" "$root/build/wasm/korva-wasm-asm.wasm" --hex -o out \
    "${files[@]}" > /dev/null)
  for output in out.obj out.out out.bin out.hex; do
    if ! cmp -s "$work/$name/native/$output" "$work/$name/wasm/$output"; then
      echo "DIFFERENT: $name $output"
      status=1
    fi
  done
  runs=$((runs + 1))
}
for example in examples/*/; do
  check "$(basename "$example")" "$example"*.as
done
for case_file in $(find tests/cases -name '*.as' | sort); do
  check "$(basename "$case_file" .as)" "$case_file"
done
echo "WebAssembly: $runs projects, each output as korva-asm writes it"

# The core for the browser: the same outputs through its one entry point,
# from sources held in memory, and at most 1 MB.
node tests/wasm/browser_core_test.mjs build/wasm/korva-core.wasm \
  "$root/build/release/korva-asm" "$root" || status=1
size="$(stat -c %s build/wasm/korva-core.wasm)"
echo "korva-core.wasm: $size bytes, $(gzip -9 -c build/wasm/korva-core.wasm | wc -c) compressed"
if [ "$size" -gt 1048576 ]; then
  echo "korva-core.wasm is larger than 1 MB"
  status=1
fi

# The playground built on it, in Debian's Chromium.
./scripts/playground.sh --build-only
node playground/tests/browser_test.mjs playground/dist "$root/build/release/korva-asm" "$root" ||
  status=1
# The Debian package of the full build installs the site too, now that it is built.
if [ -f build/test/CPackConfig.cmake ]; then
  ctest --test-dir build/test --output-on-failure -R '^package\.deb$' || status=1
fi
exit "$status"
