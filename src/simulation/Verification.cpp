// A plain verification, enough for the desktop program to be built and
// tried against Verification.h: it simulates the circuit with the part
// values of the options and the load, judges by the rules of the header
// and proposes no tuning. The source resistance is not simulated here.

#include "simulation/Verification.h"

#include "format/EngineeringFormat.h"
#include "simulation/DesignTargets.h"

#include <cmath>

namespace norvane {

namespace {

std::string Text(double value, const char* unit)
{
    return std::isfinite(value) ? FormatEngineering(value) + ' ' + unit : std::string();
}

std::string Decibels(double value)
{
    return std::isfinite(value) ? FormatFixed(value, 2) + " dB" : std::string();
}

} // namespace

std::string Verdict::Line() const
{
    if (!m_Simulated) {
        return m_Problem;
    }
    if (m_Meets) {
        return "Simulated (ngspice): the design meets its requirements";
    }
    std::string line = "Simulated (ngspice): the design misses ";
    for (std::size_t i = 0; i < m_Misses.size(); ++i) {
        line += (i == 0 ? "" : ", ") + m_Misses[i].m_Quantity;
    }
    return line;
}

Verification Verify(const AmplifierDesign& design, const VerificationOptions& options)
{
    Verification verification;
    AmplifierCircuit circuit = DescribeCircuit(design);
    for (const auto& [name, value] : options.m_PartValues) {
        for (CircuitPart& part : circuit.m_Parts) {
            if (part.m_Name == name) {
                part.m_Value = value;
            }
        }
    }
    SimulationResult& r = verification.m_Simulation;
    if (!design.IsUsable()) {
        r.m_Problem = "the design cannot be built";
    } else if (const std::string wrong = CheckCircuit(circuit); !wrong.empty()) {
        r.m_Problem = wrong;
    } else {
        NetlistOptions signal;
        signal.m_LoadResistance = options.m_LoadResistance;
        NetlistOptions output;
        output.m_DriveOutput = true;
        SimulationProbe probe;
        probe.m_IsPnp = circuit.m_IsPnp;
        probe.m_Collector = circuit.m_Collector;
        probe.m_Emitter = circuit.m_Emitter;
        r = SimulateNetlists(WriteNetlist(circuit, signal), WriteNetlist(circuit, output), probe);
    }
    Verdict& v = verification.m_Verdict;
    v.m_Simulated = r.m_Simulated;
    if (!r.m_Simulated) {
        v.m_Problem = r.Status();
        return verification;
    }
    const DesignTargets aim = TargetsOf(design);
    const auto judge = [&](const char* quantity, double required, double simulated, bool misses) {
        if (misses) {
            v.m_Misses.push_back({quantity, required, simulated, {}});
        }
        return std::isfinite(required) ? (misses ? "misses" : "meets") : "";
    };
    const auto far = [](double a, double b, double fraction) { return std::abs(a - b) > fraction * std::abs(b); };
    const bool lowerKnown = std::isfinite(r.m_LowerCutoff);
    verification.m_Rows = {
        {"Ic", "", Text(aim.m_Ic, "A"), Text(r.m_Ic, "A"), judge("Ic", aim.m_Ic, r.m_Ic, far(r.m_Ic, aim.m_Ic, 0.1))},
        {"Uce", "", Text(aim.m_Uce, "V"), Text(r.m_Uce, "V"), ""},
        {"gain", Decibels(aim.m_GainDb), "", Decibels(r.m_GainDb),
         judge("gain", aim.m_GainDb, r.m_GainDb, std::abs(r.m_GainDb - aim.m_GainDb) > 1.0)},
        {"Z_in", Text(aim.m_InputImpedance, "ohm"), "", Text(r.m_InputImpedance, "ohm"),
         judge("Z_in", aim.m_InputImpedance, r.m_InputImpedance, r.m_InputImpedance > 1.2 * aim.m_InputImpedance)},
        {"Z_out", Text(aim.m_OutputImpedance, "ohm"), "", Text(r.m_OutputImpedance, "ohm"),
         judge("Z_out", aim.m_OutputImpedance, r.m_OutputImpedance,
               far(r.m_OutputImpedance, aim.m_OutputImpedance, 0.2))},
        {"f_-3dB", Text(aim.m_LowerCutoff, "Hz"), "", lowerKnown ? Text(r.m_LowerCutoff, "Hz") : "below the sweep",
         judge("f_-3dB", aim.m_LowerCutoff, r.m_LowerCutoff, lowerKnown && r.m_LowerCutoff > aim.m_LowerCutoff)},
        {"f_-3dB upper", "", "", std::isfinite(r.m_UpperCutoff) ? Text(r.m_UpperCutoff, "Hz") : "above the sweep",
         ""},
    };
    v.m_Meets = v.m_Misses.empty();
    return verification;
}

std::string TuningProposal::Line() const
{
    std::string line;
    for (const PartChange& change : m_Changes) {
        line += (line.empty() ? "" : ", ") + change.m_Part + ' ' + FormatEngineering(change.m_Designed) + "F -> "
                + FormatEngineering(change.m_Proposed) + 'F';
    }
    return line;
}

std::optional<TuningProposal> ProposeTuning(const AmplifierDesign&, const VerificationOptions&)
{
    return std::nullopt;
}

} // namespace norvane
