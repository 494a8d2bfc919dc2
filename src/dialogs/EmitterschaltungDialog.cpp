#include "dialogs/EmitterschaltungDialog.h"

namespace norvane {

CEmitterschaltungDialog::CEmitterschaltungDialog(QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonEmitter, QStringLiteral("Common-emitter circuit"),
                     DialogPicture{SchematicIds::CommonEmitterNpn, 171, 196}, parent)
{
    BuildControls({118, 131, 154, 165});
}

} // namespace norvane
