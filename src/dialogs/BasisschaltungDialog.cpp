#include "dialogs/BasisschaltungDialog.h"

namespace norvane {

CBasisschaltungDialog::CBasisschaltungDialog(QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonBase, QStringLiteral("Common-base circuit"),
                     QStringLiteral(":/images/dialog-common-base.png"), parent)
{
    BuildControls({95, 108, 140, 151});
}

} // namespace norvane
