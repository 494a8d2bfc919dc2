#include "dialogs/CommonCollectorDialog.h"

namespace norvane {

CCommonCollectorDialog::CCommonCollectorDialog(QWidget* parent)
    : CCircuitDialog(CircuitKind::CommonCollector, QStringLiteral("Common-collector circuit"),
                     DialogPicture{schematic_ids::CommonCollectorNpn, 170, 159}, parent)
{
    BuildControls({102, 115, 145, 156});
}

} // namespace norvane
