#pragma once

// Whether a design does what was asked of it, proven by simulation on the
// same Gummel-Poon card the design used: the verdict, the table beside it,
// and the proposal of part values that studies/Verify.h searches.
//
// A requirement is missed when, without a load (or with the load and
// source resistance of the options):
// - the common-emitter gain is more than 1 dB from the target;
// - Z_out is more than 20 % from the requirement (common-emitter,
//   common-base);
// - Z_in is more than 20 % above the requirement, which is an upper limit
//   (common-emitter, common-collector);
// - the simulated lower -3 dB frequency is above f_min;
// - the simulated Ic is more than 10 % from the designed Ic;
// - T1 exceeds one of its absolute maximum ratings (TransistorRatings.h):
//   the supply above VCEO (with the stage cut off, or at power-up, the
//   whole supply stands across it), the simulated Ic above IC max, the
//   simulated dissipation Uce x Ic + Ube x Ib above Ptot at 25 degC. A
//   rating no source states cannot be checked: the verdict then carries a
//   note to check the data sheet, and does not count it as met or missed.
// The mid-band figures (gain, Z_in, Z_out) are read inside the pass band,
// no higher than 100 x f_min (or the upper corner, when that is lower).
// The verdict never changes a designed value.
//
// The likely cause of a miss is told from the design's values and the
// transistor's card, where they show one: the capacitor whose own corner
// lies highest for a lower corner above f_min; C1 against the Miller
// capacitance of a common-emitter stage that loses gain; C3 against the
// collector-base capacitance for the common-base Z_out (the collector
// drives the base through it, and the stage's output resistance falls to
// about C3 / (gm x C_cb), whatever the frequency).

#include "analysis/Measurement.h"
#include "circuit/DesignTargets.h"
#include "circuit/Netlist.h"
#include "design/AmplifierDesign.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

struct VerificationOptions {
    double m_LoadResistance = 0.0;   // ohm at the output; 0: none
    double m_SourceResistance = 0.0; // ohm in series with the input source; 0: none
    // Part values that replace the design's (what-if edits, a tuning
    // proposal), by the part's name ("R1", "C3"), in ohm or farad.
    std::vector<NamedValue> m_PartValues;

    bool operator==(const VerificationOptions&) const = default;
};

// One requirement the simulation does not meet.
struct VerdictMiss {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    // "gain", "Z_in", "Z_out", "f_-3dB", "Ic", or the rating exceeded:
    // "VCEO", "IC max", "Ptot".
    std::string m_Quantity;
    // SI units; dB for the gain; the rating for a rating.
    double m_Required = NaN;
    // What the simulation shows; for VCEO the supply.
    double m_Simulated = NaN;
    // The likely cause where the design's values show it ("C3 of 22 pF
    // does not ground the base at 100 kHz"); empty when none is known.
    std::string m_Why;
    // For Ic: m_Required is the Ic the user asked for, not the designed one.
    bool m_Requested = false;
};

// The share of builds that meet the requirements: the tolerance analysis'
// seeded runs (DefaultToleranceRuns, DefaultToleranceSeed) of the design
// judged by the verdict's rules.
struct BuildYield {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    double m_Fraction = NaN; // 0..1
    int m_Runs = 0;
    int m_Meeting = 0;
    std::uint64_t m_Seed = 0;
    double m_ResistorTolerance = NaN; // of the design's series, 0.05 for 5 %
    // The quantity missed in the most runs ("Ic"); empty when every run meets.
    std::string m_MostMissed;
    // Why there is no yield ("not simulated: ..."); empty when there is.
    std::string m_Problem;

    // "49 % of builds with 5 % resistors meet (Ic)"; a share short of all
    // is never rounded up to 100 %. "yield unknown: <why>" without one.
    std::string Text() const;
};

struct Verdict {
    // False when there is no simulation to judge by; m_Problem then says
    // why ("not simulated: ...", "simulation unavailable: ...").
    bool m_Simulated = false;
    std::string m_Problem;
    bool m_Meets = false;
    std::vector<VerdictMiss> m_Misses;
    // What the verdict could not judge and the user has to: "ratings of
    // 2N1234 unknown: check the data sheet".
    std::vector<std::string> m_Notes;
    // What was simulated beside the design: "no load", "load 4.7 kohm,
    // source 600 ohm", with the part values that differ from the design's.
    std::string m_Conditions = "no load";
    // The yield of the design judged, where it was computed (after the
    // verdict: it takes the tolerance analysis' runs).
    std::optional<BuildYield> m_Yield;

    // The line below the title: what was simulated and whether the design
    // meets its requirements, naming each miss and its likely cause:
    // "Simulation (ngspice, no load): meets the requirements",
    // "Simulation (ngspice, no load): misses Z_out 1.485 kohm for 2 kohm (C3 of
    // 1 nF does not ground the base at 100 kHz: ...)", "Not simulated: ...".
    // The yield follows, where computed ("...: meets the requirements; 49 %
    // of builds with 5 % resistors meet (Ic)"), then the notes, each after
    // a semicolon.
    std::string Line() const;
    // Whether quantity ("Z_out") is among the misses.
    bool Misses(std::string_view quantity) const;
};

// One row of the verification table, as shown: Ic, Uce, gain, Z_in, Z_out,
// lower and upper -3 dB frequency. A quantity the circuit has no
// requirement for shows an empty requirement and verdict.
struct VerificationRow {
    std::string m_Quantity;
    std::string m_Required;
    std::string m_Designed;
    std::string m_Simulated;
    std::string m_Verdict; // "meets", "misses" or empty
};

struct Verification {
    SimulationResult m_Simulation;
    Verdict m_Verdict;
    std::vector<VerificationRow> m_Rows;
    DesignTargets m_Targets; // what the design aimed at
};

// The judging half of Verify (studies/Verify.h), for a simulation of VerifiedCircuit(design,
// options.m_PartValues) run with the options' load and source.
[[nodiscard]] Verification JudgeSimulation(const AmplifierDesign& design, const VerificationOptions& options,
                                           SimulationResult simulation);

struct PartChange {
    std::string m_Part; // "C3"
    double m_Designed = 0.0;
    double m_Proposed = 0.0;
};

// The share of builds a proposal aims at.
inline constexpr double YieldTarget = 0.95;
// How far the simulated Ic may lie from the designed (or requested) Ic.
inline constexpr double CurrentTolerance = 0.10;

// A stiffer base divider, for a design whose builds miss Ic because the
// base current, which follows the transistor's gain, drops too much of the
// divider's voltage (studies/Yield.h finds it).
struct BiasProposal {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    std::vector<PartChange> m_Changes;   // the divider's two resistors
    BuildYield m_Before;                 // of the design the proposal is for
    BuildYield m_After;                  // with the changes: ngspice's runs
    double m_InputImpedanceBefore = NaN; // ohm, simulated
    double m_InputImpedanceAfter = NaN;
    bool m_ReachesTarget = false; // m_After at YieldTarget or above
    int m_Series = 0;             // 24 for E24: where the values come from

    // "R1 620 kohm -> 150 kohm, R2 200 kohm -> 47 kohm: 97 % of builds
    // meet, Z_in 42 kohm -> 19 kohm"; when no divider of the series reaches
    // the target: "no divider of E24 reaches 95 % of builds; the best: ...".
    std::string Line() const;
};

struct TuningProposal {
    std::vector<PartChange> m_Changes; // capacitors
    // The divider, where the yield is short of the target through Ic.
    std::optional<BiasProposal> m_Bias;
    Verification m_Verification; // of the design with the changes
    // The quantities of the misses the changes mend ("Z_out", "f_-3dB").
    std::vector<std::string> m_Mended;

    // The changes (capacitors, then the divider) as part values for
    // VerificationOptions::m_PartValues and AmplifierDesign::ApplyPartValues.
    std::vector<NamedValue> PartValues() const;

    // "C3 22 pF -> 100 nF: Z_out 1.86 kohm, f_-3dB 0.92 x f_min", the
    // divider's line after a semicolon.
    std::string Line() const;
};

// Where a quantity of the verdict ("Ic", "gain", "Z_in", "Z_out",
// "f_-3dB") must lie for the design to meet its requirement, in the
// quantity's SI unit (dB for the gain): the rules above, around what the
// design aimed at. A side without a limit is NaN; both are for a quantity
// the circuit has no requirement for.
struct RequirementBand {
    double m_Low = std::numeric_limits<double>::quiet_NaN();
    double m_High = std::numeric_limits<double>::quiet_NaN();
};
RequirementBand RequirementBandOf(const DesignTargets& aim, std::string_view quantity);

// What is simulated beside the design, as the verdict line names it: "no
// load", "load 4.7 kohm, source 600 ohm, C3 = 2.2 nF, R1 = 150 kohm".
std::string SimulationConditions(const AmplifierDesign& design, const VerificationOptions& options);

// The circuit Verify simulates: the design's, with the options' part
// values in place (a name the circuit has no part of is left out).
AmplifierCircuit VerifiedCircuit(const AmplifierDesign& design, const std::vector<NamedValue>& partValues);

// The SPICE netlist of that circuit as a verification under options
// simulates it, for the user: a comment line below the title for each part
// value that replaces the design's ("C3 2.2 nF instead of the designed
// 1 nF"), the options' load and source resistance (RSOURCE), the rest of
// netlist (the sweep) as given. The window's export and the command line's
// --netlist both write this.
std::string VerifiedNetlist(const AmplifierDesign& design, const VerificationOptions& options,
                            NetlistOptions netlist = {});

// The verification table of a simulation of the design's circuit (parts
// edited or not); Verify fills it so.
std::vector<VerificationRow> VerificationRows(const AmplifierDesign& design,
                                              const Verification& verification);

} // namespace norvane
