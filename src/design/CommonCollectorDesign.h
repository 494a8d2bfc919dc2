#pragma once

// Common-collector amplifier (emitter follower): the signal enters at the
// base through C1 and leaves at the emitter through C2; the collector is
// tied to the supply, the base biased by the divider R1/R2, R3 is the
// emitter resistor. The requested input impedance is an upper limit.

#include "design/AmplifierDesign.h"

namespace norvane {

struct CommonCollectorResults {
    double m_R1 = 0.0, m_R2 = 0.0, m_R3 = 0.0;
    double m_C1 = 0.0, m_C2 = 0.0;
    bool m_IsPnp = false;
};

class CommonCollectorDesign : public AmplifierDesign {
public:
    std::uint16_t SchematicId() const override;
    bool IsPnp() const override { return m_Results.m_IsPnp; }

    CommonCollectorDesign() : AmplifierDesign(CircuitKind::CommonCollector) {}

    std::vector<NamedValue> ComponentNumbers() const override;
    const CommonCollectorResults& Results() const { return m_Results; }

private:
    void DoCompute() override;
    double* PartSlot(std::string_view part) override;

    CommonCollectorResults m_Results;
};

} // namespace norvane
