#pragma once

// How "norvane-cli design" shows what the workflow simulated: the verdict
// line (after the title and its notes), the "Simulation:" block, the lines
// and tables of the analyses, and the same as JSON objects ("simulation",
// "verdict", "tuned", "tolerance", ...; README.md names every field).

#include "analysis/RobustnessResults.h"
#include "analysis/Verification.h"
#include "workflow/DesignWorkflow.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace norvane::cli {

// The verdict line, and after tuning the proposal's line and the tuned
// design's verdict line.
void PrintVerdict(std::ostream& out, const WorkflowResult& result, const WorkflowOptions& options);

// {"meets", "misses": [{"quantity", "required", "simulated", "why"}]}, with
// "simulated", "problem", "yield" ({"fraction", "runs", "meeting", "seed",
// "resistor_tolerance", "most_missed", "problem"}, null when not computed)
// and "line" beside them.
nlohmann::ordered_json VerdictJson(const Verdict& verdict);

// The "tuned" object: the changes (capacitors and divider), the tuned
// component values, the yield and Z_in before and after, their verdict;
// null without a proposal.
nlohmann::ordered_json TunedJson(const WorkflowResult& result);

// The "Simulation:" block: each simulated value beside the one the design
// aimed at.
void PrintSimulation(std::ostream& out, const WorkflowResult& result, const WorkflowOptions& options);

nlohmann::ordered_json SimulationJson(const WorkflowResult& result, const WorkflowOptions& options);

// Each analysis that was run: a blank line, its line and its table, or
// "<heading>: <why it failed>".
void PrintAnalyses(std::ostream& out, const RobustnessResults& analyses);

// The objects "tolerance", "temperature", "distortion", "noise" of the
// analyses that were run, added to document: "problem" (empty), the plain
// numbers in SI units (null for none) and "line"; for one that failed
// "problem" alone, saying why.
void AddAnalysesJson(nlohmann::ordered_json& document, const RobustnessResults& analyses);

} // namespace norvane::cli
