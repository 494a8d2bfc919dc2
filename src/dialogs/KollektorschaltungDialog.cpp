#include "dialogs/KollektorschaltungDialog.h"

namespace norvane {

CKollektorschaltungDialog::CKollektorschaltungDialog(QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonCollector, QStringLiteral("Common-collector circuit"),
                     QStringLiteral(":/images/dialog-common-collector.png"), parent)
{
    BuildControls({102, 115, 145, 156});
}

} // namespace norvane
