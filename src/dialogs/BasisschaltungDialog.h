#pragma once

// Requirements of a common-base amplifier: supply voltage, lower cut-off
// frequency and output impedance.

#include "dialogs/CircuitDialog.h"

namespace norvane {

class CBasisschaltungDialog : public CCircuitDialog {
    Q_OBJECT
public:
    explicit CBasisschaltungDialog(QWidget* parent = nullptr);
};

} // namespace norvane
