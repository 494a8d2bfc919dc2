#pragma once

// What the three requirement dialogs share: the schematic picture on the
// left, one labelled edit field per requirement on the right, the
// transistor type with its list button, the standard-series radio group,
// OK and Cancel; the data exchange between the fields and the text
// members; the opening, the pick from the list and the checks on OK.
//
// The numbers live in the inputs of the design the dialog belongs to: a
// dialog writes them only at a successful OK, except the transistor index
// (set at once by a pick from the list) and the series index (read at
// every OK press and every pick).

#include "design/AmplifierDesign.h"
#include "design/InputChecks.h"

#include <QDialog>
#include <QPixmap>
#include <QString>

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
    std::uint16_t schematicId;
    int width;
    int height;
};

// The schematic fitted to box: as it is where it fits within the pixel that
// the dialog-unit rounding leaves, else scaled smoothly to the largest size
// that fits with its proportions kept.
QPixmap FittedSchematic(std::uint16_t schematicId, QSize box);

class CCircuitDialog : public QDialog {
    Q_OBJECT
public:
    ~CCircuitDialog() override;

    CircuitKind Kind() const { return m_Kind; }

    // Controls, for the tests and the screenshots.
    QLineEdit* FieldEdit(InputField field) const;
    QLabel* FieldLabel(InputField field) const;
    QLineEdit* TransistorEdit() const { return m_pTransistorEdit; }
    QPushButton* ListButton() const { return m_pListButton; }
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

protected:
    // One edit field row: the requirement, its label, the edit field's top
    // in dialog units, and the text member it exchanges with.
    struct FieldRow {
        InputField field;
        const char* label;
        int editTop;
        QString* text;
    };
    // Where the rows below the fields stand, in dialog units.
    struct LowerRows {
        int typeLabelTop;
        int listButtonTop;
        int groupTop;
        int radioTop;
    };

    CCircuitDialog(CircuitKind kind, const QString& caption, const DialogPicture& picture,
                   QWidget* parent);

    // Creates the controls; called once by each dialog's constructor.
    void BuildControls(std::vector<FieldRow> rows, const LowerRows& lower);

    // The numeric members as texts, in engineering form.
    virtual void LoadTexts() = 0;
    virtual int& TransistorIndex() = 0;
    virtual int& SeriesIndex() = 0;
    // Stores the accepted values into the numeric members.
    virtual void Store(const InputCheckOutcome& outcome) = 0;

    // true: controls into the text members and the series index;
    // false: the other way.
    void UpdateData(bool saveAndValidate);

    QString m_TransistorText;

private:
    void OnInitDialog();

    CircuitKind m_Kind;
    DialogPicture m_Picture;
    std::vector<FieldRow> m_Rows;
    std::vector<QLineEdit*> m_Edits;
    std::vector<QLabel*> m_Labels;
    QLabel* m_pPicture = nullptr;
    QLabel* m_pTypeLabel = nullptr;
    QLineEdit* m_pTransistorEdit = nullptr;
    QPushButton* m_pListButton = nullptr;
    QButtonGroup* m_pSeriesGroup = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;
};

} // namespace norvane
