#include "app/DesignObjects.h"

#include <QWidget>

namespace norvane {

CDesignObject::~CDesignObject() = default;

int CDesignObject::Calculate()
{
    const bool confirmed = m_RunDialog ? m_RunDialog() : Dialog().exec() == QDialog::Accepted;
    if (!confirmed) {
        return CalculationNotConfirmed;
    }
    MutableDesign().Compute();
    return CalculationDone;
}

void CDesignObject::SetDialogOwner(QWidget* owner)
{
    CCircuitDialog& dialog = Dialog();
    dialog.setParent(owner, dialog.windowFlags() | Qt::Dialog);
}

CEmitterschaltung::CEmitterschaltung()
    : m_pDialog(std::make_unique<CEmitterschaltungDialog>(m_Design.m_Inputs))
{
}

CEmitterschaltung::~CEmitterschaltung() = default;

CBasisschaltung::CBasisschaltung()
    : m_pDialog(std::make_unique<CBasisschaltungDialog>(m_Design.m_Inputs))
{
}

CBasisschaltung::~CBasisschaltung() = default;

CKollektorschaltung::CKollektorschaltung()
    : m_pDialog(std::make_unique<CKollektorschaltungDialog>(m_Design.m_Inputs))
{
}

CKollektorschaltung::~CKollektorschaltung() = default;

} // namespace norvane
