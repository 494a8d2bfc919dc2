#pragma once

// The road of one design, the same for the command line and the desktop
// program: design from the inputs, verify by simulation, tune (the
// proposal applied to a copy), verify the tuned design, run the analyses
// asked for on the design that is written (the tuned one after tuning),
// and the set of files that describe it. The callers only gather the
// options and show the result; neither builds a circuit, a netlist or a
// file of its own.

#include "analysis/RobustnessResults.h"
#include "analysis/Verification.h"
#include "common/FileWriter.h"
#include "common/Outcome.h"
#include "design/AmplifierDesign.h"
#include "design/DesignInputs.h"
#include "studies/Yield.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace norvane {

struct WorkflowOptions {
    // Part values put into the design as soon as it is computed (a tuning
    // applied earlier, brought back from a report), in the order applied.
    std::vector<NamedValue> m_Applied;
    bool m_Verify = false; // simulate and judge
    bool m_Tune = false;   // and propose part values that mend the misses
    // and give the verdicts their yield (studies/Yield.h; the tolerance
    // analysis' standard runs, about 0.4 s each)
    bool m_Yield = false;
    // Load, source resistance and part edits of every simulation and of
    // the netlist.
    VerificationOptions m_Conditions;
    AnalysisRequest m_Analyses;

    bool Simulates() const { return m_Verify || m_Tune || m_Analyses.Any(); }
};

struct WorkflowResult {
    std::unique_ptr<AmplifierDesign> m_Design; // as designed
    // After tuning with a proposal: the design with the proposal applied.
    std::unique_ptr<AmplifierDesign> m_Tuned;
    bool m_Simulated = false;    // whether a verification ran
    Verification m_Verification; // of the design as designed
    std::optional<TuningProposal> m_Proposal;
    std::optional<Verification> m_TunedVerification;
    RobustnessResults m_Analyses; // of Written()

    // The design the files describe and the analyses ran on.
    const AmplifierDesign& Written() const { return m_Tuned ? *m_Tuned : *m_Design; }
    const Verification& WrittenVerification() const
    {
        return m_TunedVerification ? *m_TunedVerification : m_Verification;
    }
};

// Designs from inputs (checked already) and does what options ask.
// Simulations and analyses that fail say so in their results; the run
// itself does not fail.
[[nodiscard]] WorkflowResult RunDesignWorkflow(const DesignInputs& inputs, const WorkflowOptions& options,
                                               const AnalysisProgress& progress = {});

// The verification of a design under conditions, with withYield its
// yield in the verdict, and with tune the proposal of part values: the
// capacitors that mend the misses they can (with margin for their
// tolerance), then, where the yield of the design with them is short of
// YieldTarget through Ic, the stiffer divider (studies/Yield.h). The
// proposal's verification carries the yield of the proposed design.
struct VerificationRun {
    Verification m_Verification;
    std::optional<TuningProposal> m_Proposal;
};
[[nodiscard]] VerificationRun RunVerification(const AmplifierDesign& design,
                                              const VerificationOptions& conditions, bool tune,
                                              bool withYield = false, const AnalysisProgress& progress = {});

// The bias step of the tuning on its own: capacitors (nullopt: none
// proposed) and the yield of the design as verified, to the proposal with
// the divider added where one is needed.
[[nodiscard]] std::optional<TuningProposal> AddBiasProposal(const AmplifierDesign& design,
                                                            const VerificationOptions& conditions,
                                                            std::optional<TuningProposal> capacitors,
                                                            const YieldAnalysis& designYield,
                                                            const AnalysisProgress& progress = {});

// The analyses of request on design under conditions, in the order
// tolerances, temperature, distortion, noise; progress is asked between
// the runs of each (false cancels what is left).
[[nodiscard]] RobustnessResults RunAnalyses(const AmplifierDesign& design,
                                            const VerificationOptions& conditions,
                                            const AnalysisRequest& request,
                                            const AnalysisProgress& progress = {});

// The SPICE netlist of a design as it is simulated under conditions: its
// part edits (each named in a comment line below the title), load and
// source resistance; fails for a design that cannot be built.
[[nodiscard]] Expected<std::string> WorkflowNetlist(const AmplifierDesign& design,
                                                    const VerificationOptions& conditions);

// The parts list of a design as a CSV file (PartsList.h's BomCsv), for
// the caller to write through FileWriter.h; fails for a design that cannot
// be built, whose parts cannot be rated.
[[nodiscard]] Expected<std::string> PartsListCsv(const AmplifierDesign& design);

// Where the files of a run go; an empty path: not asked for.
struct OutputFiles {
    std::string m_Report;
    std::string m_Netlist;
    std::string m_Bode;
    std::string m_PartsList; // CSV
    std::string m_KicadSchematic;
};

// Adds the files asked for to writes, for the caller to write together:
// the report (with the simulation section and the analyses' pictures when
// a verification ran), the netlist, the Bode table, the parts list and the
// KiCad schematic of the written design. Fails, naming each reason on a
// line of its own, where a file cannot be made: no netlist, parts list or
// schematic of a design that cannot be built, no Bode table without a
// simulation.
[[nodiscard]] Status AddOutputFiles(const WorkflowResult& result, const WorkflowOptions& options,
                                    const OutputFiles& files, PendingWrites& writes);

} // namespace norvane
