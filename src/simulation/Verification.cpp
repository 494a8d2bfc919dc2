#include "simulation/Verification.h"

// A stand-in that judges by the rules of the header with the simulation as
// it is: no load or source resistance other than the load, no part edits,
// no tuning proposals and no "why" of a miss.

#include "simulation/DesignTargets.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

constexpr double GainToleranceDb = 1.0;
constexpr double ImpedanceTolerance = 0.2;
constexpr double CurrentTolerance = 0.1;

std::string Text(double value, const char* unit)
{
    if (!std::isfinite(value)) {
        return {};
    }
    ResultItem item;
    item.SetQuantity("", value, unit);
    return item.value;
}

} // namespace

std::string Verdict::Line() const
{
    if (!m_Simulated) {
        return m_Problem;
    }
    if (m_Meets) {
        return "simulated: meets its requirements";
    }
    std::string line = "simulated: misses";
    for (std::size_t i = 0; i < m_Misses.size(); ++i) {
        line += (i == 0 ? " " : ", ") + m_Misses[i].m_Quantity;
    }
    return line;
}

std::string TuningProposal::Line() const
{
    std::string line;
    for (const PartChange& change : m_Changes) {
        line += (line.empty() ? "" : ", ") + change.m_Part;
    }
    return line;
}

Verification Verify(const AmplifierDesign& design, const VerificationOptions& options)
{
    Verification v;
    SimulationOptions simulation;
    simulation.m_LoadResistance = options.m_LoadResistance;
    v.m_Simulation = Simulate(design, simulation);
    const SimulationResult& s = v.m_Simulation;
    v.m_Verdict.m_Simulated = s.m_Simulated;
    if (!s.m_Simulated) {
        v.m_Verdict.m_Problem = s.Status();
        return v;
    }
    const DesignTargets t = TargetsOf(design);
    const auto judge = [&](const char* quantity, double required, double simulated, bool missed) {
        if (missed) {
            v.m_Verdict.m_Misses.push_back({quantity, required, simulated, {}});
        }
    };
    if (design.Kind() == CircuitKind::CommonEmitter) {
        judge("gain", t.m_GainDb, s.m_GainDb, !(std::abs(s.m_GainDb - t.m_GainDb) <= GainToleranceDb));
    }
    if (std::isfinite(t.m_InputImpedance)) {
        judge("Z_in", t.m_InputImpedance, s.m_InputImpedance,
              !(s.m_InputImpedance <= t.m_InputImpedance * (1 + ImpedanceTolerance)));
    }
    if (std::isfinite(t.m_OutputImpedance)) {
        judge("Z_out", t.m_OutputImpedance, s.m_OutputImpedance,
              !(std::abs(s.m_OutputImpedance / t.m_OutputImpedance - 1) <= ImpedanceTolerance));
    }
    // NaN: the response does not fall 3 dB within the sweep, far below f_min.
    judge("f_-3dB", t.m_LowerCutoff, s.m_LowerCutoff, s.m_LowerCutoff > t.m_LowerCutoff);
    judge("Ic", t.m_Ic, s.m_Ic, !(std::abs(s.m_Ic / t.m_Ic - 1) <= CurrentTolerance));
    v.m_Verdict.m_Meets = v.m_Verdict.m_Misses.empty();

    const auto row = [&](const char* quantity, double required, double designed, double simulated,
                         const char* unit) {
        const bool judged = std::isfinite(required);
        const bool missed = std::ranges::any_of(
            v.m_Verdict.m_Misses, [&](const VerdictMiss& m) { return m.m_Quantity == quantity; });
        v.m_Rows.push_back({quantity, Text(required, unit), Text(designed, unit), Text(simulated, unit),
                            judged ? (missed ? "misses" : "meets") : ""});
    };
    row("Ic", t.m_Ic, t.m_Ic, s.m_Ic, "A");
    row("Uce", VerdictMiss::NaN, t.m_Uce, s.m_Uce, "V");
    row("gain", t.m_GainDb, VerdictMiss::NaN, s.m_GainDb, "dB");
    row("Z_in", t.m_InputImpedance, VerdictMiss::NaN, s.m_InputImpedance, "Ohm");
    row("Z_out", t.m_OutputImpedance, VerdictMiss::NaN, s.m_OutputImpedance, "Ohm");
    row("f_-3dB", t.m_LowerCutoff, VerdictMiss::NaN, s.m_LowerCutoff, "Hz");
    row("f_upper", VerdictMiss::NaN, VerdictMiss::NaN, s.m_UpperCutoff, "Hz");
    return v;
}

std::optional<TuningProposal> ProposeTuning(const AmplifierDesign& design, const VerificationOptions& options)
{
    (void)design;
    (void)options;
    return std::nullopt;
}

} // namespace norvane
