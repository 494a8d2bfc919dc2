#pragma once

// The three design objects of the application. Each one owns its input
// dialog for its whole life and the core design it computes; Calculate()
// runs the dialog and, when it is confirmed, computes the design.

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "dialogs/BasisschaltungDialog.h"
#include "dialogs/EmitterschaltungDialog.h"
#include "dialogs/KollektorschaltungDialog.h"

#include <functional>
#include <memory>

class QWidget;

namespace norvane {

// Outcomes of Calculate().
inline constexpr int CalculationNotConfirmed = 1;
inline constexpr int CalculationDone = 2;

class CDesignObject {
public:
    // Runs the input dialog modally; true when it was confirmed with OK.
    using DialogRunner = std::function<bool()>;

    virtual ~CDesignObject();

    // 1 when the dialog was not confirmed (nothing changes), 2 when the
    // design was computed from the confirmed inputs.
    int Calculate();

    bool IsPnp() const { return Design().IsPnp(); }
    ResultList GetInputData() const { return Design().GetInputData(); }
    ResultList GetComponentValues() const { return Design().GetComponentValues(); }
    ResultList GetOperationPoint() const { return Design().GetOperationPoint(); }

    virtual CCircuitDialog& Dialog() = 0;
    virtual const AmplifierDesign& Design() const = 0;

    // The window the dialog is centred over and blocks.
    void SetDialogOwner(QWidget* owner);
    // Replaces the modal run of the dialog, e.g. in tests; an empty runner
    // restores it.
    void SetDialogRunner(DialogRunner runner) { m_RunDialog = std::move(runner); }

protected:
    virtual AmplifierDesign& MutableDesign() = 0;

private:
    DialogRunner m_RunDialog;
};

class CEmitterschaltung : public CDesignObject {
public:
    CEmitterschaltung();
    ~CEmitterschaltung() override;

    bool IsWithoutBypass() const { return m_Design.IsWithoutBypass(); }

    CEmitterschaltungDialog& Dialog() override { return *m_pDialog; }
    const CommonEmitterDesign& Design() const override { return m_Design; }

    CommonEmitterDesign m_Design;
    std::unique_ptr<CEmitterschaltungDialog> m_pDialog;

protected:
    AmplifierDesign& MutableDesign() override { return m_Design; }
};

class CBasisschaltung : public CDesignObject {
public:
    CBasisschaltung();
    ~CBasisschaltung() override;

    CBasisschaltungDialog& Dialog() override { return *m_pDialog; }
    const CommonBaseDesign& Design() const override { return m_Design; }

    CommonBaseDesign m_Design;
    std::unique_ptr<CBasisschaltungDialog> m_pDialog;

protected:
    AmplifierDesign& MutableDesign() override { return m_Design; }
};

class CKollektorschaltung : public CDesignObject {
public:
    CKollektorschaltung();
    ~CKollektorschaltung() override;

    CKollektorschaltungDialog& Dialog() override { return *m_pDialog; }
    const CommonCollectorDesign& Design() const override { return m_Design; }

    CommonCollectorDesign m_Design;
    std::unique_ptr<CKollektorschaltungDialog> m_pDialog;

protected:
    AmplifierDesign& MutableDesign() override { return m_Design; }
};

} // namespace norvane
