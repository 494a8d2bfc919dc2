#pragma once

// Requirements of a common-emitter amplifier: gain, lower cut-off
// frequency, supply voltage, input and output impedance.

#include "dialogs/CircuitDialog.h"

namespace norvane {

class CCommonEmitterDialog : public CCircuitDialog {
    Q_OBJECT
public:
    explicit CCommonEmitterDialog(QWidget* parent = nullptr);
};

} // namespace norvane
