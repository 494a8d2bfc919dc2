#pragma once

// The three design objects of the application. Each one owns its input
// dialog for its whole life and the core design it computes; Calculate()
// runs the dialog and, when it is confirmed, computes the design from the
// requirements the dialog hands over. The design keeps those inputs, so
// its result always shows what it was computed from, whatever the dialog
// holds later.

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "dialogs/CommonBaseDialog.h"
#include "dialogs/CommonCollectorDialog.h"
#include "dialogs/CommonEmitterDialog.h"

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace norvane {

enum class CalculationOutcome {
    None = 0,         // nothing calculated yet
    NotConfirmed = 1, // the dialog was cancelled: nothing changed
    Calculated = 2,   // the design was computed from the confirmed inputs
};

class CDesignObject {
public:
    // Runs the input dialog modally; true when it was confirmed with OK.
    using DialogRunner = std::function<bool()>;

    virtual ~CDesignObject();

    CalculationOutcome Calculate();
    // Computes the design from inputs of its circuit without asking (an
    // opened report); the dialog holds them from then on.
    void CalculateFrom(const DesignInputs& inputs);

    bool IsPnp() const { return Design().IsPnp(); }
    ResultList GetInputData() const { return Design().GetInputData(); }
    ResultList GetComponentValues() const { return Design().GetComponentValues(); }
    ResultList GetOperationPoint() const { return Design().GetOperationPoint(); }

    virtual CCircuitDialog& Dialog() = 0;
    virtual const AmplifierDesign& Design() const = 0;
    // A copy of the present design, for a simulation on another thread.
    virtual std::shared_ptr<const AmplifierDesign> Snapshot() const = 0;

    // Replaces computed part values (a tuning proposal the user applied);
    // the design notes each change until the next calculation.
    void ApplyPartValues(const std::vector<NamedValue>& values) { MutableDesign().ApplyPartValues(values); }

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

// One design object per circuit: the core design and its dialog.
template <typename DesignType, typename DialogType>
class CCircuitDesignObject : public CDesignObject {
public:
    CCircuitDesignObject() : m_pDialog(std::make_unique<DialogType>()) {}

    DialogType& Dialog() override { return *m_pDialog; }
    const DesignType& Design() const override { return m_Design; }
    std::shared_ptr<const AmplifierDesign> Snapshot() const override
    {
        return std::make_shared<const DesignType>(m_Design);
    }

protected:
    AmplifierDesign& MutableDesign() override { return m_Design; }

private:
    DesignType m_Design;
    std::unique_ptr<DialogType> m_pDialog;
};

class CCommonEmitterObject : public CCircuitDesignObject<CommonEmitterDesign, CCommonEmitterDialog> {
public:
    bool IsWithoutBypass() const { return Design().IsWithoutBypass(); }
};

class CCommonBaseObject : public CCircuitDesignObject<CommonBaseDesign, CCommonBaseDialog> {};

class CCommonCollectorObject : public CCircuitDesignObject<CommonCollectorDesign, CCommonCollectorDialog> {};

} // namespace norvane
