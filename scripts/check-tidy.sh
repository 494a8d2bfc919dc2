#!/usr/bin/env bash
# Runs clang-tidy 14 with the repository's .clang-tidy (the naming
# conventions and a few bug-prone patterns) over every C++ source of src/,
# two at a time, with the compile commands of the dev build (configured
# here when it is not yet). Prints the findings and exits 1 when there are
# any.
#   bash scripts/check-tidy.sh            # all of src/
#   bash scripts/check-tidy.sh --changed  # the sources changed since main,
#                                         # and those beside a changed header
set -euo pipefail
cd "$(dirname "$0")/.."

tidy=clang-tidy-14
command -v "$tidy" >/dev/null || { echo "check-tidy: $tidy is missing (Debian package clang-tidy)" >&2; exit 1; }

build=build/dev
[ -f "$build/build.ninja" ] || cmake --preset dev >/dev/null
# transistors/TransistorTable.cpp and TransistorRatings.cpp include the tables generated at build
# time; building it also brings compile_commands.json up to date with the
# CMake files.
cmake --build "$build" --target src/generated/transistors/TransistorTableData.h \
  src/generated/transistors/TransistorRatingsData.h >/dev/null

if [ "${1:-}" = "--changed" ]; then
  base=$(git merge-base main HEAD)
  listed=$({ git diff --name-only "$base" -- src; git ls-files --others --exclude-standard -- src; })
  mapfile -t changed < <(sort -u <<<"$listed")
  files=()
  for f in "${changed[@]}"; do
    case "$f" in
      *.cpp) [ -f "$f" ] && files+=("$f") ;;
      *.h) [ -f "${f%.h}.cpp" ] && files+=("${f%.h}.cpp") ;;
    esac
  done
  mapfile -t files < <(printf '%s\n' "${files[@]}" | sort -u | sed '/^$/d')
else
  listed=$(git ls-files --cached --others --exclude-standard -- src)
  mapfile -t files < <(grep -E '\.cpp$' <<<"$listed")
fi
if [ ${#files[@]} -eq 0 ]; then
  echo "check-tidy: no sources to check"
  exit 0
fi


# One source; its findings, when there are any, and a failure.
run_one() {
  local source=$1 out
  local args=(-p "$build" --quiet)
  if out=$("$tidy" "${args[@]}" "$source" 2>&1); then
    return 0
  fi
  printf '%s\n' "$out" | grep -v -E '^[0-9]+ (warning|error)s? (and [0-9]+ errors? )?generated\.$'
  return 1
}
export -f run_one
export tidy build

echo "check-tidy: ${#files[@]} sources"
if printf '%s\n' "${files[@]}" | xargs -P 2 -I{} bash -c 'run_one "$1"' _ {}; then
  echo "check-tidy: no findings"
else
  echo "check-tidy: findings above" >&2
  exit 1
fi
