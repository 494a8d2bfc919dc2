#pragma once

// Common-collector amplifier (emitter follower): the signal enters at the
// base through C1 and leaves at the emitter through C2; the collector is
// tied to the supply, the base biased by the divider R1/R2, R3 is the
// emitter resistor. The requested input impedance is an upper limit.

#include "design/AmplifierDesign.h"

namespace norvane {

struct CommonCollectorInputs {
    int m_SeriesIndex = 1;               // 0 E12, 1 E24, 2 E48, 3 E96
    double m_SupplyVoltage = 12.0;       // V
    double m_LowerCutoff = 10.0;         // Hz
    double m_InputImpedance = 50000.0;   // ohm
    double m_CollectorCurrent = 0.002;   // A
    int m_TransistorIndex = -1;          // the default is BC548B

    CommonCollectorInputs();
};

struct CommonCollectorResults {
    double m_R1 = 0.0, m_R2 = 0.0, m_R3 = 0.0;
    double m_C1 = 0.0, m_C2 = 0.0;
    bool m_IsPnp = false;
};

class CommonCollectorDesign : public AmplifierDesign {
public:
    CircuitKind Kind() const override { return CircuitKind::CommonCollector; }
    std::uint16_t SchematicId() const override;
    bool IsPnp() const override { return m_Results.m_IsPnp; }

    void Compute() override;

    ResultList GetInputData() const override;
    ResultList GetComponentValues() const override;
    std::vector<NamedValue> ComponentNumbers() const override;

    CommonCollectorInputs m_Inputs;
    CommonCollectorResults m_Results;
};

} // namespace norvane
