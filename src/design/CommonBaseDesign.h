#pragma once

// Common-base amplifier: the signal enters at the emitter through C1 and
// leaves at the collector through C2; the base sits on the divider R3/R4
// and is tied to ground for the signal by C3. R1 is the emitter resistor,
// R2 the collector resistor.

#include "design/AmplifierDesign.h"

namespace norvane {

struct CommonBaseInputs {
    double m_LowerCutoff = 100000.0;    // Hz
    double m_SupplyVoltage = 12.0;      // V
    double m_OutputImpedance = 2000.0;  // ohm
    int m_TransistorIndex = -1;         // the default is BC548B
    int m_SeriesIndex = 1;              // 0 E12, 1 E24, 2 E48, 3 E96

    CommonBaseInputs();
};

struct CommonBaseResults {
    double m_R1 = 0.0, m_R2 = 0.0, m_R3 = 0.0, m_R4 = 0.0;
    double m_C1 = 0.0, m_C2 = 0.0, m_C3 = 0.0;
    bool m_IsPnp = false;
};

class CommonBaseDesign : public AmplifierDesign {
public:
    CircuitKind Kind() const override { return CircuitKind::CommonBase; }
    std::uint16_t SchematicId() const override;
    bool IsPnp() const override { return m_Results.m_IsPnp; }

    void Compute() override;

    ResultList GetInputData() const override;
    ResultList GetComponentValues() const override;
    std::vector<NamedValue> ComponentNumbers() const override;

    CommonBaseInputs m_Inputs;
    CommonBaseResults m_Results;
};

} // namespace norvane
