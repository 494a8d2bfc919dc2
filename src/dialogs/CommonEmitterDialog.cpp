#include "dialogs/CommonEmitterDialog.h"

namespace norvane {

CCommonEmitterDialog::CCommonEmitterDialog(QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonEmitter, QStringLiteral("Common-emitter circuit"),
                     DialogPicture{schematic_ids::CommonEmitterNpn, 171, 196}, parent)
{
    BuildControls({118, 131, 154, 165});
}

} // namespace norvane
