#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Norvane (release) and starts it.
# Arguments are passed to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --workflow --preset release
exec ./build/release/src/norvane-cli "$@"
