#include "dialogs/BasisschaltungDialog.h"

namespace norvane {

CBasisschaltungDialog::CBasisschaltungDialog(CommonBaseInputs& inputs, QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonBase, QStringLiteral("Common-base circuit"),
                     DialogPicture{SchematicIds::CommonBaseNpn, 169, 192}, parent),
      m_Inputs(inputs)
{
    BuildControls(
        {
            {InputField::SupplyVoltage, "Supply voltage in V :", 8, &m_SupplyVoltageText},
            {InputField::LowerCutoff, "Lower cut-off frequency in Hz :", 36, &m_LowerCutoffText},
            {InputField::OutputImpedance, "Output impedance in Ohms :", 64, &m_OutputImpedanceText},
        },
        {95, 108, 140, 151});
}

void CBasisschaltungDialog::LoadTexts()
{
    SetEngineeringText(m_LowerCutoffText, m_Inputs.m_LowerCutoff);
    SetEngineeringText(m_SupplyVoltageText, m_Inputs.m_SupplyVoltage);
    SetEngineeringText(m_OutputImpedanceText, m_Inputs.m_OutputImpedance);
}

} // namespace norvane
