#include "dialogs/EmitterschaltungDialog.h"

namespace norvane {

CEmitterschaltungDialog::CEmitterschaltungDialog(CommonEmitterInputs& inputs, QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonEmitter, QStringLiteral("Common-emitter circuit"),
                     DialogPicture{SchematicIds::CommonEmitterNpn, 171, 196}, parent),
      m_Inputs(inputs)
{
    BuildControls(
        {
            {InputField::Gain, "Voltage gain in dB :", 8, &m_GainText},
            {InputField::LowerCutoff, "Lower cut-off frequency in Hz :", 30, &m_LowerCutoffText},
            {InputField::SupplyVoltage, "Supply voltage in V :", 52, &m_SupplyVoltageText},
            {InputField::InputImpedance, "Input impedance in Ohms :", 74, &m_InputImpedanceText},
            {InputField::OutputImpedance, "Output impedance in Ohms :", 96, &m_OutputImpedanceText},
        },
        {118, 131, 154, 165});
}

void CEmitterschaltungDialog::LoadTexts()
{
    SetEngineeringText(m_GainText, m_Inputs.m_GainDb);
    SetEngineeringText(m_LowerCutoffText, m_Inputs.m_LowerCutoff);
    SetEngineeringText(m_SupplyVoltageText, m_Inputs.m_SupplyVoltage);
    SetEngineeringText(m_InputImpedanceText, m_Inputs.m_InputImpedance);
    SetEngineeringText(m_OutputImpedanceText, m_Inputs.m_OutputImpedance);
}

} // namespace norvane
