#!/usr/bin/env bash
# A long fuzzing campaign of one libFuzzer target, where scripts/fuzz.sh
# only runs each target briefly for CI.
#
#   scripts/fuzz_campaign.sh TARGET [EXECUTIONS]
#
# TARGET is assemble, outputs, project, lsp_message or hex. The target is
# built as scripts/fuzz.sh builds it (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and run as FUZZ_JOBS jobs (2 by default) on as
# many workers, on a copy of fuzz/corpus/TARGET, until the jobs have made
# EXECUTIONS executions together (10,000,000 by default; each job runs its
# share with -runs). With FUZZ_SECONDS set, each job runs that long instead.
# With FUZZ_SANITIZERS=0 the jobs run a build without the sanitizers (about
# six times as many executions a second; build/fuzz-fast), and the grown
# corpus is then run once, input by input, under the sanitizers.
#
# Kept in FUZZ_CAMPAIGN_DIR (build/fuzz-campaign/TARGET-<time> by default):
# each job's log (fuzz-N.log), the grown corpus (corpus/) and what the jobs
# found (crash-*, timeout-*, oom-*, leak-*). Printed at the end: the
# executions of each job with its executions a second, their total, and
# every finding. Then the grown corpus is merged back, minimised, into
# fuzz/corpus/TARGET (-merge=1: the fewest, smallest inputs that reach every
# edge the old and the grown corpus reach); FUZZ_NO_MERGE=1 leaves it alone.
# The exit status is 1 when something was found.
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:?usage: scripts/fuzz_campaign.sh TARGET [EXECUTIONS]}"
executions="${2:-10000000}"
jobs="${FUZZ_JOBS:-2}"
[ -d "fuzz/corpus/$target" ] || { echo "no corpus fuzz/corpus/$target" >&2; exit 2; }

./scripts/deps.sh
build_fuzzer() { # BUILD_DIR SANITIZERS
  CXX=clang++ cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVA_BUILD_FUZZ=ON \
    -DKORVA_FUZZ_SANITIZERS="$2" -DKORVA_BUILD_WINDOW=OFF -DKORVA_BUILD_TESTS=OFF > /dev/null
  cmake --build "$1" -j2 --target "${target}_fuzzer"
}
build_fuzzer build/fuzz ON
checked="$PWD/build/fuzz/fuzz/${target}_fuzzer"
fuzzer="$checked"
if [ "${FUZZ_SANITIZERS:-1}" = 0 ]; then
  build_fuzzer build/fuzz-fast OFF
  fuzzer="$PWD/build/fuzz-fast/fuzz/${target}_fuzzer"
fi

dir="${FUZZ_CAMPAIGN_DIR:-build/fuzz-campaign/$target-$(date +%Y%m%d-%H%M%S)}"
mkdir -p "$dir"
dir="$(cd "$dir" && pwd)"
rm -rf "$dir/corpus"
cp -r "fuzz/corpus/$target" "$dir/corpus"

# FUZZ_MAX_LEN bounds the inputs the jobs make (4096 bytes, as in CI, by
# default); 512 bytes still hold a dozen statements and a macro expanded a
# hundred lines, at about half the time an execution.
max_len="${FUZZ_MAX_LEN:-4096}"
if [ -n "${FUZZ_SECONDS:-}" ]; then
  bound=(-max_total_time="$FUZZ_SECONDS")
else
  bound=(-runs="$(((executions + jobs - 1) / jobs))")
fi
echo "== ${target}_fuzzer: $jobs jobs, ${bound[0]} each, logs in $dir"
# -detect_leaks=0 as in scripts/fuzz.sh: the targets keep one service from
# input to input. The jobs write their logs (fuzz-N.log) where they start.
status=0
(cd "$dir" && "$fuzzer" -jobs="$jobs" -workers="$jobs" "${bound[@]}" -max_len="$max_len" -timeout=10 \
  -rss_limit_mb=2048 -detect_leaks=0 -print_final_stats=1 -artifact_prefix="$dir/" \
  "$dir/corpus" > "$dir/campaign.log" 2>&1) || status=$?

total=0
for log in "$dir"/fuzz-*.log; do
  [ -e "$log" ] || continue
  # The final statistics, else the last "#N" line of a job that stopped.
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  [ -n "$runs" ] || runs="$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#')"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
  echo "$(basename "$log"): ${runs:-0} executions, ${rate:-?} exec/s"
  total=$((total + ${runs:-0}))
done
echo "total: $total executions"

found=0
if [ "$fuzzer" != "$checked" ]; then
  # -runs=0: each input of the grown corpus once, under the sanitizers.
  echo "== the grown corpus under the sanitizers"
  (cd "$dir" && "$checked" -runs=0 -max_len=4096 -timeout=10 -rss_limit_mb=2048 -detect_leaks=0 \
    -artifact_prefix="$dir/" "$dir/corpus" > "$dir/replay.log" 2>&1) || status=$?
  grep -E '^(#[0-9]+[[:space:]]+INITED|==[0-9]+==ERROR|SUMMARY:)' "$dir/replay.log" || true
fi
for artifact in "$dir"/crash-* "$dir"/timeout-* "$dir"/oom-* "$dir"/leak-*; do
  [ -e "$artifact" ] || continue
  echo "found: $artifact"
  found=1
done
if grep -h -E '^(==[0-9]+==ERROR|SUMMARY:)' "$dir"/fuzz-*.log "$dir"/replay.log 2> /dev/null; then
  found=1
fi
if [ "$found" -ne 0 ] || [ "$status" -ne 0 ]; then
  echo "== findings: see the logs in $dir"
fi

if [ "${FUZZ_NO_MERGE:-0}" != 1 ]; then
  merged="$dir/merged"
  rm -rf "$merged"
  mkdir -p "$merged"
  # -use_counters=0: an input stays for the code it reaches, not for how
  # often it runs a loop; that keeps a few hundred inputs, not thousands.
  if "$checked" -merge=1 -use_counters=0 -max_len=4096 -timeout=10 -rss_limit_mb=2048 -detect_leaks=0 \
    "$merged" "fuzz/corpus/$target" "$dir/corpus" > "$dir/merge.log" 2>&1 &&
    [ -n "$(ls -A "$merged")" ]; then
    before="$(find "fuzz/corpus/$target" -type f | wc -l)"
    find "fuzz/corpus/$target" -type f -delete
    cp "$merged"/* "fuzz/corpus/$target/"
    after="$(find "fuzz/corpus/$target" -type f | wc -l)"
    echo "fuzz/corpus/$target: $before inputs before the merge, $after after"
  else
    echo "the merge failed (see $dir/merge.log); fuzz/corpus/$target is left as it was"
    found=1
  fi
fi
[ "$found" -eq 0 ] && [ "$status" -eq 0 ]
