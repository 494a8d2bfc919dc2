#!/usr/bin/env bash
# Times a whole `norvane-cli design ce --gain 20 --json` process beside
# the cheapest process there is (`/bin/true`: fork, exec, the dynamic
# loader and libc's start) and `ngspice -b` on the op + AC deck of the same
# design (with -r, which batch mode needs to keep the AC results), in one
# hyperfine run, and prints the ratios. A design is a millisecond of work
# or less, so what this measures is mostly start-up: loading, relocation,
# static initialisers, option parsing, the JSON. It fails when the design
# takes more than twice the time of /bin/true.
#
#   bash benchmarks/startup-vs-ngspice.sh [path/to/norvane-cli]
#
# Without a path it builds the release preset's norvane-cli. It needs the
# Debian packages hyperfine and ngspice (the program, not only the
# library), and installs them when they are missing. It prints the means,
# medians and fastest runs with their ratios, and checks the medians: on a
# busy machine the means carry the other processes' spikes. Page faults
# are most of a start (a design run takes some 130, /bin/true 47), so a
# machine whose faults are dear (a virtual one) shows higher ratios.
set -euo pipefail
cd "$(dirname "$0")/.."

MaxRatioToTrue=2.0

source benchmarks/setup.sh
NeedPrograms hyperfine ngspice
cli=$(NorvaneCli "${1:-}")
EnterScratchFolder
design=(design ce --gain 20 --json)
"$cli" design ce --gain 20 --netlist deck.cir >/dev/null

hyperfine --shell=none --warmup 20 --min-runs 300 --export-json times.json \
  --command-name "norvane-cli ${design[*]}" "$cli ${design[*]}" \
  --command-name "/bin/true" "/bin/true" \
  --command-name "ngspice -b (op + AC deck)" "ngspice -b -r out.raw deck.cir"

python3 - "$MaxRatioToTrue" <<'EOF'
import json, sys
limit = float(sys.argv[1])
results = json.load(open("times.json"))["results"]
for key in ("mean", "min", "median"):
    design, true, ngspice = (r[key] for r in results)
    print(f"{key}: design {design * 1e3:.2f} ms, /bin/true {true * 1e3:.2f} ms, ngspice -b {ngspice * 1e3:.2f} ms; "
          f"design / true {design / true:.2f}, design / ngspice -b {design / ngspice:.3f}")
print(f"design / true of the medians: at most {limit}")
sys.exit(0 if design / true <= limit else 1)
EOF
