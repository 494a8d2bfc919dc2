#include "circuit/DesignTargets.h"

namespace norvane {

DesignTargets TargetsOf(const AmplifierDesign& design)
{
    DesignTargets targets;
    targets.m_Ic = design.Ic();
    targets.m_Uce = design.Uce();
    const DesignInputs& in = design.Inputs();
    // Only what the circuit asks for is a target.
    const auto target = [&](InputField field, double& value) {
        if (in.Has(field)) {
            value = in.Value(field);
        }
    };
    target(InputField::Gain, targets.m_GainDb);
    target(InputField::InputImpedance, targets.m_InputImpedance);
    target(InputField::OutputImpedance, targets.m_OutputImpedance);
    target(InputField::LowerCutoff, targets.m_LowerCutoff);
    target(InputField::CollectorCurrent, targets.m_RequiredIc);
    return targets;
}

} // namespace norvane
