#!/usr/bin/env bash
# Checks the layout of every C++ file against .clang-format and that the chip
# files are up to date with their generator; with --tidy BUILD
# also runs clang-tidy (.clang-tidy) over the core, the front ends and the
# tests, using BUILD's compile_commands.json; files whose whole input
# clang-tidy found clean before are skipped (scripts/tidy_cached.py).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run -Werror "${files[@]}"
echo "clang-format: ${#files[@]} files laid out as .clang-format says"
# The chip files are what scripts/generate_chips.py writes from gputils
# (skipped, status 77, where gputils is not installed).
status=0
python3 scripts/generate_chips.py --check || status=$?
if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then exit "$status"; fi
echo "chips: $(ls chips/*.inc | wc -l) chip files as scripts/generate_chips.py writes them"
if [ "${1:-}" = "--tidy" ]; then
  build="${2:?usage: check_style.sh --tidy BUILD_DIR}"
  # The Windows implementations are checked against the cross build, by
  # scripts/windows.sh.
  mapfile -t sources < <(git ls-files '*.cpp' | grep -v '^fuzz/' | grep -v '_windows\.cpp$')
  python3 scripts/tidy_cached.py "$build" "${sources[@]}"
  echo "clang-tidy: ${#sources[@]} files without findings"
fi
