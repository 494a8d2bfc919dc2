#pragma once

// Requirements of a common-base amplifier: supply voltage, lower cut-off
// frequency and output impedance.

#include "design/CommonBaseDesign.h"
#include "dialogs/CircuitDialog.h"

namespace norvane {

class CBasisschaltungDialog : public CCircuitDialog {
    Q_OBJECT
public:
    // The dialog reads and writes inputs, which must outlive it.
    explicit CBasisschaltungDialog(CommonBaseInputs& inputs, QWidget* parent = nullptr);

    CommonBaseInputs& m_Inputs;

protected:
    void LoadTexts() override;
    int& TransistorIndex() override { return m_Inputs.m_TransistorIndex; }
    int& SeriesIndex() override { return m_Inputs.m_SeriesIndex; }
    void Store(const InputCheckOutcome& outcome) override { ApplyInputs(outcome, m_Inputs); }

private:
    QString m_SupplyVoltageText;
    QString m_LowerCutoffText;
    QString m_OutputImpedanceText;
};

} // namespace norvane
