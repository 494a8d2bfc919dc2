#include "dialogs/CommonBaseDialog.h"

namespace norvane {

CCommonBaseDialog::CCommonBaseDialog(QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonBase, QStringLiteral("Common-base circuit"),
                     DialogPicture{schematic_ids::CommonBaseNpn, 169, 192}, parent)
{
    BuildControls({95, 108, 140, 151});
}

} // namespace norvane
