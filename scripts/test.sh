#!/usr/bin/env bash
# Builds everything and runs every test, once plainly and once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DKORVA_BUILD_BENCH=ON > /dev/null
cmake --build build/test -j2
ctest --test-dir build/test --output-on-failure -j2
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DKORVA_SANITIZE=ON > /dev/null
cmake --build build/asan -j2
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j2
