#include "dialogs/CircuitDialog.h"

#include "dialogs/DialogUnits.h"
#include "dialogs/TransistorListDlg.h"
#include "format/EngineeringFormat.h"
#include "report/SchematicImages.h"
#include "transistors/TransistorTable.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include <array>
#include <cstdlib>
#include <span>

namespace norvane {

void SetEngineeringText(QString& text, double value)
{
    text = QString::fromStdString(FormatEngineering(value));
}

namespace {

QString TransistorName(int index)
{
    return QString::fromLatin1(GetTransistorRecord(index).name);
}

} // namespace

QPixmap FittedSchematic(std::uint16_t schematicId, QSize box)
{
    const std::span<const std::uint8_t> png = SchematicPng(schematicId);
    QPixmap pixmap;
    pixmap.loadFromData(png.data(), static_cast<uint>(png.size()), "PNG");
    const QSize slack = box - pixmap.size();
    if (std::abs(slack.width()) <= 1 && std::abs(slack.height()) <= 1) {
        return pixmap;  // a crisp picture; at most a column of margin is cut
    }
    return pixmap.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

CCircuitDialog::CCircuitDialog(CircuitKind kind, const QString& caption, const DialogPicture& picture,
                               QWidget* parent)
    : QDialog(parent), m_Kind(kind), m_Picture(picture)
{
    setWindowTitle(caption);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

CCircuitDialog::~CCircuitDialog() = default;

void CCircuitDialog::BuildControls(std::vector<FieldRow> rows, const LowerRows& lower)
{
    m_Rows = std::move(rows);
    const DialogUnits du(font());
    setFixedSize(du.Size(368, 214));

    m_pPicture = new QLabel(this);
    m_pPicture->setGeometry(du.Rect(7, 9, m_Picture.width, m_Picture.height));
    m_pPicture->setAlignment(Qt::AlignCenter);
    m_pPicture->setPixmap(FittedSchematic(m_Picture.schematicId, m_pPicture->size()));

    // Labels run from x 195 up to the edit fields at x 303.
    for (const FieldRow& row : m_Rows) {
        auto* label = new QLabel(QString::fromLatin1(row.label), this);
        label->setGeometry(du.Rect(195, row.editTop, 106, 14));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* edit = new QLineEdit(this);
        edit->setGeometry(du.Rect(303, row.editTop, 58, 14));
        label->setBuddy(edit);
        m_Labels.push_back(label);
        m_Edits.push_back(edit);
    }

    // The list button is two units wider than the classic layout and grows
    // to the left when its caption needs more, as it does in the wider
    // fonts of other desktops.
    m_pTypeLabel = new QLabel(QStringLiteral("Transistor type T1 :"), this);
    m_pTypeLabel->setGeometry(du.Rect(195, lower.typeLabelTop, 106, 10));
    m_pListButton = new QPushButton(QStringLiteral("Select transistor type from list"), this);
    QRect listButton = du.Rect(193, lower.listButtonTop, 106, 14);
    const int captionWidth =
        m_pListButton->fontMetrics().horizontalAdvance(m_pListButton->text()) + du.X(6);
    if (captionWidth > listButton.width()) {
        listButton.setLeft(listButton.right() + 1 - captionWidth);  // grows to the left
    }
    m_pListButton->setGeometry(listButton);
    m_pListButton->setAutoDefault(false);
    m_pTransistorEdit = new QLineEdit(this);
    m_pTransistorEdit->setGeometry(du.Rect(303, lower.listButtonTop, 58, 14));
    m_pTypeLabel->setBuddy(m_pTransistorEdit);

    auto* group = new QGroupBox(QStringLiteral("Resistor standard series"), this);
    group->setGeometry(du.Rect(194, lower.groupTop, 167, 28));
    m_pSeriesGroup = new QButtonGroup(this);
    constexpr std::array<int, 4> radioLeft{204, 245, 286, 327};
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(QStringLiteral("E%1").arg(SeriesCounts[i]), this);
        radio->setGeometry(du.Rect(radioLeft[i], lower.radioTop, 28, 10));
        m_pSeriesGroup->addButton(radio, i);
    }
    // The series group is one stop of the tab order, on its checked button;
    // the arrow keys move within the group.
    connect(m_pSeriesGroup, &QButtonGroup::idToggled, this, [this] {
        for (QAbstractButton* radio : m_pSeriesGroup->buttons()) {
            radio->setFocusPolicy(radio->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
        }
    });

    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    m_pOk->setGeometry(du.Rect(194, 188, 50, 14));
    m_pOk->setDefault(true);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancel->setGeometry(du.Rect(311, 188, 50, 14));
    m_pCancel->setAutoDefault(false);

    // Tab order: the fields from top to bottom, the type, the series, the
    // buttons.
    QWidget* previous = nullptr;
    auto chain = [&](QWidget* next) {
        if (previous) {
            setTabOrder(previous, next);
        }
        previous = next;
    };
    for (QLineEdit* edit : m_Edits) {
        chain(edit);
    }
    chain(m_pListButton);
    chain(m_pTransistorEdit);
    for (QAbstractButton* radio : m_pSeriesGroup->buttons()) {
        chain(radio);
    }
    chain(m_pOk);
    chain(m_pCancel);

    connect(m_pListButton, &QPushButton::clicked, this, &CCircuitDialog::OnSelectFromList);
    connect(m_pOk, &QPushButton::clicked, this, &CCircuitDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CCircuitDialog::reject);
}

QLineEdit* CCircuitDialog::FieldEdit(InputField field) const
{
    for (std::size_t i = 0; i < m_Rows.size(); ++i) {
        if (m_Rows[i].field == field) {
            return m_Edits[i];
        }
    }
    return nullptr;
}

QLabel* CCircuitDialog::FieldLabel(InputField field) const
{
    for (std::size_t i = 0; i < m_Rows.size(); ++i) {
        if (m_Rows[i].field == field) {
            return m_Labels[i];
        }
    }
    return nullptr;
}

QRadioButton* CCircuitDialog::SeriesButton(int index) const
{
    return qobject_cast<QRadioButton*>(m_pSeriesGroup->button(index));
}

std::vector<QWidget*> CCircuitDialog::TextControls() const
{
    std::vector<QWidget*> controls(m_Labels.begin(), m_Labels.end());
    controls.push_back(m_pTypeLabel);
    controls.push_back(m_pListButton);
    for (QAbstractButton* radio : m_pSeriesGroup->buttons()) {
        controls.push_back(radio);
    }
    controls.push_back(m_pOk);
    controls.push_back(m_pCancel);
    return controls;
}

void CCircuitDialog::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void CCircuitDialog::OnInitDialog()
{
    // Every opening shows the members, not what was typed last time.
    LoadTexts();
    m_TransistorText = TransistorName(TransistorIndex());
    UpdateData(false);
    if (!m_Edits.empty()) {
        m_Edits.front()->setFocus();
        m_Edits.front()->selectAll();
    }
}

void CCircuitDialog::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        for (std::size_t i = 0; i < m_Rows.size(); ++i) {
            *m_Rows[i].text = m_Edits[i]->text();
        }
        m_TransistorText = m_pTransistorEdit->text();
        // The group always holds a checked button once the dialog is open.
        SeriesIndex() = m_pSeriesGroup->checkedId();
    } else {
        for (std::size_t i = 0; i < m_Rows.size(); ++i) {
            m_Edits[i]->setText(*m_Rows[i].text);
            m_Edits[i]->setCursorPosition(0);
        }
        m_pTransistorEdit->setText(m_TransistorText);
        m_pTransistorEdit->setCursorPosition(0);
        if (QAbstractButton* radio = m_pSeriesGroup->button(SeriesIndex())) {
            radio->setChecked(true);
        }
    }
}

void CCircuitDialog::OnSelectFromList()
{
    CTransistorListDlg list(this);
    list.SetSelection(TransistorIndex());
    if (list.exec() != QDialog::Accepted) {
        return;
    }
    // Whatever was typed in the other fields survives the refill below.
    UpdateData(true);
    TransistorIndex() = list.GetSelection();
    m_TransistorText = TransistorName(TransistorIndex());
    UpdateData(false);
}

void CCircuitDialog::accept()
{
    UpdateData(true);

    auto fieldText = [this](InputField field) -> std::string {
        for (const FieldRow& row : m_Rows) {
            if (row.field == field) {
                return row.text->toStdString();
            }
        }
        return {};
    };
    // The copy for the lookup holds at most 100 characters.
    const InputCheckOutcome outcome =
        CheckInputs(m_Kind, fieldText, m_TransistorText.left(100).toStdString());

    switch (outcome.result) {
    case InputCheckOutcome::Result::OutOfRange: {
        // The range message has no owner window.
        QMessageBox box(QMessageBox::Critical, QString::fromLatin1(InputErrorCaption),
                        QString::fromStdString(outcome.message), QMessageBox::Ok);
        box.exec();
        return;
    }
    case InputCheckOutcome::Result::UnknownTransistor: {
        QMessageBox box(QMessageBox::Critical, QString::fromLatin1(InputErrorCaption),
                        QString::fromStdString(outcome.message), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    case InputCheckOutcome::Result::Accepted:
        break;
    }

    Store(outcome);
    UpdateData(true);
    QDialog::accept();
}

} // namespace norvane
