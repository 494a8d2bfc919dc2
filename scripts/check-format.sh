#!/usr/bin/env bash
# Checks that every C++ file follows .clang-format; lists the files that do
# not and exits 1. Reformat with:  bash scripts/check-format.sh --fix
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- src tests tools benchmarks fuzz | grep -E '\.(cpp|h)$')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i -- "${files[@]}"
else
  clang-format --dry-run -Werror -- "${files[@]}"
fi
