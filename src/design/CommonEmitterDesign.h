#pragma once

// Common-emitter amplifier: base divider R1/R2, collector resistor R3,
// emitter resistors R4 and R5 with R5 bypassed by C3, coupling capacitors
// C1 (input to base) and C2 (collector to output). Without R5 (when it
// comes out as 0) R4 goes straight to ground and C3 is absent.

#include "design/AmplifierDesign.h"

namespace norvane {

struct CommonEmitterResults {
    double m_R1 = 0.0, m_R2 = 0.0, m_R3 = 0.0, m_R4 = 0.0, m_R5 = 0.0;
    double m_C1 = 0.0, m_C2 = 0.0, m_C3 = 0.0;
    bool m_IsPnp = false;
};

class CommonEmitterDesign : public AmplifierDesign {
public:
    std::uint16_t SchematicId() const override;
    bool IsPnp() const override { return m_Results.m_IsPnp; }
    bool IsWithoutBypass() const { return m_Results.m_R5 <= 0; }

    CommonEmitterDesign() : AmplifierDesign(CircuitKind::CommonEmitter) {}

    std::vector<NamedValue> ComponentNumbers() const override;
    const CommonEmitterResults& Results() const { return m_Results; }

    // The voltage gain the design gives by its own small-signal figures,
    // R3 / (R4 + re), in dB.
    double DesignedGainDb() const { return m_DesignedGainDb; }

private:
    void DoCompute() override;
    double* PartSlot(std::string_view part) override;
    void AddCircuitNotes(std::vector<std::string>& notes) const override;
    // R4 is 0 where the gain asks for more than R3 / re.
    bool MayBeZero(const std::string& part) const override { return part == "R4"; }

    CommonEmitterResults m_Results;
    double m_DesignedGainDb = 0.0;
};

} // namespace norvane
