#pragma once

// Requirements of a common-base amplifier: supply voltage, lower cut-off
// frequency and output impedance.

#include "dialogs/CircuitDialog.h"

namespace norvane {

class CCommonBaseDialog : public CCircuitDialog {
    Q_OBJECT
public:
    explicit CCommonBaseDialog(QWidget* parent = nullptr);
};

} // namespace norvane
