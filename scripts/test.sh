#!/usr/bin/env bash
# Sets up a Debian 12 machine, checks the formatting and the names (clang-
# tidy), builds Norvane with its tests and runs them all: plain (dev,
# warnings are errors), under AddressSanitizer and UndefinedBehaviorSanitizer
# (asan), and the fuzz targets for a bounded time each (fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Every C++ file follows .clang-format.
bash scripts/check-format.sh
# The sources keep the names and shun the patterns of .clang-tidy.
bash scripts/check-tidy.sh
cmake --workflow --preset dev
cmake --workflow --preset asan
# The fuzz preset builds the core library and norvane-cli with Qt out of
# reach, as the core preset does: it is the proof that they need no Qt.
cmake --workflow --preset fuzz
bash scripts/fuzz.sh 5
