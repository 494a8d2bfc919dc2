#pragma once

// The parts list (bill of materials) of a design: what to buy for each
// part of its circuit, built once here for the report's section, the
// CLI's CSV file and JSON and the window's export.
//
// One row per part: T1 first, then the resistors and capacitors in the
// order of the schematic (DescribeCircuit; a common-emitter R4 of 0 ohm is
// a wire and no part). Each row has the value as the design shows it, the
// tolerance it is bought with (a resistor its series', E12 10 %, E24 5 %,
// E48 2 %, E96 1 %; a capacitor 20 %, ResistorTolerance and
// CapacitorTolerance, the same the tolerance analysis draws within), what
// it must withstand at the operating point and the rating to buy
// (PartStress.h), and its kind:
//   - resistors: carbon film for E12 and E24, metal film for E48 and E96
//     (what those tolerances are sold as);
//   - capacitors: ceramic C0G or film below 1 uF, aluminium electrolytic
//     from 1 uF, with its positive terminal named ("+ at base");
//   - T1: its polarity and package, and which ratings the operating point
//     exceeds or no source states.

#include "circuit/PartStress.h"
#include "design/AmplifierDesign.h"
#include "present/RobustnessText.h"

#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace norvane {

enum class PartKind { Transistor, Resistor, Capacitor };

// "transistor", "resistor", "capacitor".
const char* PartKindName(PartKind kind);

struct PartsListRow {
    std::string m_Reference; // "R1", "C1", "T1"
    PartKind m_Kind = PartKind::Resistor;
    double m_Value = std::numeric_limits<double>::quiet_NaN();     // ohm or F; NaN for T1
    std::string m_ValueText;                                       // "620 k", "680 nF", "BC548B"
    double m_Tolerance = std::numeric_limits<double>::quiet_NaN(); // fraction; NaN for T1
    // What it withstands at the operating point: W dissipated by a
    // resistor or by T1, V DC across a capacitor; NaN when not known.
    double m_Stress = std::numeric_limits<double>::quiet_NaN();
    // What to buy: W for a resistor, V for a capacitor; NaN for T1 (see
    // PartsList::m_Transistor), and where no standard rating is enough or
    // the stress is not known.
    double m_Rating = std::numeric_limits<double>::quiet_NaN();
    // The node at a capacitor's positive terminal, as the netlist names it
    // ("base"); empty for the others and without DC across it.
    std::string m_PositiveNode;
    std::string m_ToleranceText; // "5 %"; empty for T1
    std::string m_StressText;    // "13.52 mW", "6.8 V", "Uce 5.812 V (up to 12 V), Ic 2.6 mA, P 15.12 mW"
    std::string m_RatingText;    // "0.125 W", "16 V", "VCEO 20 V, IC 100 mA, Ptot 300 mW"; "-"
    std::string m_Description;   // "carbon film resistor", "NPN transistor, TO-92"
    // "+ at base" for an electrolytic; what T1 exceeds; empty for none.
    std::string m_Note;
};

struct PartsList {
    std::vector<PartsListRow> m_Rows;
    // T1 against its ratings; none when the stresses are not known.
    std::optional<TransistorStress> m_Transistor;
    // Why the stresses are not known ("the design cannot be built: ...");
    // empty when they are.
    std::string m_Problem;
    // "T1 BC548B: Uce up to 12 V within VCEO 20 V; Ic 2.6 mA within IC max
    // 100 mA; P 15.12 mW within Ptot 300 mW at 25 degC", or why the
    // stresses are not known.
    std::string m_Line;
    // Whether T1 exceeds one of its ratings: the line is a warning.
    bool m_Exceeded = false;
};

// The parts list of a design; for one that cannot be built the parts with
// their values and tolerances, the stresses and ratings unknown and the
// line saying why.
PartsList PartsListOf(const AmplifierDesign& design);

// Part, value, tolerance, stress, rating, type, note; a row per part.
TextTable PartsListTable(const PartsList& list);

// The parts list as a CSV file (RFC 4180: comma-separated, a field with a
// comma, quote or line break quoted with its quotes doubled, lines ended
// by CR LF): the columns of KiCad's grouped bill of materials, Reference,
// Value, Qty, then Tolerance, Rating and Description (the type, and the
// note after a comma); one row per part, Qty 1.
std::string BomCsv(const PartsList& list);

} // namespace norvane
