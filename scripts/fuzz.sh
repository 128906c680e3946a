#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (under AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time (FUZZ_SECONDS
# each, 20 by default) on a copy of its corpus. The assembly targets call the
# in-memory service, without files.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVA_BUILD_FUZZ=ON \
  -DKORVA_BUILD_WINDOW=OFF -DKORVA_BUILD_TESTS=OFF > /dev/null
cmake --build build/fuzz -j2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The language server's reader (both targets) and the HEX reader get shorter runs
# (LSP_FUZZ_SECONDS and FUZZ_HEX_SECONDS, 15 by default): their inputs are
# small and their paths few.
for target in assemble outputs project lsp_message lsp_frames hex; do
  [ -x "build/fuzz/fuzz/${target}_fuzzer" ] || continue
  cp -r "fuzz/corpus/$target" "$work/$target"
  seconds="${FUZZ_SECONDS:-20}"
  [ "$target" = lsp_message ] && seconds="${LSP_FUZZ_SECONDS:-15}"
  [ "$target" = lsp_frames ] && seconds="${LSP_FUZZ_SECONDS:-15}"
  [ "$target" = hex ] && seconds="${FUZZ_HEX_SECONDS:-15}"
  echo "== fuzzing ${target}_fuzzer for ${seconds}s"
  status=0
  # -detect_leaks=0: the targets keep one service from input to input, as
  # the window keeps one assembler, so an input that grows its buffers
  # would be run a second time to look for a leak; LeakSanitizer still
  # checks the whole run when it ends.
  build/fuzz/fuzz/${target}_fuzzer -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -rss_limit_mb=2048 -detect_leaks=0 -print_final_stats=1 "$work/$target" \
    > "$work/$target.log" 2>&1 || status=$?
  grep -E '^(stat::number|stat::average|Done)|ERROR|SUMMARY|crash-|timeout-|oom-' "$work/$target.log" || true
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$work/$target.log"
    exit "$status"
  fi
done
