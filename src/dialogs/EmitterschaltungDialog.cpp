#include "dialogs/EmitterschaltungDialog.h"

namespace norvane {

CEmitterschaltungDialog::CEmitterschaltungDialog(QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonEmitter, QStringLiteral("Common-emitter circuit"),
                     QStringLiteral(":/images/dialog-common-emitter.png"), parent)
{
    BuildControls({118, 131, 154, 165});
}

} // namespace norvane
