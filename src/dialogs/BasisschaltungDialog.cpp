#include "dialogs/BasisschaltungDialog.h"

namespace norvane {

CBasisschaltungDialog::CBasisschaltungDialog(QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonBase, QStringLiteral("Common-base circuit"),
                     DialogPicture{SchematicIds::CommonBaseNpn, 169, 192}, parent)
{
    BuildControls({95, 108, 140, 151});
}

} // namespace norvane
