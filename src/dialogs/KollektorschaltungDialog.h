#pragma once

// Requirements of a common-collector amplifier: supply voltage, lower
// cut-off frequency, input impedance and collector current.

#include "dialogs/CircuitDialog.h"

namespace norvane {

class CKollektorschaltungDialog : public CCircuitDialog {
    Q_OBJECT
public:
    explicit CKollektorschaltungDialog(QWidget* parent = nullptr);
};

} // namespace norvane
