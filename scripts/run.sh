#!/usr/bin/env bash
# Builds the programs and starts the window; without a display, assembles the
# bundled example with korva-asm and shows its listing instead.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DKORVA_BUILD_TESTS=OFF > /dev/null
cmake --build build/release -j2
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/release/shell/korva ]; then
  exec build/release/shell/korva
fi
echo "No display: assembling examples/blink/blink.amk with korva-asm instead."
build/release/korva-asm --listing examples/blink/blink.amk
