#pragma once

// Common-base amplifier: the signal enters at the emitter through C1 and
// leaves at the collector through C2; the base sits on the divider R3/R4
// and is tied to ground for the signal by C3. R1 is the emitter resistor,
// R2 the collector resistor.

#include "design/AmplifierDesign.h"

namespace norvane {

struct CommonBaseResults {
    double m_R1 = 0.0, m_R2 = 0.0, m_R3 = 0.0, m_R4 = 0.0;
    double m_C1 = 0.0, m_C2 = 0.0, m_C3 = 0.0;
    bool m_IsPnp = false;
};

class CommonBaseDesign : public AmplifierDesign {
public:
    std::uint16_t SchematicId() const override;
    bool IsPnp() const override { return m_Results.m_IsPnp; }

    CommonBaseDesign() : AmplifierDesign(CircuitKind::CommonBase) {}

    std::vector<NamedValue> ComponentNumbers() const override;
    const CommonBaseResults& Results() const { return m_Results; }

private:
    void DoCompute() override;
    double* PartSlot(std::string_view part) override;

    CommonBaseResults m_Results;
};

} // namespace norvane
