#include "dialogs/KollektorschaltungDialog.h"

namespace norvane {

CKollektorschaltungDialog::CKollektorschaltungDialog(CommonCollectorInputs& inputs, QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonCollector, QStringLiteral("Common-collector circuit"),
                     DialogPicture{SchematicIds::CommonCollectorNpn, 170, 159}, parent),
      m_Inputs(inputs)
{
    BuildControls(
        {
            {InputField::SupplyVoltage, "Supply voltage in V :", 8, &m_SupplyVoltageText},
            {InputField::LowerCutoff, "Lower cut-off frequency in Hz :", 31, &m_LowerCutoffText},
            {InputField::InputImpedance, "Input impedance in Ohms :", 54, &m_InputImpedanceText},
            {InputField::CollectorCurrent, "Collector current in A :", 77, &m_CollectorCurrentText},
        },
        {102, 115, 145, 156});
}

void CKollektorschaltungDialog::LoadTexts()
{
    SetEngineeringText(m_SupplyVoltageText, m_Inputs.m_SupplyVoltage);
    SetEngineeringText(m_LowerCutoffText, m_Inputs.m_LowerCutoff);
    SetEngineeringText(m_InputImpedanceText, m_Inputs.m_InputImpedance);
    SetEngineeringText(m_CollectorCurrentText, m_Inputs.m_CollectorCurrent);
}

} // namespace norvane
