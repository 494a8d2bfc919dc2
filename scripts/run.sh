#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Norvane (release) and starts the
# desktop program norvane. Arguments are passed to the program (a report
# file name opens that file as the document).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --workflow --preset release
exec ./build/release/src/app/norvane "$@"
