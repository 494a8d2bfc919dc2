#pragma once

// What the three requirement dialogs share: the schematic picture on the
// left, one labelled edit field per requirement on the right, the
// transistor type with its list button, the standard-series radio group,
// OK and Cancel; the data exchange between the fields and the text
// members; the opening, the pick from the list and the checks on OK.
//
// The dialog keeps its own copy of the requirements between openings: the
// fields come from the circuit's description (design/DesignInputs.h), every
// opening shows the copy, and a successful OK replaces it with the checked
// values, which the owner then reads with Inputs(). Two things change the
// copy without an OK: a type picked from the list (the next opening shows
// it) and the series, read at every OK press and every pick. Nothing else
// reads the dialog's controls.
//
// "Suggest..." (SuggestDialog.h) ranks the table for the requirements typed so
// far, checked as OK checks them (the type aside: any will do for a
// ranking), with the series checked; a type chosen there goes into the type
// field and nowhere else, for OK to check like a typed one.

#include "design/AmplifierDesign.h"
#include "design/InputChecks.h"

#include <QDialog>
#include <QPixmap>
#include <QString>

#include <optional>
#include <vector>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace norvane {

// text = the engineering form of value ("100 k", "2 m", "0").
void SetEngineeringText(QString& text, double value);

// The schematic a dialog shows, and its picture control in dialog units: at
// the classic dialog font the control is the schematic's size in pixels.
struct DialogPicture {
    std::uint16_t m_SchematicId;
    int m_Width;
    int m_Height;
};

// The schematic fitted to box: as it is where it fits within the pixel that
// the dialog-unit rounding leaves, else scaled smoothly to the largest size
// that fits with its proportions kept.
QPixmap FittedSchematic(std::uint16_t schematicId, QSize box);

class CCircuitDialog : public QDialog {
    Q_OBJECT
public:
    ~CCircuitDialog() override;

    CircuitKind Kind() const { return m_Inputs.Kind(); }

    // The requirements the dialog holds: the last accepted ones, with the
    // type and series changes described above.
    const DesignInputs& Inputs() const { return m_Inputs; }
    // Replaces them (for example with those of an opened report); kind must
    // match.
    void SetInputs(const DesignInputs& inputs);

    // Controls, for the tests and the screenshots.
    QLineEdit* FieldEdit(InputField field) const;
    QLabel* FieldLabel(InputField field) const;
    QLineEdit* TransistorEdit() const { return m_pTransistorEdit; }
    QPushButton* ListButton() const { return m_pListButton; }
    QPushButton* SuggestButton() const { return m_pSuggestButton; }
    QRadioButton* SeriesButton(int index) const;
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* CancelButton() const { return m_pCancel; }
    QLabel* Picture() const { return m_pPicture; }
    // Every label and button, to check that none clips its text.
    std::vector<QWidget*> TextControls() const;

    void setVisible(bool visible) override;

public Q_SLOTS:
    void accept() override;
    void OnSelectFromList();
    void OnSuggest();

protected:
    // Where the rows below the fields stand, in dialog units.
    struct LowerRows {
        int m_TypeLabelTop;
        int m_ListButtonTop;
        int m_GroupTop;
        int m_RadioTop;
    };

    CCircuitDialog(CircuitKind kind, const QString& caption, const DialogPicture& picture, QWidget* parent);

    // Creates the controls, one row per field of the circuit; called once
    // by each dialog's constructor.
    void BuildControls(const LowerRows& lower);

private:
    // true: controls into the texts and the series index; false: the other
    // way.
    void UpdateData(bool saveAndValidate);
    void OnInitDialog();
    // The typed fields checked against base with transistorText as the
    // type, as OK checks them; a failure is shown in its message box.
    std::optional<DesignInputs> CheckTyped(const DesignInputs& base, const QString& transistorText);

    DesignInputs m_Inputs;
    DialogPicture m_Picture;
    std::vector<InputField> m_Fields; // top to bottom
    std::vector<QString> m_Texts;     // one per field
    QString m_TransistorText;
    std::vector<QLineEdit*> m_Edits;
    std::vector<QLabel*> m_Labels;
    QLabel* m_pPicture = nullptr;
    QLabel* m_pTypeLabel = nullptr;
    QLineEdit* m_pTransistorEdit = nullptr;
    QPushButton* m_pListButton = nullptr;
    QPushButton* m_pSuggestButton = nullptr;
    QButtonGroup* m_pSeriesGroup = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;
};

} // namespace norvane
