#pragma once

// What the three amplifier designs share: the circuit kinds, the schematic
// ids, the operation point and the check that says whether a computed
// design can be built.

#include "design/CircuitKind.h"
#include "design/DesignInputs.h"
#include "design/DesignResults.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace norvane {

class TransistorModel;

// A named raw value of a design (component values, operation point).
using NamedValue = std::pair<std::string, double>;

// A line of the component section: a capacitor (a name beginning with
// 'C') in farads, a resistor as a plain number.
ResultItem PartItem(const std::string& name, double value);
// A part's value in a sentence (a note, a proposal): a resistor's with its
// unit ("620 kohm"), a capacitor's as its line shows it ("2.2 nF").
std::string PartValueText(const std::string& name, double value);

class AmplifierDesign;

// Every note of a design as the window, the report and the CLI show them:
// the problem note of a design that is not usable, else its doubts.
std::vector<std::string> DesignNotes(const AmplifierDesign& design);

class AmplifierDesign {
public:
    virtual ~AmplifierDesign() = default;

    CircuitKind Kind() const { return m_Inputs.Kind(); }
    const char* Title() const { return CircuitTitle(Kind()); }
    virtual std::uint16_t SchematicId() const = 0;
    virtual bool IsPnp() const = 0;

    // Computes the design from inputs, which must be of this circuit, and
    // keeps them: every section below shows the inputs of this calculation.
    void Compute(const DesignInputs& inputs);

    // The inputs of the last calculation (the circuit's defaults before the
    // first one).
    const DesignInputs& Inputs() const { return m_Inputs; }

    // The requirements in the circuit's result order, then the series.
    ResultList GetInputData() const;
    // "UB", "T1", then ComponentNumbers(): resistors as plain numbers,
    // capacitors in farads.
    ResultList GetComponentValues() const;
    // "Ic", "Uce", "P".
    ResultList GetOperationPoint() const;

    // The computed component values by name ("R1" ..., "C1" ...), as
    // stored, in the order of the component section.
    virtual std::vector<NamedValue> ComponentNumbers() const = 0;

    // Operation point of the design: collector current in A,
    // collector-emitter voltage in V, power dissipated in the transistor
    // in W.
    double Ic() const { return m_Ic; }
    double Uce() const { return m_Uce; }
    double P() const { return m_P; }

    // False when the last computation met an operating point that the
    // transistor model cannot solve, or produced values that are no numbers.
    bool IsUsable() const { return m_Problem.empty(); }
    // Why the design is not usable; empty when it is.
    const std::string& Problem() const { return m_Problem; }
    // "This design is not usable: <why>", shown beside the result; empty
    // for a usable design.
    std::string ProblemNote() const;
    // What is doubtful about a usable design, one sentence each: a
    // requirement it cannot meet, a part that cannot be bought. The values
    // themselves stay as computed. Empty for a sound design and for one
    // that is not usable.
    const std::vector<std::string>& Notes() const { return m_Notes; }

    // Replaces the values of computed parts (a tuning proposal the user
    // applied). Each change adds a note naming the part, its new value and
    // its designed value; the next Compute() drops them. A name the design
    // has no part of is ignored.
    void ApplyPartValues(const std::vector<NamedValue>& values);
    // Every value applied since the last Compute(), in the order applied
    // (a part applied twice is listed twice): applying them again to the
    // design computed from the same inputs gives this design, notes and
    // all.
    const std::vector<NamedValue>& AppliedPartValues() const { return m_Applied; }
    // The notes of those changes: what the user chose, not a doubt.
    const std::vector<std::string>& ChangeNotes() const { return m_ChangeNotes; }

protected:
    explicit AmplifierDesign(CircuitKind kind) : m_Inputs(kind) {}

    // Where the design keeps a computed part; nullptr for a name it has no
    // part of.
    virtual double* PartSlot(std::string_view part) = 0;

    // Each design lists its parts once, in the order of the component
    // section, as names and the members of its results that hold them.
    template <typename Results>
    using PartTable = std::span<const std::pair<const char*, double Results::*>>;
    template <typename Results>
    static std::vector<NamedValue> ListParts(PartTable<Results> table, const Results& results)
    {
        std::vector<NamedValue> parts;
        for (const auto& [name, member] : table) {
            parts.emplace_back(name, results.*member);
        }
        return parts;
    }
    template <typename Results>
    static double* FindPart(PartTable<Results> table, Results& results, std::string_view part)
    {
        for (const auto& [name, member] : table) {
            if (part == name) {
                return &(results.*member);
            }
        }
        return nullptr;
    }

    // The calculation proper, from Inputs(); it sets the results and the
    // operation point, and solves the model through SolveBias.
    virtual void DoCompute() = 0;
    // Notes of the circuit's own beyond the parts check (the common
    // emitter's gain); called for usable designs only.
    virtual void AddCircuitNotes(std::vector<std::string>& notes) const { (void)notes; }
    // Parts the circuit may leave at exactly 0 (a resistor that is a plain
    // wire by design).
    virtual bool MayBeZero(const std::string& part) const
    {
        (void)part;
        return false;
    }

    // What the model of the design's transistor gives at an operating
    // point.
    struct BiasPoint {
        double m_BaseCurrent;    // A
        double m_EmitterCurrent; // Ic + Ib, A
        double m_Re;             // the emitter's small-signal resistance U_T / I_E, ohms
        double m_BaseEmitter;    // U_BE, V
        double m_CurrentGain;    // Ic / Ib
    };
    // Solves the model of Inputs()' transistor at a collector current in A
    // and a collector-emitter voltage in V, and records what it said of
    // that point for the problem note (the first fault of a calculation).
    BiasPoint SolveBias(double ic, double uce);

    // Sets the operation point the result shows; the power dissipated in
    // the transistor is Uce * Ic plus U_BE * I_B, the base current's share.
    void SetOperationPoint(double ic, double uce, const BiasPoint& bias);

private:
    enum class ModelFault { None, UceTooLow, IcTooLow, NotConverged, NoNumber, Leakage };

    void CheckModel(const TransistorModel& model, double baseCurrent);

    void WriteProblem();
    void WriteNotes();

    DesignInputs m_Inputs;
    double m_Ic = 0.0;
    double m_Uce = 0.0;
    double m_P = 0.0;
    ModelFault m_ModelFault = ModelFault::None;
    std::string m_ModelName;
    std::string m_Problem;
    std::vector<std::string> m_Notes;
    std::vector<NamedValue> m_Applied;
    std::vector<std::string> m_ChangeNotes;
};

// A new design object of the circuit (kind must not be None).
std::unique_ptr<AmplifierDesign> MakeDesign(CircuitKind kind);

} // namespace norvane
