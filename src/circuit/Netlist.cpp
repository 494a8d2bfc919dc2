#include "circuit/Netlist.h"

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "transistors/TransistorRatings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace norvane {

namespace {

const char* PolarityText(bool isPnp)
{
    return isPnp ? "PNP" : "NPN";
}

// What all three circuits share: title, supply, transistor, sweep.
AmplifierCircuit CircuitBase(const AmplifierDesign& design)
{
    const double supplyVoltage = design.Inputs().Value(InputField::SupplyVoltage);
    const int transistorIndex = design.Inputs().TransistorIndex();
    const double lowerCutoff = design.Inputs().Value(InputField::LowerCutoff);
    AmplifierCircuit circuit;
    circuit.m_IsPnp = design.IsPnp();
    circuit.m_SupplyVoltage = supplyVoltage;
    circuit.m_LowerCutoff = lowerCutoff;
    circuit.m_Transistor = GetTransistorRecord(transistorIndex);
    circuit.m_Title = std::string("Norvane ") + design.Title() + ": T1 = " + circuit.m_Transistor.name +
                      " (" + PolarityText(circuit.m_IsPnp) +
                      "), UB = " + SpiceNumber(circuit.m_IsPnp ? -supplyVoltage : supplyVoltage) +
                      " V, f_min = " + SpiceNumber(lowerCutoff) + " Hz";
    if (!design.IsUsable()) {
        circuit.m_Notes.push_back("The design cannot be built: " + design.Problem());
    }
    return circuit;
}

AmplifierCircuit DescribeCommonEmitter(const CommonEmitterDesign& design)
{
    const CommonEmitterResults& r = design.Results();
    AmplifierCircuit circuit = CircuitBase(design);
    auto& parts = circuit.m_Parts;
    parts.push_back({"R1", "vcc", "base", r.m_R1});
    parts.push_back({"R2", "base", "0", r.m_R2});
    parts.push_back({"R3", "vcc", "collector", r.m_R3});
    if (design.IsWithoutBypass()) {
        parts.push_back({"R4", "emitter", "0", r.m_R4});
    } else if (r.m_R4 > 0) {
        parts.push_back({"R4", "emitter", "emitter2", r.m_R4});
        parts.push_back({"R5", "emitter2", "0", r.m_R5});
    } else {
        // The gain asked for more than the transistor gives: R4 came out as
        // 0, so R5 and C3 sit at the emitter itself. A 0-ohm resistor is
        // left out; not every SPICE reader takes one.
        circuit.m_Notes.push_back("R4 = 0: R5 and C3 sit at the emitter");
        parts.push_back({"R5", "emitter", "0", r.m_R5});
    }
    parts.push_back({"C1", "in", "base", r.m_C1});
    parts.push_back({"C2", "collector", "out", r.m_C2});
    if (!design.IsWithoutBypass()) {
        parts.push_back({"C3", r.m_R4 > 0 ? "emitter2" : "emitter", "0", r.m_C3});
    }
    return circuit;
}

AmplifierCircuit DescribeCommonBase(const CommonBaseDesign& design)
{
    const CommonBaseResults& r = design.Results();
    AmplifierCircuit circuit = CircuitBase(design);
    auto& parts = circuit.m_Parts;
    parts.push_back({"R1", "emitter", "0", r.m_R1});
    parts.push_back({"R2", "vcc", "collector", r.m_R2});
    parts.push_back({"R3", "vcc", "base", r.m_R3});
    parts.push_back({"R4", "base", "0", r.m_R4});
    parts.push_back({"C1", "in", "emitter", r.m_C1});
    parts.push_back({"C2", "collector", "out", r.m_C2});
    parts.push_back({"C3", "base", "0", r.m_C3});
    return circuit;
}

AmplifierCircuit DescribeCommonCollector(const CommonCollectorDesign& design)
{
    const CommonCollectorResults& r = design.Results();
    AmplifierCircuit circuit = CircuitBase(design);
    circuit.m_Collector = "vcc";
    auto& parts = circuit.m_Parts;
    parts.push_back({"R1", "vcc", "base", r.m_R1});
    parts.push_back({"R2", "base", "0", r.m_R2});
    parts.push_back({"R3", "emitter", "0", r.m_R3});
    parts.push_back({"C1", "in", "base", r.m_C1});
    parts.push_back({"C2", "emitter", "out", r.m_C2});
    return circuit;
}

// Whether a parameter of the record stays off the model card, where SPICE
// takes its default instead.
bool IsLeftOut(std::string_view name, double value)
{
    // The infinite default (1.7e308 in the table).
    if (value >= InfiniteParameter || !std::isfinite(value)) {
        return true;
    }
    // A built-in potential of 0 V is no possible value. The table holds 0
    // where the original card gave none (the germanium types); written out
    // it would make SPICE divide by zero in the depletion charge (0 * NaN
    // even when the capacitance is 0) and the AC results no numbers. Left
    // out, SPICE takes its 0.75 V; the DC model never reads them.
    if ((name == "VJC" || name == "VJE" || name == "VJS") && !(value > 0)) {
        return true;
    }
    // 0 in IKF, IKR (no high-injection roll-off), IRB (no current-dependent
    // base resistance), VAF, VAR (no Early effect) means "absent" to SPICE,
    // as the defaults do. The DC model reads IKF and IKR below 1e-20 and
    // IRB at or below 0 the same way; leaving them out says so plainly to
    // every reader, whatever it makes of an explicit 0.
    if ((name == "IKF" || name == "IKR") && value < 1e-20) {
        return true;
    }
    if ((name == "IRB" || name == "VAF" || name == "VAR") && !(value > 0)) {
        return true;
    }
    return false;
}

bool IsUsableValue(double value)
{
    return std::isfinite(value) && value > 0;
}

} // namespace

std::string SpiceNumber(double value)
{
    // std::to_chars rather than printf: the same text as "%.15g" and
    // "%.14e", but never a decimal comma, whatever locale the program runs in.
    char text[40];
    const bool large = std::fabs(value) >= 1e7 && std::isfinite(value);
    // "%.15g" writes up to 15 integer digits before it turns to an
    // exponent; "1e+12" reads better than "1000000000000".
    const auto written =
        large ? std::to_chars(text, text + sizeof text, value, std::chars_format::scientific, 14)
              : std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    std::string number(text, written.ptr);
    if (large) {
        const std::size_t e = number.find('e');
        std::string mantissa = number.substr(0, e);
        mantissa.erase(mantissa.find_last_not_of('0') + 1);
        if (mantissa.back() == '.') {
            mantissa.pop_back();
        }
        return mantissa + number.substr(e);
    }
    return number;
}

const char* DrivenNode(double sourceResistance)
{
    return sourceResistance > 0 && std::isfinite(sourceResistance) ? "source" : "in";
}

AmplifierCircuit DescribeCircuit(const AmplifierDesign& design)
{
    if (const auto* ce = dynamic_cast<const CommonEmitterDesign*>(&design)) {
        return DescribeCommonEmitter(*ce);
    }
    if (const auto* cb = dynamic_cast<const CommonBaseDesign*>(&design)) {
        return DescribeCommonBase(*cb);
    }
    if (const auto* cc = dynamic_cast<const CommonCollectorDesign*>(&design)) {
        return DescribeCommonCollector(*cc);
    }
    return {};
}

const CircuitPart* FindPart(const AmplifierCircuit& circuit, std::string_view name)
{
    const auto part = std::ranges::find(circuit.m_Parts, name, &CircuitPart::m_Name);
    return part == circuit.m_Parts.end() ? nullptr : &*part;
}

double PartValue(const AmplifierCircuit& circuit, std::string_view name)
{
    const CircuitPart* part = FindPart(circuit, name);
    return part == nullptr ? std::numeric_limits<double>::quiet_NaN() : part->m_Value;
}

Status CheckCircuit(const AmplifierCircuit& circuit)
{
    if (circuit.m_Parts.empty()) {
        return Failure{"no circuit"};
    }
    if (!IsUsableValue(circuit.m_SupplyVoltage)) {
        return Failure{"the supply voltage is not a positive finite value"};
    }
    if (!IsUsableValue(circuit.m_LowerCutoff)) {
        return Failure{"f_min is not a positive finite value"};
    }
    for (const CircuitPart& part : circuit.m_Parts) {
        if (!IsUsableValue(part.m_Value)) {
            return Failure{part.m_Name + " is not a positive finite value (" + SpiceNumber(part.m_Value) +
                           ")"};
        }
    }
    return {};
}

std::string WriteModelCard(const TransistorRecord& record)
{
    // Six parameters to a line keeps the card readable in an editor.
    constexpr int PerLine = 6;
    std::string notes;
    std::string card =
        std::string(".model ") + record.name + " " + PolarityText(record.polarity == 'P') + "(";
    int written = 0;
    for (int k = 0; k < TransistorParameterCount; ++k) {
        const std::string_view name = TransistorParameterNames[k];
        double value = TransistorParameter(record, k);
        if (IsLeftOut(name, value)) {
            continue;
        }
        // SPICE2's rule, which ngspice keeps: a leakage saturation current
        // ISE or ISC above LegacyLeakageLimit is taken as a multiple of IS.
        // The table (and the DC model) mean the current itself, so the card
        // gives the multiple that turns back into it.
        if ((name == "ISE" || name == "ISC") && WrittenAsMultipleOfIs(value, record.IS)) {
            notes += "* " + std::string(name) + " = " + SpiceNumber(value) +
                     " A is written as a multiple of IS (" + SpiceNumber(value / record.IS) +
                     "): SPICE2 and ngspice read a value above " + SpiceNumber(LegacyLeakageLimit) +
                     " so; a reader without that rule needs " + std::string(name) + "=" + SpiceNumber(value) +
                     "\n";
            value /= record.IS;
        }
        if (written > 0) {
            card += written % PerLine == 0 ? "\n+ " : " ";
        }
        card += name;
        card += '=';
        card += SpiceNumber(value);
        ++written;
    }
    card += ")\n";
    return notes + card;
}

namespace {

// The known ratings of a card's type as ngspice's safe-operating-area
// parameters, each after a blank; empty when none is known.
std::string SafeAreaLimits(const TransistorRecord& record)
{
    const int index = FindTransistor(record.name);
    if (index < 0) {
        return {};
    }
    const TransistorRatings ratings = GetTransistorRatings(index);
    std::string limits;
    for (const auto& [name, value] :
         {std::pair{"vce_max", ratings.m_Vceo}, std::pair{"ic_max", ratings.m_IcMax},
          std::pair{"pd_max", ratings.m_Ptot}}) {
        if (std::isfinite(value)) {
            limits += std::string(limits.empty() ? "\n+ " : " ") + name + "=" + SpiceNumber(value);
        }
    }
    return limits;
}

} // namespace

std::string WriteNetlist(const AmplifierCircuit& circuit, const NetlistOptions& options)
{
    const double supply = circuit.m_IsPnp ? -circuit.m_SupplyVoltage : circuit.m_SupplyVoltage;
    // An infinite load is as good as none.
    const bool hasLoad =
        options.m_LoadResistance > 0 && std::isfinite(options.m_LoadResistance) && !options.m_DriveOutput;
    const double load = hasLoad ? options.m_LoadResistance : OpenLoadResistance;

    std::string text = "* " + circuit.m_Title + "\n";
    for (const std::string& note : circuit.m_Notes) {
        text += "* " + note + "\n";
    }
    if (options.m_DriveOutput) {
        text += "* Output impedance: input shorted, 1 A AC into out, so V(out) is Z_out\n";
    }
    text += "VCC vcc 0 DC " + SpiceNumber(supply) + "\n";
    const std::string driven = DrivenNode(options.m_SourceResistance);
    text += "VIN " + driven + " 0 DC 0 AC " + (options.m_DriveOutput ? "0" : "1");
    if (options.m_SineAmplitude > 0) {
        text += " SIN(0 " + SpiceNumber(options.m_SineAmplitude) + " " +
                SpiceNumber(options.m_SineFrequency) + ")";
    }
    text += "\n";
    if (driven != "in") {
        text += "RSOURCE " + driven + " in " + SpiceNumber(options.m_SourceResistance) + "\n";
    }
    for (const CircuitPart& part : circuit.m_Parts) {
        text +=
            part.m_Name + " " + part.m_NodeA + " " + part.m_NodeB + " " + SpiceNumber(part.m_Value) + "\n";
    }
    if (circuit.m_Transistor.name != nullptr) {
        text +=
            std::string("* T1: ") + circuit.m_Transistor.name + " (" + PolarityText(circuit.m_IsPnp) + ")\n";
        text += "Q1 " + circuit.m_Collector + " " + circuit.m_Base + " " + circuit.m_Emitter + " " +
                circuit.m_Transistor.name + "\n";
    }
    if (!hasLoad) {
        text += "* No load: RLOAD only keeps out on a DC path\n";
    }
    text += "RLOAD out 0 " + SpiceNumber(load) + "\n";
    if (options.m_DriveOutput || options.m_OutputSourceOff) {
        text += std::string("IOUT 0 out DC 0 AC ") + (options.m_DriveOutput ? "1" : "0") + "\n";
    }
    if (circuit.m_Transistor.name != nullptr) {
        std::string card = WriteModelCard(circuit.m_Transistor);
        if (options.m_SafeAreaCheck) {
            card.insert(card.size() - 2, SafeAreaLimits(circuit.m_Transistor));
        }
        text += card;
    }
    if (options.m_SafeAreaCheck) {
        text += ".options warn=1\n";
    }
    text += ".options temp=25 tnom=25 gmin=1e-12 reltol=1e-06 abstol=1e-12 vntol=1e-06\n";
    // The same temperature once more the SPICE2 way: every reader knows
    // .temp, not every one takes temp from .options.
    text += ".temp 25\n";
    text += ".op\n";
    const int points = options.m_PointsPerDecade > 0 ? options.m_PointsPerDecade : DefaultPointsPerDecade;
    text += ".ac dec " + std::to_string(points) + " " +
            SpiceNumber(circuit.m_LowerCutoff / SweepStartDivisor) + " " +
            SpiceNumber(circuit.m_LowerCutoff * SweepEndFactor) + "\n";
    text += ".end\n";
    return text;
}

std::string WriteNetlist(const AmplifierDesign& design, const NetlistOptions& options)
{
    return WriteNetlist(DescribeCircuit(design), options);
}

} // namespace norvane
