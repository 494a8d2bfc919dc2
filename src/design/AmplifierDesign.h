#pragma once

// What the three amplifier designs share: the circuit kinds, the schematic
// ids, the operation point and the check that says whether a computed
// design can be built.

#include "design/DesignResults.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace norvane {

class TransistorModel;

enum class CircuitKind { None = 0, CommonBase = 1, CommonEmitter = 2, CommonCollector = 3 };

// Schematic ids: one picture per circuit variant.
namespace SchematicIds {
inline constexpr std::uint16_t CommonBaseNpn = 136;
inline constexpr std::uint16_t CommonBasePnp = 137;
inline constexpr std::uint16_t CommonEmitterNpn = 138;
inline constexpr std::uint16_t CommonEmitterPnp = 139;
inline constexpr std::uint16_t CommonCollectorNpn = 140;
inline constexpr std::uint16_t CommonCollectorPnp = 141;
inline constexpr std::uint16_t CommonEmitterNpnWithoutBypass = 142;
inline constexpr std::uint16_t CommonEmitterPnpWithoutBypass = 143;
inline constexpr std::uint16_t First = 136;
inline constexpr std::uint16_t Last = 143;
} // namespace SchematicIds

// "Common-Base circuit", "Common-Emitter circuit", "Common-Collector circuit";
// empty for None.
const char* CircuitTitle(CircuitKind kind);

// The circuit kind that a schematic id shows; None for any other id.
CircuitKind CircuitKindOfSchematic(std::uint16_t schematicId);

// A named raw value of a design (component values, operation point).
using NamedValue = std::pair<std::string, double>;

class AmplifierDesign {
public:
    virtual ~AmplifierDesign() = default;

    virtual CircuitKind Kind() const = 0;
    const char* Title() const { return CircuitTitle(Kind()); }
    virtual std::uint16_t SchematicId() const = 0;
    virtual bool IsPnp() const = 0;

    // Computes the design from the present inputs.
    virtual void Compute() = 0;

    virtual ResultList GetInputData() const = 0;
    virtual ResultList GetComponentValues() const = 0;
    // "Ic", "Uce", "P"; a design that cannot be built adds a line that says
    // so and why.
    ResultList GetOperationPoint() const;

    // The computed component values by name ("R1" ..., "C1" ...), unrounded
    // doubles as stored.
    virtual std::vector<NamedValue> ComponentNumbers() const = 0;

    // False when the last computation met an operating point that the
    // transistor model cannot solve, or produced values that are no numbers.
    bool IsUsable() const { return m_Problem.empty(); }
    // Why the design is not usable; empty when it is.
    const std::string& Problem() const { return m_Problem; }

    double m_Ic = 0.0;   // collector current of the designed operation point, A
    double m_Uce = 0.0;  // collector-emitter voltage, V
    double m_P = 0.0;    // power dissipated in the transistor, W

protected:
    // Records why the model gave no usable base current at (ic, uce); keeps
    // an earlier problem of the same computation.
    void CheckModel(const TransistorModel& model, double baseCurrent, double ic, double uce);
    // The "Standard series" line of the input data.
    static ResultItem SeriesItem(int seriesIndex);
    // "UB", "T1", then ComponentNumbers(): resistors as plain numbers,
    // capacitors in farads.
    ResultList ComponentSection(double supplyVoltage, int transistorIndex) const;
    // Records a problem when any component or operation-point value is not
    // a finite number.
    void CheckValuesAreNumbers();

    std::string m_Problem;
};

// The name of the line that marks a design that cannot be built.
inline constexpr const char* DesignProblemItemName = "Design";

} // namespace norvane
