#!/usr/bin/env bash
# Times the four robustness analyses of the worked common-emitter example
# (`norvane-cli design ce --gain 20 --tolerance 500 --temperature
# --distortion --noise --json`: the verification, 500 tolerance runs, five
# temperatures, headroom and distortion, noise) against ONE `ngspice -b`
# run of the same circuit's op + AC deck (the netlist of --netlist, with
# -r, which batch mode needs to keep the AC results), side by side in the
# same hyperfine run, and prints both and their ratio. It fails when the
# analyses take 2 s or more.
#
#   bash benchmarks/robustness-vs-ngspice.sh [path/to/norvane-cli]
#
# Without a path it builds the release preset's norvane-cli. It needs the
# Debian packages hyperfine and ngspice (the program, not only the
# library), and installs them when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."

MaxSeconds=2

source benchmarks/setup.sh
NeedPrograms hyperfine ngspice
cli=$(NorvaneCli "${1:-}")
EnterScratchFolder
analyses=(design ce --gain 20 --tolerance 500 --temperature --distortion --noise --json)
"$cli" design ce --gain 20 --netlist deck.cir >/dev/null
# The analyses must have run, not failed for want of a simulator.
"$cli" "${analyses[@]}" >result.json
python3 - <<'PYTHON'
import json, sys
result = json.load(open("result.json"))
problems = {k: result[k]["problem"] for k in ("tolerance", "temperature", "distortion", "noise") if result[k]["problem"]}
if problems:
    sys.exit(f"the analyses did not run: {problems}")
PYTHON

hyperfine --shell=none --warmup 1 --min-runs 10 --export-json times.json \
  --command-name "norvane-cli: 500 tolerance runs, temperature, distortion, noise" "$cli ${analyses[*]}" \
  --command-name "ngspice -b (one op + AC deck)" "ngspice -b -r out.raw deck.cir"

python3 - "$MaxSeconds" <<'PYTHON'
import json, sys
limit = float(sys.argv[1])
analyses, ngspice = (r["mean"] for r in json.load(open("times.json"))["results"])
print(f"robustness analyses {analyses * 1e3:.0f} ms, one ngspice -b run {ngspice * 1e3:.1f} ms: "
      f"ratio {analyses / ngspice:.1f} (analyses at most {limit:g} s)")
sys.exit(0 if analyses < limit else 1)
PYTHON
