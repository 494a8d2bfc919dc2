#include "analysis/Verification.h"

#include "circuit/PartStress.h"
#include "design/CommonEmitterDesign.h"
#include "design/DesignResults.h"
#include "design/StandardSeries.h"
#include "format/EngineeringFormat.h"
#include "format/Units.h"
#include "transistors/TransistorRatings.h"
#include "transistors/TransistorTable.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace norvane {

namespace {

// The tolerances of the verdict (Verification.h).
constexpr double GainToleranceDb = 1.0;
constexpr double OutputImpedanceTolerance = 0.20; // either way
constexpr double InputImpedanceExcess = 0.20;     // above the upper limit

// kT/q at the 25 degC the netlists simulate at, in volts.
constexpr double ThermalVoltage = 0.025693;
// The base-emitter voltage taken for the reverse voltage of the
// collector-base junction, in volts: a cause needs no better.
constexpr double BaseEmitterVoltage = 0.65;

double Parallel(double a, double b)
{
    return a * b / (a + b);
}

std::string Capacitance(double farad)
{
    return PartItem("C", farad).value;
}

// A frequency as a multiple of f_min: "0.92 x f_min".
std::string TimesMinimum(double hertz, double minimum)
{
    return FormatGeneral(hertz / minimum, 2) + " x f_min";
}

// "Z_out 1.485 kohm for 2 kohm", "f_-3dB 133 kHz above f_min 100 kHz".
std::string MissText(const VerdictMiss& miss)
{
    const std::string& q = miss.m_Quantity;
    if (q == "gain") {
        return "gain " + Decibels(miss.m_Simulated) + " for " + FormatGeneral(miss.m_Required, 6) + " dB";
    }
    if (q == "Ic") {
        return "Ic " + Amperes(miss.m_Simulated) +
               (miss.m_Requested ? " for the requested " : " for the designed ") + Amperes(miss.m_Required);
    }
    if (q == "f_-3dB") {
        return "f_-3dB " + Hertz(miss.m_Simulated) + " above f_min " + Hertz(miss.m_Required);
    }
    if (q == "VCEO") {
        return "VCEO " + Volts(miss.m_Required) + " < supply " + Volts(miss.m_Simulated) +
               ": choose a type rated at least " + Volts(miss.m_Simulated);
    }
    if (q == "IC max") {
        return "IC max " + Amperes(miss.m_Required) + " < Ic " + Amperes(miss.m_Simulated) +
               ": choose a type rated at least " + Amperes(miss.m_Simulated);
    }
    if (q == "Ptot") {
        return "Ptot " + Quantity(miss.m_Required, "W") + " < P " + Quantity(miss.m_Simulated, "W") +
               ": choose a type rated at least " + Quantity(miss.m_Simulated, "W");
    }
    if (q == "Z_in") {
        return "Z_in " + Ohms(miss.m_Simulated) + " above the " + Ohms(miss.m_Required) + " allowed";
    }
    return q + " " + Ohms(miss.m_Simulated) + " for " + Ohms(miss.m_Required);
}

// "Not simulated: ..." from "not simulated: ...".
std::string Capitalised(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') {
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    }
    return text;
}

// A depletion capacitance at a reverse voltage (SPICE's formula below the
// forward-bias region), in farads.
double JunctionCapacitance(double zeroBias, double potential, double exponent, double reverse)
{
    if (!(zeroBias > 0)) {
        return 0.0;
    }
    const double vj = potential > 0 ? potential : 0.75; // SPICE's default
    return zeroBias / std::pow(1.0 + std::max(reverse, 0.0) / vj, exponent);
}

// What the small-signal causes need: the operating point of the simulation
// and the card.
struct Transistor {
    double m_Gm = 0.0; // S
    double m_Beta = 0.0;
    double m_Ccb = 0.0; // F, collector-base at the operating point
    double m_Cbe = 0.0; // F, base-emitter: depletion and diffusion
};

Transistor SmallSignal(const AmplifierCircuit& circuit, const SimulationResult& result)
{
    const TransistorRecord& card = circuit.m_Transistor;
    Transistor t;
    t.m_Gm = result.m_Ic / ThermalVoltage;
    t.m_Beta = result.m_Ib > 0 ? result.m_Ic / result.m_Ib : card.BF;
    t.m_Ccb = JunctionCapacitance(card.CJC, card.VJC, card.MJC, result.m_Uce - BaseEmitterVoltage);
    t.m_Cbe = JunctionCapacitance(card.CJE, card.VJE, card.MJE, 0.0) + t.m_Gm * card.TF;
    return t;
}

double SourceResistance(const VerificationOptions& options)
{
    return options.m_SourceResistance > 0 ? options.m_SourceResistance : 0.0;
}

// The corner each coupling or bypass capacitor makes alone with the
// resistance it sees, in Hz, and the words that say so.
struct Corner {
    double m_Frequency = 0.0;
    std::string m_Part;
    std::string m_Why;
};

std::vector<Corner> CapacitorCorners(CircuitKind kind, const AmplifierCircuit& circuit,
                                     const SimulationResult& r, const VerificationOptions& options)
{
    const Transistor t = SmallSignal(circuit, r);
    const double rs = SourceResistance(options);
    const double fMin = circuit.m_LowerCutoff;
    std::vector<Corner> corners;
    corners.reserve(3);
    const auto add = [&](const std::string& name, double resistance, const std::string& words) {
        const double c = PartValue(circuit, name);
        if (!(c > 0) || !(resistance > 0) || !std::isfinite(resistance)) {
            return;
        }
        const double f = 1.0 / (2.0 * std::numbers::pi * resistance * c);
        corners.push_back(
            {f, name, name + " of " + Capacitance(c) + words + " puts a corner at " + Hertz(f)});
    };
    const double input = rs + r.m_InputImpedance;
    add("C1", input, " with the " + Ohms(input) + " behind it");
    if (options.m_LoadResistance > 0) {
        const double load = r.m_OutputImpedance + options.m_LoadResistance;
        add("C2", load, " with the " + Ohms(load) + " of output and load");
    }
    if (kind == CircuitKind::CommonEmitter && FindPart(circuit, "C3") != nullptr) {
        // C3 bypasses R5; the emitter looks into it through R4 and re.
        const double r4 = FindPart(circuit, "R4") != nullptr && FindPart(circuit, "C3")->m_NodeA == "emitter2"
                              ? PartValue(circuit, "R4")
                              : 0.0;
        const double base =
            Parallel(Parallel(PartValue(circuit, "R1"), PartValue(circuit, "R2")), rs > 0 ? rs : 1e-3);
        const double emitter = r4 + 1.0 / t.m_Gm + base / (t.m_Beta + 1.0);
        add("C3", Parallel(PartValue(circuit, "R5"), emitter),
            ", which does not bypass R5 at " + Hertz(fMin) + ",");
    }
    if (kind == CircuitKind::CommonBase) {
        // The base looks into the emitter, which C1 and the source hold.
        const double emitter = 1.0 / t.m_Gm + (rs > 0 ? Parallel(PartValue(circuit, "R1"), rs) : 0.0);
        const double base = Parallel(Parallel(PartValue(circuit, "R3"), PartValue(circuit, "R4")),
                                     (t.m_Beta + 1.0) * emitter);
        add("C3", base, ", which does not ground the base at " + Hertz(fMin) + ",");
    }
    return corners;
}

std::string LowerCornerWhy(CircuitKind kind, const AmplifierCircuit& circuit, const SimulationResult& r,
                           const VerificationOptions& options)
{
    const std::vector<Corner> corners = CapacitorCorners(kind, circuit, r, options);
    const auto highest = std::ranges::max_element(corners, {}, &Corner::m_Frequency);
    if (highest == corners.end()) {
        return {};
    }
    if (highest->m_Frequency > circuit.m_LowerCutoff || corners.size() == 1) {
        return highest->m_Why;
    }
    // No capacitor alone: the corners together.
    std::string why = "the corners of ";
    for (std::size_t i = 0; i < corners.size(); ++i) {
        why += (i == 0                    ? ""
                : i + 1 == corners.size() ? " and "
                                          : ", ") +
               corners[i].m_Part + " (" + Hertz(corners[i].m_Frequency) + ")";
    }
    return why + " add up";
}

// A common-base stage whose base C3 does not hold: the collector drives
// the base through C_cb, and gm turns that into collector current.
// A common-base stage's Z_out is R2 in parallel with what T1 shows at its
// collector: with the input shorted (as Z_out is measured) its output
// resistance r_o = (VAF + Uce) / Ic, the Early effect; and the base's path
// to ground through C3 against the collector-base capacitance, which lets
// the collector drive the base (about C3 / (gm C_cb)). Either is named
// when it alone takes more than half the tolerance off Z_out; r_o with the
// R2 of the series that gives the required Z_out beside it.
std::string OutputImpedanceWhy(const AmplifierDesign& design, const AmplifierCircuit& circuit,
                               const SimulationResult& r)
{
    if (design.Kind() != CircuitKind::CommonBase || !(r.m_OutputImpedance < PartValue(circuit, "R2"))) {
        return {};
    }
    const double r2 = PartValue(circuit, "R2");
    const auto takesMuch = [&](double shunt) {
        return Parallel(r2, shunt) < (1.0 - OutputImpedanceTolerance / 2) * r2;
    };
    const Transistor t = SmallSignal(circuit, r);
    const double c3 = PartValue(circuit, "C3");
    const double feedback = c3 / (t.m_Gm * t.m_Ccb);
    const double vaf = circuit.m_Transistor.VAF;
    const double ro = vaf > 0 && vaf < InfiniteParameter ? (vaf + r.m_Uce) / r.m_Ic : InfiniteParameter;
    if (ro < feedback && takesMuch(ro)) {
        std::string why = "T1's output resistance of " + Ohms(ro) + " (VAF " + Volts(vaf) + " at Ic " +
                          Amperes(r.m_Ic) + ") lies in parallel with R2";
        const double required = design.Inputs().Value(InputField::OutputImpedance);
        if (required < ro) {
            double proposed = 1.0 / (1.0 / required - 1.0 / ro);
            RoundToSeries(proposed, SeriesCounts.at(design.Inputs().SeriesIndex()));
            why += ": R2 = " + Ohms(proposed) + " gives Z_out " + Ohms(Parallel(proposed, ro));
        }
        return why;
    }
    if (!takesMuch(feedback)) {
        return {};
    }
    return "C3 of " + Capacitance(c3) + " does not ground the base at " + Hertz(circuit.m_LowerCutoff) +
           ": the collector drives it through T1's " + Capacitance(t.m_Ccb) + " collector-base capacitance";
}

// A common-emitter stage driven from a stiff source: C1 and the Miller
// capacitance at the base divide the signal, whatever the frequency.
std::string GainWhy(CircuitKind kind, const AmplifierCircuit& circuit, const SimulationResult& r,
                    double targetDb)
{
    if (kind != CircuitKind::CommonEmitter || !(r.m_GainDb < targetDb)) {
        return {};
    }
    const Transistor t = SmallSignal(circuit, r);
    const double gain = std::pow(10.0, targetDb / 20.0);
    const double r4 = FindPart(circuit, "R4") != nullptr ? PartValue(circuit, "R4") : 0.0;
    const double miller = t.m_Ccb * (1.0 + gain) + t.m_Cbe / (1.0 + t.m_Gm * r4);
    const double c1 = PartValue(circuit, "C1");
    const double lossDb = 20.0 * std::log10(c1 / (c1 + miller));
    if (!(lossDb < -GainToleranceDb / 2)) {
        return {};
    }
    return "C1 of " + Capacitance(c1) + " meets T1's Miller capacitance of about " + Capacitance(miller) +
           ": the two divide the signal by " + FormatFixed(-lossDb, 1) + " dB";
}

std::string Conditions(const AmplifierCircuit& designed, const VerificationOptions& options)
{
    std::string text = options.m_LoadResistance > 0 ? "load " + Ohms(options.m_LoadResistance) : "no load";
    if (options.m_SourceResistance > 0) {
        text += ", source " + Ohms(options.m_SourceResistance);
    }
    for (const auto& [name, value] : options.m_PartValues) {
        const double was = PartValue(designed, name);
        if (std::isfinite(was) && value != was) {
            text += ", " + name + " = " + PartValueText(name, value);
        }
    }
    return text;
}

// T1 against its absolute maximum ratings: a miss for each rating the
// simulated operating point (or the supply, for VCEO) exceeds, a note naming
// the ratings that no source states.
void JudgeRatings(const AmplifierDesign& design, const AmplifierCircuit& circuit, const SimulationResult& r,
                  Verdict& verdict)
{
    const int index = design.Inputs().TransistorIndex();
    const TransistorRatings ratings = GetTransistorRatings(index);
    const double power = r.m_Uce * r.m_Ic + BaseEmitterVoltage * r.m_Ib;
    const struct {
        const char* m_Name;
        CheckedRating m_Check;
    } checks[] = {{"VCEO", {circuit.m_SupplyVoltage, ratings.m_Vceo}},
                  {"IC max", {r.m_Ic, ratings.m_IcMax}},
                  {"Ptot", {power, ratings.m_Ptot}}};
    std::vector<std::string> unknown;
    for (const auto& [name, check] : checks) {
        switch (check.Check()) {
        case RatingCheck::Within: break;
        case RatingCheck::Exceeded:
            verdict.m_Misses.push_back({name, check.m_Rating, check.m_Figure, {}});
            break;
        case RatingCheck::Unknown: unknown.emplace_back(name); break;
        }
    }
    if (unknown.empty()) {
        return;
    }
    std::string what = "ratings";
    if (unknown.size() < std::size(checks)) {
        what = unknown.front();
        for (std::size_t i = 1; i < unknown.size(); ++i) {
            what += (i + 1 == unknown.size() ? " and " : ", ") + unknown[i];
        }
    }
    verdict.m_Notes.push_back(what + " of " + std::string(GetTransistorRecord(index).name) +
                              " unknown: check the data sheet");
}

void Judge(const AmplifierDesign& design, const AmplifierCircuit& circuit, const VerificationOptions& options,
           Verification& v)
{
    const SimulationResult& r = v.m_Simulation;
    const DesignTargets& aim = v.m_Targets;
    Verdict& verdict = v.m_Verdict;
    verdict.m_Simulated = r.Simulated();
    if (!r.Simulated()) {
        verdict.m_Problem = r.StatusText();
        return;
    }
    const CircuitKind kind = design.Kind();
    auto& misses = verdict.m_Misses;
    const double ic = aim.IcReference();
    if (!(std::fabs(r.m_Ic - ic) <= CurrentTolerance * ic)) {
        misses.push_back({"Ic", ic, r.m_Ic, {}, std::isfinite(aim.m_RequiredIc)});
    }
    if (std::isfinite(aim.m_GainDb) && !(std::fabs(r.m_GainDb - aim.m_GainDb) <= GainToleranceDb)) {
        misses.push_back({"gain", aim.m_GainDb, r.m_GainDb, GainWhy(kind, circuit, r, aim.m_GainDb)});
    }
    if (std::isfinite(aim.m_InputImpedance) &&
        !(r.m_InputImpedance <= (1 + InputImpedanceExcess) * aim.m_InputImpedance)) {
        misses.push_back({"Z_in", aim.m_InputImpedance, r.m_InputImpedance, {}});
    }
    if (std::isfinite(aim.m_OutputImpedance) && !(std::fabs(r.m_OutputImpedance - aim.m_OutputImpedance) <=
                                                  OutputImpedanceTolerance * aim.m_OutputImpedance)) {
        misses.push_back(
            {"Z_out", aim.m_OutputImpedance, r.m_OutputImpedance, OutputImpedanceWhy(design, circuit, r)});
    }
    // NaN: the corner lies below the sweep.
    if (std::isfinite(aim.m_LowerCutoff) && r.m_LowerCutoff > aim.m_LowerCutoff) {
        misses.push_back(
            {"f_-3dB", aim.m_LowerCutoff, r.m_LowerCutoff, LowerCornerWhy(kind, circuit, r, options)});
    }
    JudgeRatings(design, circuit, r, verdict);
    verdict.m_Meets = misses.empty();
}

} // namespace

bool Verdict::Misses(std::string_view quantity) const
{
    return std::ranges::find(m_Misses, quantity, &VerdictMiss::m_Quantity) != m_Misses.end();
}

AmplifierCircuit VerifiedCircuit(const AmplifierDesign& design, const std::vector<NamedValue>& partValues)
{
    AmplifierCircuit circuit = DescribeCircuit(design);
    for (const auto& [name, value] : partValues) {
        for (CircuitPart& part : circuit.m_Parts) {
            if (part.m_Name == name) {
                part.m_Value = value;
            }
        }
    }
    return circuit;
}

std::string VerifiedNetlist(const AmplifierDesign& design, const VerificationOptions& options,
                            NetlistOptions netlist)
{
    const AmplifierCircuit designed = DescribeCircuit(design);
    AmplifierCircuit circuit = VerifiedCircuit(design, options.m_PartValues);
    for (const auto& [name, value] : options.m_PartValues) {
        if (const CircuitPart* part = FindPart(designed, name)) {
            circuit.m_Notes.push_back(name + " " + PartValueText(name, value) + " instead of the designed " +
                                      PartValueText(name, part->m_Value));
        }
    }
    netlist.m_LoadResistance = options.m_LoadResistance;
    netlist.m_SourceResistance = options.m_SourceResistance;
    return WriteNetlist(circuit, netlist);
}

std::vector<VerificationRow> VerificationRows(const AmplifierDesign& design, const Verification& v)
{
    const SimulationResult& r = v.m_Simulation;
    const DesignTargets& aim = v.m_Targets;
    const bool simulated = r.Simulated();
    const auto shown = [&](double value, const auto& format) {
        return simulated && std::isfinite(value) ? format(value) : std::string();
    };
    const auto verdict = [&](const char* quantity) {
        return !simulated ? std::string() : v.m_Verdict.Misses(quantity) ? "misses" : "meets";
    };
    std::vector<VerificationRow> rows;
    rows.push_back({"Ic",
                    std::isfinite(aim.m_RequiredIc) ? Amperes(aim.m_RequiredIc) + " +/- 10 %"
                                                    : std::string("designed +/- 10 %"),
                    Amperes(aim.m_Ic), shown(r.m_Ic, Amperes), verdict("Ic")});
    rows.push_back({"Uce", "", Volts(aim.m_Uce), shown(r.m_Uce, Volts), ""});
    VerificationRow gain{"Voltage gain", "", "", shown(r.m_GainDb, Decibels), ""};
    if (std::isfinite(aim.m_GainDb)) {
        gain.m_Required = FormatGeneral(aim.m_GainDb, 6) + " dB +/- 1 dB";
        gain.m_Verdict = verdict("gain");
    }
    if (const auto* ce = dynamic_cast<const CommonEmitterDesign*>(&design)) {
        gain.m_Designed = Decibels(ce->DesignedGainDb());
    }
    rows.push_back(gain);
    VerificationRow zin{"Z_in", "", "", shown(r.m_InputImpedance, Ohms), ""};
    if (std::isfinite(aim.m_InputImpedance)) {
        zin.m_Required = "at most " + Ohms(aim.m_InputImpedance) + " + 20 %";
        zin.m_Verdict = verdict("Z_in");
    }
    rows.push_back(zin);
    VerificationRow zout{"Z_out", "", "", shown(r.m_OutputImpedance, Ohms), ""};
    if (std::isfinite(aim.m_OutputImpedance)) {
        zout.m_Required = Ohms(aim.m_OutputImpedance) + " +/- 20 %";
        zout.m_Verdict = verdict("Z_out");
        // The collector resistor is what the design sets Z_out with.
        const char* collector = design.Kind() == CircuitKind::CommonBase ? "R2" : "R3";
        for (const auto& [name, value] : design.ComponentNumbers()) {
            if (name == collector) {
                zout.m_Designed = Ohms(value);
            }
        }
    }
    rows.push_back(zout);
    VerificationRow lower{"Lower -3 dB frequency", "", "", "", ""};
    if (simulated) {
        lower.m_Simulated = std::isfinite(r.m_LowerCutoff) ? Hertz(r.m_LowerCutoff) : "below the sweep";
    }
    if (std::isfinite(aim.m_LowerCutoff)) {
        lower.m_Required = "at most " + Hertz(aim.m_LowerCutoff);
        lower.m_Verdict = verdict("f_-3dB");
    }
    rows.push_back(lower);
    VerificationRow upper{"Upper -3 dB frequency", "", "", "", ""};
    if (simulated) {
        upper.m_Simulated = std::isfinite(r.m_UpperCutoff) ? Hertz(r.m_UpperCutoff) : "above the sweep";
    }
    rows.push_back(upper);
    return rows;
}

RequirementBand RequirementBandOf(const DesignTargets& aim, std::string_view quantity)
{
    RequirementBand band;
    if (quantity == "Ic") {
        const double ic = aim.IcReference();
        band = {(1.0 - CurrentTolerance) * ic, (1.0 + CurrentTolerance) * ic};
    } else if (quantity == "gain") {
        band = {aim.m_GainDb - GainToleranceDb, aim.m_GainDb + GainToleranceDb};
    } else if (quantity == "Z_in") {
        band.m_High = (1.0 + InputImpedanceExcess) * aim.m_InputImpedance;
    } else if (quantity == "Z_out") {
        band = {(1.0 - OutputImpedanceTolerance) * aim.m_OutputImpedance,
                (1.0 + OutputImpedanceTolerance) * aim.m_OutputImpedance};
    } else if (quantity == "f_-3dB") {
        band.m_High = aim.m_LowerCutoff;
    }
    return band;
}

std::string SimulationConditions(const AmplifierDesign& design, const VerificationOptions& options)
{
    return Conditions(DescribeCircuit(design), options);
}

Verification JudgeSimulation(const AmplifierDesign& design, const VerificationOptions& options,
                             SimulationResult simulation)
{
    Verification v;
    v.m_Targets = TargetsOf(design);
    v.m_Verdict.m_Conditions = SimulationConditions(design, options);
    v.m_Simulation = std::move(simulation);
    Judge(design, VerifiedCircuit(design, options.m_PartValues), options, v);
    v.m_Rows = VerificationRows(design, v);
    return v;
}

std::string Verdict::Line() const
{
    if (!m_Simulated) {
        return Capitalised(m_Problem);
    }
    std::string line = "Simulation (ngspice, " + m_Conditions + "): ";
    if (m_Meets) {
        line += "meets the requirements";
    } else {
        line += "misses ";
        for (std::size_t i = 0; i < m_Misses.size(); ++i) {
            line += (i > 0 ? "; " : "") + MissText(m_Misses[i]);
            if (!m_Misses[i].m_Why.empty()) {
                line += " (" + m_Misses[i].m_Why + ")";
            }
        }
    }
    if (m_Yield) {
        line += "; " + m_Yield->Text();
    }
    for (const std::string& note : m_Notes) {
        line += "; " + note;
    }
    return line;
}

std::string BuildYield::Text() const
{
    if (!m_Problem.empty() || !std::isfinite(m_Fraction)) {
        return "yield unknown: " + m_Problem;
    }
    double percent = std::round(100.0 * m_Fraction);
    if (m_Meeting < m_Runs) {
        percent = std::min(percent, 99.0);
    }
    std::string text = FormatFixed(percent, 0) + " % of builds with " +
                       FormatGeneral(100.0 * m_ResistorTolerance, 3) + " % resistors meet";
    if (!m_MostMissed.empty()) {
        text += " (" + m_MostMissed + ")";
    }
    return text;
}

namespace {

// "R1 620 kohm -> 150 kohm, R2 200 kohm -> 47 kohm"
std::string ChangesText(const std::vector<PartChange>& changes)
{
    std::string line;
    for (const PartChange& change : changes) {
        line += (line.empty() ? "" : ", ") + change.m_Part + " " +
                PartValueText(change.m_Part, change.m_Designed) + " -> " +
                PartValueText(change.m_Part, change.m_Proposed);
    }
    return line;
}

} // namespace

std::string BiasProposal::Line() const
{
    std::string line = ChangesText(m_Changes) + ": " +
                       FormatFixed(std::round(100.0 * m_After.m_Fraction), 0) + " % of builds meet, Z_in " +
                       Ohms(m_InputImpedanceBefore) + " -> " + Ohms(m_InputImpedanceAfter);
    if (!m_ReachesTarget) {
        line = "no divider of E" + std::to_string(m_Series) + " reaches " +
               FormatFixed(100.0 * YieldTarget, 0) + " % of builds; the best: " + line;
    }
    return line;
}

std::string TuningProposal::Line() const
{
    std::string line = ChangesText(m_Changes);
    const SimulationResult& r = m_Verification.m_Simulation;
    std::string figures;
    const auto add = [&](const std::string& text) { figures += (figures.empty() ? ": " : ", ") + text; };
    for (const std::string& quantity : m_Mended) {
        if (quantity == "gain") {
            add("gain " + Decibels(r.m_GainDb));
        } else if (quantity == "Z_out") {
            add("Z_out " + Ohms(r.m_OutputImpedance));
        } else if (quantity == "f_-3dB") {
            add("f_-3dB " + (std::isfinite(r.m_LowerCutoff)
                                 ? TimesMinimum(r.m_LowerCutoff, m_Verification.m_Targets.m_LowerCutoff)
                                 : std::string("below the sweep")));
        }
    }
    line += figures;
    if (m_Bias) {
        line += (line.empty() ? "" : "; ") + m_Bias->Line();
    }
    return line;
}

std::vector<NamedValue> TuningProposal::PartValues() const
{
    std::vector<NamedValue> values;
    for (const PartChange& change : m_Changes) {
        values.emplace_back(change.m_Part, change.m_Proposed);
    }
    if (m_Bias) {
        for (const PartChange& change : m_Bias->m_Changes) {
            values.emplace_back(change.m_Part, change.m_Proposed);
        }
    }
    return values;
}

} // namespace norvane
