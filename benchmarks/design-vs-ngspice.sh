#!/usr/bin/env bash
# Times `norvane-cli design ce` (no simulation, so ngspice's library is
# never loaded) against `ngspice -b` on the op + AC deck of the same
# circuit (with -r, which batch mode needs to keep the AC results), side
# by side in one hyperfine run, and checks that the design
# takes at most 0.2 x the time of the ngspice run.
#
#   bash benchmarks/design-vs-ngspice.sh [path/to/norvane-cli]
#
# Without a path it builds the release preset's norvane-cli. It needs the
# Debian packages hyperfine and ngspice (the program, not only the
# library), and installs them when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

MaxRatio=0.2

source benchmarks/setup.sh
NeedPrograms hyperfine ngspice
cli=$(NorvaneCli "${1:-}")
EnterScratchFolder
"$cli" design ce --netlist deck.cir >/dev/null

hyperfine --shell=none --warmup 5 --min-runs 50 --export-json times.json \
  --command-name "norvane-cli design ce" "$cli design ce" \
  --command-name "ngspice -b (op + AC deck)" "ngspice -b -r out.raw deck.cir"

python3 - "$MaxRatio" <<'EOF'
import json, sys
limit = float(sys.argv[1])
design, ngspice = (r["mean"] for r in json.load(open("times.json"))["results"])
ratio = design / ngspice
print(f"design {design * 1e3:.2f} ms, ngspice -b {ngspice * 1e3:.2f} ms: ratio {ratio:.3f} (at most {limit})")
sys.exit(0 if ratio <= limit else 1)
EOF
