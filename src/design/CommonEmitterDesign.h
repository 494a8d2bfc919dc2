#pragma once

// Common-emitter amplifier: base divider R1/R2, collector resistor R3,
// emitter resistors R4 and R5 with R5 bypassed by C3, coupling capacitors
// C1 (input to base) and C2 (collector to output). Without R5 (when it
// comes out as 0) R4 goes straight to ground and C3 is absent.

#include "design/AmplifierDesign.h"

namespace norvane {

// The confirmed requirements, as the input dialog holds them.
struct CommonEmitterInputs {
    double m_GainDb = 0.0;              // dB
    double m_LowerCutoff = 10.0;        // Hz
    double m_SupplyVoltage = 12.0;      // V
    double m_InputImpedance = 50000.0;  // ohm
    double m_OutputImpedance = 2000.0;  // ohm
    int m_TransistorIndex = -1;         // -1 until set; the default is BC548B
    int m_SeriesIndex = 1;              // 0 E12, 1 E24, 2 E48, 3 E96

    CommonEmitterInputs();
};

struct CommonEmitterResults {
    double m_R1 = 0.0, m_R2 = 0.0, m_R3 = 0.0, m_R4 = 0.0, m_R5 = 0.0;
    double m_C1 = 0.0, m_C2 = 0.0, m_C3 = 0.0;
    bool m_IsPnp = false;
};

class CommonEmitterDesign : public AmplifierDesign {
public:
    CircuitKind Kind() const override { return CircuitKind::CommonEmitter; }
    std::uint16_t SchematicId() const override;
    bool IsPnp() const override { return m_Results.m_IsPnp; }
    bool IsWithoutBypass() const { return m_Results.m_R5 <= 0; }

    void Compute() override;

    ResultList GetInputData() const override;
    ResultList GetComponentValues() const override;
    std::vector<NamedValue> ComponentNumbers() const override;

    CommonEmitterInputs m_Inputs;
    CommonEmitterResults m_Results;
};

} // namespace norvane
