#include "app/DesignObjects.h"

#include <QWidget>

namespace norvane {

CDesignObject::~CDesignObject() = default;

CalculationOutcome CDesignObject::Calculate()
{
    const bool confirmed = m_RunDialog ? m_RunDialog() : Dialog().exec() == QDialog::Accepted;
    if (!confirmed) {
        return CalculationOutcome::NotConfirmed;
    }
    MutableDesign().Compute(Dialog().Inputs());
    return CalculationOutcome::Calculated;
}

void CDesignObject::CalculateFrom(const DesignInputs& inputs)
{
    Dialog().SetInputs(inputs);
    MutableDesign().Compute(inputs);
}

void CDesignObject::SetDialogOwner(QWidget* owner)
{
    CCircuitDialog& dialog = Dialog();
    dialog.setParent(owner, dialog.windowFlags() | Qt::Dialog);
}

} // namespace norvane
