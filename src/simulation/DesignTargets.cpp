#include "simulation/DesignTargets.h"

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"

namespace norvane {

DesignTargets TargetsOf(const AmplifierDesign& design)
{
    DesignTargets targets;
    targets.m_Ic = design.m_Ic;
    targets.m_Uce = design.m_Uce;
    if (const auto* ce = dynamic_cast<const CommonEmitterDesign*>(&design)) {
        targets.m_GainDb = ce->m_Inputs.m_GainDb;
        targets.m_InputImpedance = ce->m_Inputs.m_InputImpedance;
        targets.m_OutputImpedance = ce->m_Inputs.m_OutputImpedance;
        targets.m_LowerCutoff = ce->m_Inputs.m_LowerCutoff;
    } else if (const auto* cb = dynamic_cast<const CommonBaseDesign*>(&design)) {
        targets.m_OutputImpedance = cb->m_Inputs.m_OutputImpedance;
        targets.m_LowerCutoff = cb->m_Inputs.m_LowerCutoff;
    } else if (const auto* cc = dynamic_cast<const CommonCollectorDesign*>(&design)) {
        targets.m_InputImpedance = cc->m_Inputs.m_InputImpedance;
        targets.m_LowerCutoff = cc->m_Inputs.m_LowerCutoff;
    }
    return targets;
}

} // namespace norvane
