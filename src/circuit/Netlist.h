#pragma once

// SPICE netlist of a designed amplifier, readable unchanged by ngspice and
// LTspice.
//
// Conventions of every netlist written here:
// - The first line is a title comment naming the circuit, the transistor
//   and the supply.
// - Components carry the names of the schematic (R1 ..., C1 ...); the
//   transistor T1 is the element Q1, its model card follows under the
//   type name of the table.
// - Node names say what they are: 0 (ground), vcc (the supply rail; it sits
//   at -UB for a PNP transistor), in, out, base, collector, emitter, and
//   emitter2 for the node between R4 and R5 of the common-emitter circuit.
// - VCC is the supply; VIN is an ideal signal source (DC 0, AC 1) at in.
//   With an ideal source the measured gain is the stage's own gain, which
//   is what the design aims at, and the input impedance is V(in)/I(VIN).
//   A source resistance, when one is given, sits between VIN, which then
//   drives the node source, and in: RSOURCE.
// - RLOAD from out to ground: the given load, or OpenLoadResistance when
//   there is none. Without a resistor there, out would hang on C2 alone,
//   with no DC path, and the simulator's matrix would be singular.
// - .options temp=25 tnom=25: the designs evaluate the transistor at 25 degC
//   (a SPICE reader would use 27 degC by default). reltol=1e-6 instead of the
//   usual 1e-3: at 1e-3 the device currents a simulator reports may be off
//   by tenths of a percent (0.5 % seen with a card of large base
//   resistance), at 1e-6 they agree with the operating point to a
//   millionth, for no noticeable time on a circuit this small. gmin,
//   abstol and vntol are written out at their usual values, so that no
//   reader's own defaults or start-up files change them. ".temp 25" says
//   the temperature once more for readers that take it only from there.
// - .op, then .ac dec N from f_min/1000 to f_min*1e5.
// - Numbers are written with up to 15 significant digits in plain decimal
//   or exponent notation ("2.39e-14", "620000"), never with a scale suffix:
//   SPICE reads "M" as milli.

#include "common/Outcome.h"
#include "design/AmplifierDesign.h"
#include "transistors/TransistorTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// The resistor that stands for an open output: at 1e12 ohm it draws no
// measurable current, and with any coupling capacitor of the designs its
// corner lies far below the sweep.
inline constexpr double OpenLoadResistance = 1e12;

// Points per decade of the AC sweep: with 50 the -3 dB points found by
// interpolation between neighbours are good to a small fraction of a
// percent.
inline constexpr int DefaultPointsPerDecade = 50;

// The sweep runs from f_min / SweepStartDivisor to f_min * SweepEndFactor.
inline constexpr double SweepStartDivisor = 1e3;
inline constexpr double SweepEndFactor = 1e5;

struct NetlistOptions {
    // Load from out to ground in ohms; 0 (or anything not above 0) means no
    // load, written as OpenLoadResistance.
    double m_LoadResistance = 0.0;
    // Resistance of the signal source in ohms, in series with VIN; 0 (or
    // anything not above 0) means an ideal source, driving in itself.
    double m_SourceResistance = 0.0;
    int m_PointsPerDecade = DefaultPointsPerDecade;
    // The variant for measuring the output impedance: VIN stays in place
    // with AC 0 (an ideal source shorts the input), RLOAD is the open-output
    // resistor whatever load was asked for, and IOUT drives 1 A AC into out,
    // so that V(out) is the output impedance.
    bool m_DriveOutput = false;
    // For a session that measures both ways in one circuit: IOUT in place
    // at AC 0, to be switched on (and VIN off) by the session.
    bool m_OutputSourceOff = false;
    // A transient input as well: VIN also drives SIN(0 m_SineAmplitude
    // m_SineFrequency); none while the amplitude is 0.
    double m_SineAmplitude = 0.0; // V peak
    double m_SineFrequency = 0.0; // Hz
    // ngspice's safe-operating-area check: the card carries the type's known
    // ratings as vce_max, ic_max and pd_max, and ".options warn=1" has
    // ngspice report every excursion past them ("... has exceeded
    // Pd_max=0.5 W"). Other simulators ignore or refuse those parameters,
    // so the netlists written for the user leave them out.
    bool m_SafeAreaCheck = false;
};

// A two-terminal part: resistor (R...) or capacitor (C...).
struct CircuitPart {
    std::string m_Name;
    std::string m_NodeA;
    std::string m_NodeB;
    double m_Value = 0.0; // ohm or farad
};

// The node VIN drives: "source" behind a source resistance, else "in".
const char* DrivenNode(double sourceResistance);

// A designed amplifier in simulator terms.
struct AmplifierCircuit {
    std::string m_Title;              // without the leading "* "
    std::vector<std::string> m_Notes; // comment lines after the title
    bool m_IsPnp = false;
    double m_SupplyVoltage = 0.0; // magnitude, V
    double m_LowerCutoff = 0.0;   // Hz, sets the sweep
    // No name: a passive network without Q1 (a check of the simulation).
    TransistorRecord m_Transistor{};
    std::string m_Collector = "collector";
    std::string m_Base = "base";
    std::string m_Emitter = "emitter";
    std::vector<CircuitPart> m_Parts; // in the order of the schematic
};

// The circuit of a computed design: its parts with the values as the
// design stores them. A common-emitter design without R5 has R4 from the
// emitter to ground; one with R4 = 0 (the gain asked for more than the
// transistor gives) has R5 and C3 straight at the emitter. A design that
// cannot be built is described all the same, with a note that says why.
AmplifierCircuit DescribeCircuit(const AmplifierDesign& design);

// The part of the circuit by name ("C3"); nullptr when it has none.
const CircuitPart* FindPart(const AmplifierCircuit& circuit, std::string_view name);
// Its value in ohm or farad; NaN when the circuit has no such part.
double PartValue(const AmplifierCircuit& circuit, std::string_view name);

// Whether every value of the circuit can be simulated (finite and above
// zero); the failure says what is wrong, e.g. "R2 is not a positive finite
// value (inf)".
[[nodiscard]] Status CheckCircuit(const AmplifierCircuit& circuit);

// The netlist text, lines ended by a line feed, last line ".end".
std::string WriteNetlist(const AmplifierCircuit& circuit, const NetlistOptions& options = {});
std::string WriteNetlist(const AmplifierDesign& design, const NetlistOptions& options = {});

// ".model <name> NPN(...)" or PNP, over continuation lines, with every
// parameter of the record except those that SPICE's default expresses
// better: InfiniteParameter (and anything that is no finite number), 0 in
// IKF, IKR, IRB, VAF, VAR (SPICE reads 0 there as absent, as the DC model
// does) and 0 in VJC, VJE, VJS (no possible value; SPICE's 0.75 V).
// An ISE or ISC above LegacyLeakageLimit is written as its multiple of IS,
// with a comment line before the card that says so (see below).
std::string WriteModelCard(const TransistorRecord& record);

// SPICE2, and ngspice after it, read a leakage saturation current ISE or
// ISC above this as a multiple of IS rather than as a current.
inline constexpr double LegacyLeakageLimit = 1e-4;

// Whether WriteModelCard writes the leakage current ISE or ISC (A) of a
// card with saturation current is (A) as its multiple of IS.
inline bool WrittenAsMultipleOfIs(double leakage, double is)
{
    return leakage > LegacyLeakageLimit && is > 0 && leakage / is > LegacyLeakageLimit;
}

// A number as SPICE text: "%.15g", so "1e-06", "0.1357", "620000".
std::string SpiceNumber(double value);

} // namespace norvane
