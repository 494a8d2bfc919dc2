#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Norvane with its tests and runs them all.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# The core library and norvane-cli must build with Qt out of reach.
cmake --workflow --preset core
cmake --workflow --preset dev
