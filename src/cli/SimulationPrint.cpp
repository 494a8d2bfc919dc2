#include "cli/SimulationPrint.h"

#include "circuit/DesignTargets.h"
#include "cli/JsonNumber.h"
#include "cli/TablePrint.h"
#include "design/DesignResults.h"
#include "format/EngineeringFormat.h"
#include "format/Units.h"
#include "present/AnalysisSections.h"

#include <cmath>
#include <string_view>

namespace norvane::cli {

using json = nlohmann::ordered_json;

namespace {

// "name = value (designed aim)" where the design aimed at something, else
// "name = value".
void Line(std::ostream& out, const char* name, const std::string& value, double designed, const char* unit)
{
    out << name << " = " << value;
    if (std::isfinite(designed)) {
        out << " (designed " << Quantity(designed, unit) << ')';
    }
    out << '\n';
}

// "name = value (required requirement)" with the requirement as the
// verification table words it ("20 dB +/- 1 dB"), where there is one.
void RequiredLine(std::ostream& out, const char* name, const std::string& value, const Verification& v,
                  std::string_view quantity)
{
    out << name << " = " << value;
    for (const VerificationRow& row : v.m_Rows) {
        if (row.m_Quantity == quantity && !row.m_Required.empty()) {
            out << " (required " << row.m_Required << ')';
        }
    }
    out << '\n';
}

} // namespace

void PrintVerdict(std::ostream& out, const WorkflowResult& result, const WorkflowOptions& options)
{
    const Verdict& verdict = result.m_Verification.m_Verdict;
    out << verdict.Line() << '\n';
    if (result.m_Proposal) {
        out << "Proposed: " << result.m_Proposal->Line() << '\n';
    } else if (options.m_Tune && verdict.m_Simulated && !verdict.m_Meets) {
        out << "Proposed: nothing; no capacitor change mends these misses\n";
    }
    if (result.m_TunedVerification) {
        out << "Tuned: " << result.m_TunedVerification->m_Verdict.Line() << '\n';
    }
}

json YieldJson(const std::optional<BuildYield>& yield)
{
    if (!yield) {
        return nullptr;
    }
    return {{"fraction", Number(yield->m_Fraction)},
            {"runs", yield->m_Runs},
            {"meeting", yield->m_Meeting},
            {"seed", yield->m_Seed},
            {"resistor_tolerance", Number(yield->m_ResistorTolerance)},
            {"most_missed", yield->m_MostMissed},
            {"problem", yield->m_Problem}};
}

json VerdictJson(const Verdict& verdict)
{
    json misses = json::array();
    for (const VerdictMiss& miss : verdict.m_Misses) {
        misses.push_back({{"quantity", miss.m_Quantity},
                          {"required", Number(miss.m_Required)},
                          {"simulated", Number(miss.m_Simulated)},
                          {"why", miss.m_Why}});
    }
    return {{"meets", verdict.m_Meets},     {"misses", misses},
            {"notes", verdict.m_Notes},     {"simulated", verdict.m_Simulated},
            {"problem", verdict.m_Problem}, {"yield", YieldJson(verdict.m_Yield)},
            {"line", verdict.Line()}};
}

json TunedJson(const WorkflowResult& result)
{
    if (!result.m_Proposal || !result.m_TunedVerification) {
        return nullptr;
    }
    json changes = json::array();
    std::vector<PartChange> all = result.m_Proposal->m_Changes;
    if (result.m_Proposal->m_Bias) {
        all.insert(all.end(), result.m_Proposal->m_Bias->m_Changes.begin(),
                   result.m_Proposal->m_Bias->m_Changes.end());
    }
    for (const PartChange& change : all) {
        changes.push_back(
            {{"part", change.m_Part}, {"designed", change.m_Designed}, {"proposed", change.m_Proposed}});
    }
    json values = json::object();
    for (const auto& [name, value] : result.Written().ComponentNumbers()) {
        values[name] = Number(value);
    }
    return {{"changes", changes},
            {"values", values},
            {"line", result.m_Proposal->Line()},
            {"yield_before", YieldJson(result.m_Verification.m_Verdict.m_Yield)},
            {"yield_after", YieldJson(result.m_TunedVerification->m_Verdict.m_Yield)},
            {"zin_before", Number(result.m_Verification.m_Simulation.m_InputImpedance)},
            {"zin_after", Number(result.m_TunedVerification->m_Simulation.m_InputImpedance)},
            {"verdict", VerdictJson(result.m_TunedVerification->m_Verdict)}};
}

void PrintSimulation(std::ostream& out, const WorkflowResult& result, const WorkflowOptions& options)
{
    const SimulationResult& r = result.m_Verification.m_Simulation;
    const double load = options.m_Conditions.m_LoadResistance;
    const double source = options.m_Conditions.m_SourceResistance;
    out << "Simulation";
    if (!r.Simulated()) {
        out << ":\n" << r.StatusText() << '\n';
        return;
    }
    out << " (ngspice, " << (load > 0 ? "load " + Ohms(load) : std::string("no load"))
        << (source > 0 ? ", source " + Ohms(source) : std::string()) << "):\n";
    const DesignTargets aim = TargetsOf(*result.m_Design);
    const Verification& v = result.m_Verification;
    Line(out, "Ic", Quantity(r.m_Ic, "A"), aim.m_Ic, "A");
    Line(out, "Uce", Quantity(r.m_Uce, "V"), aim.m_Uce, "V");
    Line(out, "Ib", Quantity(r.m_Ib, "A"), DesignTargets::NaN, "");
    RequiredLine(out, "Voltage gain", Decibels(r.m_GainDb), v, "Voltage gain");
    RequiredLine(out, "Z_in", Ohms(r.m_InputImpedance), v, "Z_in");
    RequiredLine(out, "Z_out", Ohms(r.m_OutputImpedance), v, "Z_out");
    const std::string lower =
        std::isfinite(r.m_LowerCutoff) ? Quantity(r.m_LowerCutoff, "Hz") : std::string("below the sweep");
    RequiredLine(out, "f_-3dB", lower, v, "Lower -3 dB frequency");
    if (std::isfinite(r.m_UpperCutoff)) {
        Line(out, "f_-3dB upper", Quantity(r.m_UpperCutoff, "Hz"), DesignTargets::NaN, "");
    }
    Line(out, "Mid-band", Quantity(r.m_MidbandFrequency, "Hz"), DesignTargets::NaN, "");
    for (const std::string& warning : r.m_Warnings) {
        out << "ngspice: " << warning << '\n';
    }
}

json SimulationJson(const WorkflowResult& result, const WorkflowOptions& options)
{
    const SimulationResult& r = result.m_Verification.m_Simulation;
    const double load = options.m_Conditions.m_LoadResistance;
    const double source = options.m_Conditions.m_SourceResistance;
    const DesignTargets aim = TargetsOf(*result.m_Design);
    json warnings = json::array();
    for (const std::string& warning : r.m_Warnings) {
        warnings.push_back(warning);
    }
    return {
        {"simulated", r.Simulated()},
        {"status", r.StatusText()},
        {"problem", r.m_Outcome.Message()},
        {"load", load > 0 ? json(load) : json(nullptr)},
        {"source", source > 0 ? json(source) : json(nullptr)},
        {"ic", Number(r.m_Ic)},
        {"uce", Number(r.m_Uce)},
        {"ib", Number(r.m_Ib)},
        {"gain_db", Number(r.m_GainDb)},
        {"zin", Number(r.m_InputImpedance)},
        {"zout", Number(r.m_OutputImpedance)},
        {"f_3db", Number(r.m_LowerCutoff)},
        {"f_3db_upper", Number(r.m_UpperCutoff)},
        {"f_mid", Number(r.m_MidbandFrequency)},
        {"aims",
         {{"ic", Number(aim.m_Ic)},
          {"uce", Number(aim.m_Uce)},
          {"gain_db", Number(aim.m_GainDb)},
          {"zin", Number(aim.m_InputImpedance)},
          {"zout", Number(aim.m_OutputImpedance)},
          {"fmin", Number(aim.m_LowerCutoff)}}},
        {"warnings", warnings},
    };
}

void PrintAnalyses(std::ostream& out, const RobustnessResults& analyses)
{
    for (const AnalysisText& analysis : AnalysesAsText(analyses)) {
        out << '\n';
        if (!analysis.m_Problem.empty()) {
            out << analysis.m_Heading << ": " << analysis.m_Problem << '\n';
            continue;
        }
        out << analysis.m_Line << '\n';
        PrintTable(out, analysis.m_Table, {true});
    }
}

namespace {

// {"median", "p1", "p99", "count"}: the 1st and 99th percentile, and of
// how many runs.
json DistributionJson(const Distribution& d)
{
    return {{"median", Number(d.m_Median)},
            {"p1", Number(d.m_Low)},
            {"p99", Number(d.m_High)},
            {"count", d.m_Values.size()}};
}

// [{"rating": "Ptot", "value": 0.62, "limit": 0.5}, ...]
json SafeAreaJson(const std::vector<SafeAreaExcursion>& excursions)
{
    json list = json::array();
    for (const SafeAreaExcursion& e : excursions) {
        list.push_back({{"rating", e.m_Rating}, {"value", Number(e.m_Value)}, {"limit", Number(e.m_Limit)}});
    }
    return list;
}

json ToleranceJson(const ToleranceAnalysis& a)
{
    json misses = json::array();
    for (const auto& [quantity, runs] : a.m_Misses) {
        misses.push_back({{"quantity", quantity}, {"runs", runs}});
    }
    return {{"runs", a.m_Runs},
            {"simulated", a.m_Simulated},
            {"meeting", a.m_Meeting},
            {"yield", Number(a.Yield())},
            {"seed", a.m_Seed},
            {"resistor_tolerance", Number(a.m_ResistorTolerance)},
            {"capacitor_tolerance", Number(a.m_CapacitorTolerance)},
            {"current_gain_spread", Number(a.m_CurrentGainSpread)},
            {"ic", DistributionJson(a.m_Ic)},
            {"uce", DistributionJson(a.m_Uce)},
            {"gain_db", DistributionJson(a.m_GainDb)},
            {"zin", DistributionJson(a.m_InputImpedance)},
            {"zout", DistributionJson(a.m_OutputImpedance)},
            {"f_3db", DistributionJson(a.m_LowerCutoff)},
            {"misses", misses},
            {"safe_area", SafeAreaJson(a.m_SafeArea)}};
}

json TemperatureJson(const TemperatureAnalysis& a)
{
    json points = json::array();
    for (const TemperaturePoint& p : a.m_Points) {
        points.push_back({{"celsius", Number(p.m_Celsius)},
                          {"ic", Number(p.m_Ic)},
                          {"uce", Number(p.m_Uce)},
                          {"gain_db", Number(p.m_GainDb)}});
    }
    return {{"f_mid", Number(a.m_MidbandFrequency)},
            {"points", points},
            {"safe_area", SafeAreaJson(a.m_SafeArea)}};
}

json DistortionJson(const DistortionAnalysis& a)
{
    const Headroom& h = a.m_Headroom;
    json harmonics = json::array();
    for (const double v : a.m_Harmonics) {
        harmonics.push_back(Number(v));
    }
    return {{"headroom",
             {{"amplitude", Number(h.Amplitude())},
              {"rising", Number(h.m_Rising)},
              {"rising_edge", h.m_RisingEdge},
              {"falling", Number(h.m_Falling)},
              {"falling_edge", h.m_FallingEdge}}},
            {"frequency", Number(a.m_Frequency)},
            {"amplitude", Number(a.m_Amplitude)},
            {"input_amplitude", Number(a.m_InputAmplitude)},
            {"clean_amplitude", Number(a.m_CleanAmplitude)},
            {"clean_thd", Number(CleanThdPercent / 100)},
            {"thd", Number(a.m_ThdPercent / 100)},
            {"harmonics", harmonics},
            {"safe_area", SafeAreaJson(a.m_SafeArea)}};
}

json NoiseJson(const NoiseAnalysis& a)
{
    return {{"source", Number(a.m_SourceResistance)},
            {"spot_frequency", Number(a.m_SpotFrequency)},
            {"input_density", Number(a.m_InputDensity)},
            {"input_total", Number(a.m_InputTotal)},
            {"output_total", Number(a.m_OutputTotal)},
            {"band", {a.m_BandLow, a.m_BandHigh}},
            {"band_kind", a.m_AudioBand ? "audio" : "pass band"}};
}

// Per quantity {"min", "max", "nominal", "corner_min", "corner_max",
// "meets"} under the tolerance analysis' keys ("ic", "gain_db", ...).
json WorstCaseJson(const WorstCaseAnalysis& a)
{
    constexpr std::pair<const char*, const char*> Keys[] = {{"Ic", "ic"},        {"Uce", "uce"},
                                                            {"gain", "gain_db"}, {"Z_in", "zin"},
                                                            {"Z_out", "zout"},   {"f_-3dB", "f_3db"}};
    json object = {{"resistor_tolerance", Number(a.m_ResistorTolerance)},
                   {"capacitor_tolerance", Number(a.m_CapacitorTolerance)},
                   {"current_gain_spread", Number(a.m_CurrentGainSpread)},
                   {"temperatures", WorstCaseTemperatures},
                   {"points", a.m_Simulations},
                   {"meets", a.Meets()}};
    for (const WorstCaseQuantity& q : a.m_Quantities) {
        const auto key = std::ranges::find(Keys, q.m_Name, &std::pair<const char*, const char*>::first);
        object[key != std::end(Keys) ? key->second : q.m_Name] = {
            {"min", Number(q.m_Min)},         {"max", Number(q.m_Max)},
            {"nominal", Number(q.m_Nominal)}, {"corner_min", q.m_CornerMin},
            {"corner_max", q.m_CornerMax},    {"meets", q.m_Meets ? json(*q.m_Meets) : json(nullptr)}};
    }
    return object;
}

// {"problem": "", <the analysis' fields>, "line"}, or {"problem": why}.
template <class Analysis>
void AddAnalysis(json& document, const char* key, const std::optional<Expected<Analysis>>& result,
                 json (*fields)(const Analysis&), std::string (*line)(const Analysis&))
{
    if (!result) {
        return;
    }
    if (!*result) {
        document[key] = {{"problem", result->Message()}};
        return;
    }
    json object = {{"problem", ""}};
    object.update(fields(**result));
    object["line"] = line(**result);
    document[key] = object;
}

} // namespace

void AddAnalysesJson(json& document, const RobustnessResults& r)
{
    AddAnalysis(document, "tolerance", r.m_Tolerance, ToleranceJson, ToleranceLine);
    AddAnalysis(document, "temperature", r.m_Temperature, TemperatureJson, TemperatureLine);
    AddAnalysis(document, "distortion", r.m_Distortion, DistortionJson, DistortionLine);
    AddAnalysis(document, "noise", r.m_Noise, NoiseJson, NoiseLine);
    AddAnalysis(document, "worst_case", r.m_WorstCase, WorstCaseJson, WorstCaseLine);
}

} // namespace norvane::cli
