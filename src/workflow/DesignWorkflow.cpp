#include "workflow/DesignWorkflow.h"

#include "analysis/FrequencyResponse.h"
#include "circuit/Netlist.h"
#include "design/DesignResults.h"
#include "present/PartsList.h"
#include "report/KicadSchematic.h"
#include "report/Report.h"
#include "report/SchematicImages.h"
#include "studies/Robustness.h"
#include "studies/Verify.h"

#include <algorithm>

namespace norvane {

namespace {

FailureMessageOf CannotWrite(std::string what)
{
    return [what = std::move(what)](const std::string& path, const std::string& reason) {
        return "Cannot write the " + what + " to " + path + ": " + reason + ".";
    };
}

} // namespace

std::optional<TuningProposal> AddBiasProposal(const AmplifierDesign& design,
                                              const VerificationOptions& conditions,
                                              std::optional<TuningProposal> capacitors,
                                              const YieldAnalysis& designYield,
                                              const AnalysisProgress& progress)
{
    VerificationOptions tuned = conditions;
    std::optional<YieldAnalysis> withCapacitors;
    if (capacitors && !capacitors->m_Changes.empty()) {
        for (const NamedValue& value : capacitors->PartValues()) {
            tuned.m_PartValues.push_back(value);
        }
        withCapacitors = AnalyseYield(design, tuned, progress);
        capacitors->m_Verification.m_Verdict.m_Yield = withCapacitors->m_Yield;
    }
    std::optional<BiasProposal> bias =
        ProposeBias(design, tuned, withCapacitors ? *withCapacitors : designYield, progress);
    if (!bias) {
        return capacitors;
    }
    TuningProposal proposal = capacitors ? std::move(*capacitors) : TuningProposal{};
    proposal.m_Bias = std::move(bias);
    VerificationOptions all = conditions;
    for (const NamedValue& value : proposal.PartValues()) {
        all.m_PartValues.push_back(value);
    }
    proposal.m_Verification = Verify(design, all);
    proposal.m_Verification.m_Verdict.m_Yield = proposal.m_Bias->m_After;
    return proposal;
}

VerificationRun RunVerification(const AmplifierDesign& design, const VerificationOptions& conditions,
                                bool tune, bool withYield, const AnalysisProgress& progress)
{
    VerificationRun run;
    run.m_Verification = Verify(design, conditions);
    Verdict& verdict = run.m_Verification.m_Verdict;
    if (!verdict.m_Simulated || !(tune || withYield)) {
        return run;
    }
    const YieldAnalysis yield = AnalyseYield(design, conditions, progress);
    if (withYield) {
        verdict.m_Yield = yield.m_Yield;
    }
    if (tune) {
        std::optional<TuningProposal> capacitors;
        if (!verdict.m_Meets) {
            capacitors = ProposeTuning(design, conditions);
        }
        run.m_Proposal = AddBiasProposal(design, conditions, std::move(capacitors), yield, progress);
    }
    return run;
}

RobustnessResults RunAnalyses(const AmplifierDesign& design, const VerificationOptions& conditions,
                              const AnalysisRequest& request, const AnalysisProgress& progress)
{
    RobustnessResults results;
    results.m_Conditions = SimulationConditions(design, conditions);
    if (request.m_ToleranceRuns > 0) {
        results.m_Tolerance =
            AnalyseTolerances(design, conditions, {request.m_ToleranceRuns, request.m_Seed}, progress);
    }
    if (request.m_Temperature) {
        results.m_Temperature = AnalyseTemperature(design, conditions, progress);
    }
    if (request.m_Distortion) {
        results.m_Distortion = AnalyseDistortion(design, conditions, progress);
    }
    if (request.m_Noise) {
        results.m_Noise = AnalyseNoise(design, conditions, progress);
    }
    if (request.m_WorstCase) {
        results.m_WorstCase = AnalyseWorstCase(design, conditions, progress);
    }
    return results;
}

WorkflowResult RunDesignWorkflow(const DesignInputs& inputs, const WorkflowOptions& options,
                                 const AnalysisProgress& progress)
{
    WorkflowResult result;
    result.m_Design = MakeDesign(inputs.Kind());
    result.m_Design->Compute(inputs);
    result.m_Design->ApplyPartValues(options.m_Applied);
    if (!options.Simulates()) {
        return result;
    }
    VerificationRun run =
        RunVerification(*result.m_Design, options.m_Conditions, options.m_Tune, options.m_Yield, progress);
    result.m_Simulated = true;
    result.m_Verification = std::move(run.m_Verification);
    result.m_Proposal = std::move(run.m_Proposal);
    if (result.m_Proposal) {
        // The proposal was verified as it was found; the tuned design is
        // verified again as a design of its own, the way it is written.
        result.m_Tuned = MakeDesign(inputs.Kind());
        result.m_Tuned->Compute(inputs);
        result.m_Tuned->ApplyPartValues(options.m_Applied);
        result.m_Tuned->ApplyPartValues(result.m_Proposal->PartValues());
        result.m_TunedVerification = Verify(*result.m_Tuned, options.m_Conditions);
        // The same circuit as the proposal's own verification: its yield.
        result.m_TunedVerification->m_Verdict.m_Yield = result.m_Proposal->m_Verification.m_Verdict.m_Yield;
        if (options.m_Yield && !result.m_TunedVerification->m_Verdict.m_Yield) {
            result.m_TunedVerification->m_Verdict.m_Yield =
                AnalyseYield(*result.m_Tuned, options.m_Conditions, progress).m_Yield;
        }
    }
    result.m_Analyses = RunAnalyses(result.Written(), options.m_Conditions, options.m_Analyses, progress);
    return result;
}

Expected<std::string> WorkflowNetlist(const AmplifierDesign& design, const VerificationOptions& conditions)
{
    if (!design.IsUsable()) {
        // A netlist of it would hold parts such as "R3 vcc base inf".
        return Failure{"the design cannot be built: " + design.Problem()};
    }
    return VerifiedNetlist(design, conditions);
}

Expected<std::string> PartsListCsv(const AmplifierDesign& design)
{
    const PartsList parts = PartsListOf(design);
    if (!parts.m_Problem.empty()) {
        return Failure{parts.m_Problem};
    }
    return BomCsv(parts);
}

Status AddOutputFiles(const WorkflowResult& result, const WorkflowOptions& options, const OutputFiles& files,
                      PendingWrites& writes)
{
    const AmplifierDesign& written = result.Written();
    std::string problems;
    if (!files.m_Netlist.empty()) {
        Expected<std::string> netlist = WorkflowNetlist(written, options.m_Conditions);
        if (!netlist) {
            problems += "No netlist: " + netlist.Message() + ".\n";
        } else {
            writes.AddFile(files.m_Netlist, std::move(netlist).Value(), CannotWrite("netlist"));
        }
    }
    if (!files.m_Bode.empty()) {
        const SimulationResult& simulation = result.WrittenVerification().m_Simulation;
        if (!result.m_Simulated || !simulation.Simulated()) {
            problems += "No Bode diagram: " + simulation.StatusText() + ".\n";
        } else {
            writes.AddFile(files.m_Bode, BodeCsv(simulation.m_Bode), CannotWrite("Bode diagram"));
        }
    }
    if (!files.m_PartsList.empty()) {
        Expected<std::string> csv = PartsListCsv(written);
        if (!csv) {
            problems += "No parts list: " + csv.Message() + ".\n";
        } else {
            writes.AddFile(files.m_PartsList, std::move(csv).Value(), CannotWrite("parts list"));
        }
    }
    if (!files.m_KicadSchematic.empty()) {
        Expected<std::string> schematic = KicadSchematic(written);
        if (!schematic) {
            problems += "No KiCad schematic: " + schematic.Message() + ".\n";
        } else {
            writes.AddFile(files.m_KicadSchematic, std::move(schematic).Value(),
                           CannotWrite("KiCad schematic"));
        }
    }
    if (!problems.empty()) {
        problems.pop_back();
        return Failure{problems};
    }
    if (!files.m_Report.empty()) {
        ReportContent content = result.m_Simulated ? ReportContentOf(written, result.WrittenVerification(),
                                                                     nullptr, &result.m_Analyses)
                                                   : ReportContentOf(written);
        // What brings the design back as it is written: the tuning applied
        // is the design's own, the conditions and analyses the run's.
        content.m_Setup.m_Conditions = options.m_Conditions;
        if (result.m_Simulated) {
            content.m_Setup.m_Analyses = options.m_Analyses;
        }
        AddReport(writes, files.m_Report, content, SchematicPng(written.SchematicId()));
    }
    return {};
}

} // namespace norvane
