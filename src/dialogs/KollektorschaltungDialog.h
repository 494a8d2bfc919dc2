#pragma once

// Requirements of a common-collector amplifier: supply voltage, lower
// cut-off frequency, input impedance and collector current.

#include "design/CommonCollectorDesign.h"
#include "dialogs/CircuitDialog.h"

namespace norvane {

class CKollektorschaltungDialog : public CCircuitDialog {
    Q_OBJECT
public:
    // The dialog reads and writes inputs, which must outlive it.
    explicit CKollektorschaltungDialog(CommonCollectorInputs& inputs, QWidget* parent = nullptr);

    CommonCollectorInputs& m_Inputs;

protected:
    void LoadTexts() override;
    int& TransistorIndex() override { return m_Inputs.m_TransistorIndex; }
    int& SeriesIndex() override { return m_Inputs.m_SeriesIndex; }
    void Store(const InputCheckOutcome& outcome) override { ApplyInputs(outcome, m_Inputs); }

private:
    QString m_SupplyVoltageText;
    QString m_LowerCutoffText;
    QString m_InputImpedanceText;
    QString m_CollectorCurrentText;
};

} // namespace norvane
