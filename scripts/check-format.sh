#!/usr/bin/env bash
# Checks that every C++ file follows .clang-format; lists the files that do
# not and exits 1. Reformat with:  bash scripts/check-format.sh --fix
set -euo pipefail
cd "$(dirname "$0")/.."
# A failing git must not pass as "no file to check".
listed=$(git ls-files -- src tests tools benchmarks fuzz)
mapfile -t files < <(grep -E '\.(cpp|h)$' <<<"$listed")
[ ${#files[@]} -gt 0 ] || { echo "check-format: no C++ sources found" >&2; exit 1; }
if [ "${1:-}" = "--fix" ]; then
  clang-format -i -- "${files[@]}"
else
  clang-format --dry-run -Werror -- "${files[@]}"
fi
