#!/usr/bin/env bash
# Builds everything and runs every test: the layout check, a build with
# warnings as errors, then the tests plainly, under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the code that starts threads under
# ThreadSanitizer; last, clang-tidy over the sources.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
./scripts/check_style.sh
cmake -S . -B build/test -DCMAKE_BUILD_TYPE=Debug -DKORVA_BUILD_BENCH=ON -DKORVA_WERROR=ON > /dev/null
cmake --build build/test -j2
ctest --test-dir build/test --output-on-failure -j2
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DKORVA_SANITIZE=ON > /dev/null
cmake --build build/asan -j2
# package.deb packs the build's programs and checks the package: the plain
# run does that, sanitized programs add nothing to it.
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j2 -E '^package\.deb$'
# The code that starts threads (the release of replaced outputs, the output
# set's locks, the Assemble command) under ThreadSanitizer, in two shards at
# once, one per core; each shard's output is shown, and any shard's failure
# fails the run.
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DKORVA_SANITIZE_THREAD=ON \
  -DKORVA_BUILD_WINDOW=OFF > /dev/null
cmake --build build/tsan -j2 --target korva_thread_tests
tsan_logs="$(mktemp -d)"
trap 'rm -rf "$tsan_logs"' EXIT
tsan_pids=()
for shard in 0 1; do
  GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$shard TSAN_OPTIONS=halt_on_error=1 \
    build/tsan/tests/korva_thread_tests --gtest_brief=1 > "$tsan_logs/$shard" 2>&1 &
  tsan_pids+=($!)
done
tsan_status=0
for shard in 0 1; do
  wait "${tsan_pids[$shard]}" || tsan_status=1
  cat "$tsan_logs/$shard"
done
[ "$tsan_status" -eq 0 ]
./scripts/check_style.sh --tidy build/test
