#pragma once

// Requirements of a common-collector amplifier: supply voltage, lower
// cut-off frequency, input impedance and collector current.

#include "dialogs/CircuitDialog.h"

namespace norvane {

class CCommonCollectorDialog : public CCircuitDialog {
    Q_OBJECT
public:
    explicit CCommonCollectorDialog(QWidget* parent = nullptr);
};

} // namespace norvane
