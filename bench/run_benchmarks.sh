#!/usr/bin/env bash
# Builds the benchmarks (Release, in build/bench), runs them, measures the
# peak memory of assembling the generated projects, times gputils' gpasm on
# the same 50k-line program in Microchip mnemonics next to korva-asm and,
# when Qt is there, times the window's Assemble command on the offscreen
# platform. Usage:
#   bench/run_benchmarks.sh [extra korva-bench options]
# e.g. bench/run_benchmarks.sh --benchmark_filter='floor|assemble'
# Needs: cmake, g++, Google Benchmark (libbenchmark-dev), /usr/bin/time,
# gputils (gpasm) for the comparison, and Qt 6 for the window benchmark; the
# parts whose tools are missing are skipped with a line that says so.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/bench"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKORVA_BUILD_BENCH=ON \
  -DKORVA_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" -j2 --target korva-bench korva-bench-project korva-asm > /dev/null
window_bench=""
if cmake --build "$build" -j2 --target korva-bench-window > /dev/null 2>&1; then
  window_bench="$build/bench/korva-bench-window"
fi

echo "== Benchmarks (three repetitions; the summary takes the shortest of each)"
"$build/bench/korva-bench" --benchmark_repetitions=3 --benchmark_color=false "$@"

echo
echo "== Peak memory (/usr/bin/time -v), limit: source + listing + 16 MiB"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
printf '%8s %12s %12s %12s %14s %14s\n' lines "source KiB" "listing KiB" "limit KiB" \
  "korva-asm KiB" "core KiB"
for lines in 10000 50000 200000; do
  dir="$work/p$lines"
  "$build/bench/korva-bench-project" "$dir" "$lines" > /dev/null
  # Maximum resident set size in KiB; the program's own output is dropped.
  peak() {
    /usr/bin/time -f '%M' -o "$work/peak" "$@" > /dev/null 2>&1 || true
    tail -n 1 "$work/peak"
  }
  cli_kib="$(cd "$dir" && peak "$build/korva-asm" bench.amk)"
  core_kib="$(peak "$build/bench/korva-bench-project" --assemble "$dir")"
  source_bytes=$(( $(stat -c %s "$dir/defs.inc") + $(stat -c %s "$dir/main.as") ))
  listing_bytes=$(stat -c %s "$dir/bench.out")
  limit_kib=$(( (source_bytes + listing_bytes) / 1024 + 16 * 1024 ))
  printf '%8d %12d %12d %12d %14d %14d\n' "$lines" $((source_bytes / 1024)) \
    $((listing_bytes / 1024)) "$limit_kib" "$cli_kib" "$core_kib"
done

echo
echo "== gpasm and korva-asm on the same 50k-line program (wall time, best of 5)"
# Milliseconds of the fastest of five runs of the command, in the current
# directory, after one run that warms the caches.
best_ms() {
  "$@" > /dev/null 2>&1 || true
  local best=""
  for _ in 1 2 3 4 5; do
    local start end ms
    start=$(date +%s%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  printf '%d.%03d' $((best / 1000)) $((best % 1000))
}
if command -v gpasm > /dev/null; then
  "$build/bench/korva-bench-project" --mpasm "$work/m50000" 50000 > /dev/null
  gpasm_ms="$(cd "$work/m50000" && best_ms gpasm bench.asm)"
  korva_ms="$(cd "$work/p50000" && best_ms "$build/korva-asm" bench.amk)"
  printf '%12s %14s %18s\n' "gpasm ms" "korva-asm ms" "korva-asm/gpasm"
  printf '%12s %14s %18s\n' "$gpasm_ms" "$korva_ms" \
    "$(awk -v k="$korva_ms" -v g="$gpasm_ms" 'BEGIN { printf "%.3f", k / g }')"
else
  echo "gpasm is not installed (Debian: gputils): not compared"
fi

echo
if [ -n "$window_bench" ]; then
  echo "== The window: Assemble and show a 1 MB listing (offscreen platform)"
  QT_QPA_PLATFORM=offscreen "$window_bench" --benchmark_repetitions=3 --benchmark_color=false
else
  echo "== The window benchmark was not built (no Qt 6 Widgets)"
fi
