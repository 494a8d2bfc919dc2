#!/usr/bin/env bash
# Runs every fuzz target of the fuzz preset for a bounded time (default 25 s
# each; the first argument changes it), starting from the committed corpus
# fuzz/corpus/<target> and the test data of the same format (the golden
# reports, the broken transistor libraries). New inputs go to build/fuzz/runs/<target>, never
# into the committed corpus; a crash is saved in build/fuzz/artifacts/ and
# fails the run. Build first: cmake --workflow --preset fuzz
# Limits: an input may take 10 s and 1 GB; the report reader, whose input
# may be as long as the 1 MiB a report may have, 2 s (a slow input is a
# fault: reading was once quadratic in the file's size, 63 s for 1 MB;
# 0.13 s now in a debug build, the sanitizers of this one add to it).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-25}
root=$PWD
build=$root/build/fuzz
mkdir -p "$build/artifacts"
status=0
# More seeds per target, from the tests' own data.
declare -A seeds=(
  [reportreader]=$root/tests/report/golden
  [transistorlib]=$root/tests/transistors/data
)
for target in engineering reportreader transistorlib commandline; do
  work=$build/runs/$target
  mkdir -p "$work"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1
           -artifact_prefix="$build/artifacts/$target-")
  if [ "$target" = reportreader ]; then
    options+=(-timeout=2 -max_len=1048576)
  fi
  if [ -f "$root/fuzz/$target.dict" ]; then
    options+=(-dict="$root/fuzz/$target.dict")
  fi
  log=$build/runs/$target.log
  # Absolute paths: the commandline target works in a scratch folder.
  if "$build/fuzz/fuzz_$target" "${options[@]}" "$work" "$root/fuzz/corpus/$target" ${seeds[$target]:-} >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $target: ${runs:-?} executions in ${seconds} s, no crash"
  else
    echo "fuzz $target FAILED (log: $log):"
    grep -v '^\(#\|	NEW_FUNC\|"\)' "$log" | tail -40
    status=1
  fi
done
exit $status
