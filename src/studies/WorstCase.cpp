#include "studies/WorstCase.h"

#include "circuit/DesignTargets.h"
#include "studies/StudySupport.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace norvane {

using namespace robustness;

namespace {

constexpr double RoomTemperature = 25.0; // degC, where the netlists simulate

// One thing the analysis moves, and its two edges.
struct Parameter {
    enum class Kind { Part, CurrentGain, Temperature } m_Kind = Kind::Part;
    std::string m_Name; // "R1", "BF/IS", "T"
    double m_Nominal = 0.0;
    double m_Low = 0.0;
    double m_High = 0.0;
};

// Per parameter: -1 at its low edge, 0 nominal, +1 at its high edge.
using Corner = std::vector<int>;

std::vector<Parameter> ParametersOf(const AmplifierCircuit& circuit, double resistorTolerance)
{
    std::vector<Parameter> parameters;
    for (const CircuitPart& part : circuit.m_Parts) {
        const bool resistor = !part.m_Name.empty() && (part.m_Name[0] == 'R' || part.m_Name[0] == 'r');
        const double tolerance = resistor ? resistorTolerance : CapacitorTolerance;
        parameters.push_back({Parameter::Kind::Part, part.m_Name, part.m_Value,
                              part.m_Value * (1 - tolerance), part.m_Value * (1 + tolerance)});
    }
    if (circuit.m_Transistor.name != nullptr) {
        parameters.push_back(
            {Parameter::Kind::CurrentGain, "BF/IS", 1.0, 1.0 / CurrentGainSpread, CurrentGainSpread});
    }
    parameters.push_back({Parameter::Kind::Temperature, "T", RoomTemperature, WorstCaseTemperatures[0],
                          WorstCaseTemperatures[1]});
    return parameters;
}

// "R1+ R2- BF/IS+ 85 degC"; "nominal" for none.
std::string Describe(const std::vector<Parameter>& parameters, const Corner& corner)
{
    std::string text;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (corner[i] == 0) {
            continue;
        }
        text += text.empty() ? "" : " ";
        if (parameters[i].m_Kind == Parameter::Kind::Temperature) {
            const double celsius = corner[i] < 0 ? parameters[i].m_Low : parameters[i].m_High;
            text += std::to_string(static_cast<int>(celsius)) + " degC";
        } else {
            text += parameters[i].m_Name + (corner[i] < 0 ? "-" : "+");
        }
    }
    return text.empty() ? "nominal" : text;
}

// The quantities in the order of WorstCaseQuantity::m_Name.
constexpr const char* QuantityNames[] = {"Ic", "Uce", "gain", "Z_in", "Z_out", "f_-3dB"};

double QuantityOf(const SimulationResult& r, std::size_t q)
{
    if (!r.Simulated()) {
        return WorstCaseQuantity::NaN;
    }
    const double values[] = {r.m_Ic,         r.m_Uce, r.m_GainDb, r.m_InputImpedance, r.m_OutputImpedance,
                             r.m_LowerCutoff};
    return values[q];
}

} // namespace

Expected<WorstCaseAnalysis> RunWorstCase(const AmplifierCircuit& circuit, const SimulationOptions& simulation,
                                         double resistorTolerance, const std::vector<std::string>& required,
                                         const RunJudge& misses, const AnalysisProgress& progress)
{
    NetlistOptions netlist;
    netlist.m_OutputSourceOff = true;
    SimulationSession session;
    if (!session.Ready()) {
        return SessionFailure(session);
    }
    if (const Status loaded = session.Load(SessionNetlist(circuit, simulation, netlist)); !loaded) {
        return NotSimulated(loaded);
    }
    const std::vector<Parameter> parameters = ParametersOf(circuit, resistorTolerance);
    const std::size_t n = parameters.size();
    constexpr std::size_t Quantities = std::size(QuantityNames);
    const int total = static_cast<int>(1 + 2 * n + 2 * Quantities);
    int done = 0;
    const auto cancelled = [&] { return !GoOn(progress, done, total); };

    // Every point sets every parameter, so that no point depends on the
    // one before it.
    std::map<Corner, SimulationResult> simulated;
    const auto simulate = [&](const Corner& corner) -> Expected<const SimulationResult*> {
        if (const auto known = simulated.find(corner); known != simulated.end()) {
            return &known->second;
        }
        if (cancelled()) {
            return CancelledFailure();
        }
        Status set;
        for (std::size_t i = 0; i < n && set; ++i) {
            const Parameter& p = parameters[i];
            const double value = corner[i] < 0 ? p.m_Low : corner[i] > 0 ? p.m_High : p.m_Nominal;
            switch (p.m_Kind) {
            case Parameter::Kind::Part:
                set = session.Change("alter " + p.m_Name + " = " + SpiceNumber(value));
                break;
            case Parameter::Kind::CurrentGain:
                set = ScaleCurrentGain(session, circuit.m_Transistor, value);
                break;
            case Parameter::Kind::Temperature:
                set = session.Change("option temp = " + SpiceNumber(value));
                break;
            }
        }
        if (!set) {
            return NotSimulated(set);
        }
        SimulationResult run = MeasureLoaded(session, circuit, simulation, cancelled);
        if (run.m_Outcome.Is(FailureKind::Cancelled)) {
            return CancelledFailure();
        }
        ++done;
        return &(simulated[corner] = std::move(run));
    };

    const Corner nominalCorner(n, 0);
    const Expected<const SimulationResult*> nominal = simulate(nominalCorner);
    if (!nominal) {
        return Failure{nominal.Message(), nominal.AsStatus().Kind()};
    }
    if (!(*nominal)->Simulated()) {
        return NotSimulated((*nominal)->m_Outcome);
    }
    // The sensitivities: each parameter alone at each edge.
    std::vector<std::array<const SimulationResult*, 2>> alone(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (const int edge : {-1, 1}) {
            Corner corner = nominalCorner;
            corner[i] = edge;
            const Expected<const SimulationResult*> run = simulate(corner);
            if (!run) {
                return Failure{run.Message(), run.AsStatus().Kind()};
            }
            alone[i][edge < 0 ? 0 : 1] = *run;
        }
    }
    // The corner each sign points to, for each quantity and direction: at
    // each parameter the edge that moved the quantity further that way.
    for (std::size_t q = 0; q < Quantities; ++q) {
        for (const int direction : {-1, 1}) {
            Corner corner(n, 0);
            for (std::size_t i = 0; i < n; ++i) {
                const double low = QuantityOf(*alone[i][0], q);
                const double high = QuantityOf(*alone[i][1], q);
                const double nominalValue = QuantityOf(**nominal, q);
                if (std::isnan(low) && std::isnan(high)) {
                    continue;
                }
                const double lowShift = std::isnan(low) ? 0.0 : (low - nominalValue) * direction;
                const double highShift = std::isnan(high) ? 0.0 : (high - nominalValue) * direction;
                if (lowShift > 0 || highShift > 0) {
                    corner[i] = lowShift > highShift ? -1 : 1;
                }
            }
            if (const Expected<const SimulationResult*> run = simulate(corner); !run) {
                return Failure{run.Message(), run.AsStatus().Kind()};
            }
        }
    }
    GoOn(progress, total, total);

    WorstCaseAnalysis analysis;
    analysis.m_ResistorTolerance = resistorTolerance;
    analysis.m_CurrentGainSpread = circuit.m_Transistor.name != nullptr ? CurrentGainSpread : 0.0;
    analysis.m_Simulations = static_cast<int>(simulated.size());
    for (std::size_t q = 0; q < Quantities; ++q) {
        WorstCaseQuantity quantity;
        quantity.m_Name = QuantityNames[q];
        quantity.m_Nominal = QuantityOf(**nominal, q);
        const SimulationResult* lowest = nullptr;
        const SimulationResult* highest = nullptr;
        for (const auto& [corner, run] : simulated) {
            const double value = QuantityOf(run, q);
            if (std::isnan(value)) {
                continue;
            }
            if (!(value >= quantity.m_Min)) {
                quantity.m_Min = value;
                quantity.m_CornerMin = Describe(parameters, corner);
                lowest = &run;
            }
            if (!(value <= quantity.m_Max)) {
                quantity.m_Max = value;
                quantity.m_CornerMax = Describe(parameters, corner);
                highest = &run;
            }
        }
        if (std::ranges::find(required, quantity.m_Name) != required.end()) {
            const auto holds = [&](const SimulationResult* run) {
                if (run == nullptr || !misses) {
                    return run != nullptr;
                }
                const std::vector<std::string> missed = misses(*run);
                return std::ranges::find(missed, quantity.m_Name) == missed.end();
            };
            quantity.m_Meets = holds(lowest) && holds(highest);
        }
        analysis.m_Quantities.push_back(std::move(quantity));
    }
    return analysis;
}

Expected<WorstCaseAnalysis> AnalyseWorstCase(const AmplifierDesign& design,
                                             const VerificationOptions& verification,
                                             const AnalysisProgress& progress)
{
    Expected<AmplifierCircuit> circuit = CircuitFor(design, verification);
    if (!circuit) {
        return Failure{circuit.Message()};
    }
    const DesignTargets aim = TargetsOf(design);
    std::vector<std::string> required{"Ic"};
    const std::pair<double, const char*> requirements[] = {{aim.m_GainDb, "gain"},
                                                           {aim.m_InputImpedance, "Z_in"},
                                                           {aim.m_OutputImpedance, "Z_out"},
                                                           {aim.m_LowerCutoff, "f_-3dB"}};
    for (const auto& [value, name] : requirements) {
        if (std::isfinite(value)) {
            required.emplace_back(name);
        }
    }
    const auto judge = [&](const SimulationResult& run) {
        std::vector<std::string> quantities;
        for (const VerdictMiss& miss : JudgeSimulation(design, verification, run).m_Verdict.m_Misses) {
            quantities.push_back(miss.m_Quantity);
        }
        return quantities;
    };
    return RunWorstCase(*circuit, SimulationOf(verification),
                        ResistorTolerance(12 << design.Inputs().SeriesIndex()), required, judge, progress);
}

} // namespace norvane
