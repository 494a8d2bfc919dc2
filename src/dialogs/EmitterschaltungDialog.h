#pragma once

// Requirements of a common-emitter amplifier: gain, lower cut-off
// frequency, supply voltage, input and output impedance.

#include "design/CommonEmitterDesign.h"
#include "dialogs/CircuitDialog.h"

namespace norvane {

class CEmitterschaltungDialog : public CCircuitDialog {
    Q_OBJECT
public:
    // The dialog reads and writes inputs, which must outlive it.
    explicit CEmitterschaltungDialog(CommonEmitterInputs& inputs, QWidget* parent = nullptr);

    CommonEmitterInputs& m_Inputs;

protected:
    void LoadTexts() override;
    int& TransistorIndex() override { return m_Inputs.m_TransistorIndex; }
    int& SeriesIndex() override { return m_Inputs.m_SeriesIndex; }
    void Store(const InputCheckOutcome& outcome) override { ApplyInputs(outcome, m_Inputs); }

private:
    QString m_GainText;
    QString m_LowerCutoffText;
    QString m_SupplyVoltageText;
    QString m_InputImpedanceText;
    QString m_OutputImpedanceText;
};

} // namespace norvane
