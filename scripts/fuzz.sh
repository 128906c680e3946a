#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (under AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time (FUZZ_SECONDS
# each, 30 by default) on a copy of its corpus. The assembly targets call the
# in-memory service, without files.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
seconds="${FUZZ_SECONDS:-30}"
CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVA_BUILD_FUZZ=ON \
  -DKORVA_BUILD_WINDOW=OFF -DKORVA_BUILD_TESTS=OFF > /dev/null
cmake --build build/fuzz -j2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The HEX reader is small: FUZZ_HEX_SECONDS (20 by default) is enough.
for target in assemble outputs project hex; do
  cp -r "fuzz/corpus/$target" "$work/$target"
  target_seconds="$seconds"
  if [ "$target" = hex ]; then target_seconds="${FUZZ_HEX_SECONDS:-20}"; fi
  echo "== fuzzing ${target}_fuzzer for ${target_seconds}s"
  status=0
  build/fuzz/fuzz/${target}_fuzzer -max_total_time="$target_seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 "$work/$target" > "$work/$target.log" 2>&1 || status=$?
  grep -E '^(stat::number|stat::average|Done)|ERROR|SUMMARY|crash-|timeout-|oom-' "$work/$target.log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/$target.log"
    exit "$status"
  fi
done
