#include "dialogs/CircuitDialog.h"

#include "dialogs/DialogUnits.h"
#include "dialogs/SuggestDialog.h"
#include "dialogs/TransistorListDialog.h"
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

#include <algorithm>
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
        return pixmap; // a crisp picture; at most a column of margin is cut
    }
    return pixmap.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

CCircuitDialog::CCircuitDialog(CircuitKind kind, const QString& caption, const DialogPicture& picture,
                               QWidget* parent)
    : QDialog(parent), m_Inputs(kind), m_Picture(picture)
{
    setWindowTitle(caption);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

CCircuitDialog::~CCircuitDialog() = default;

void CCircuitDialog::SetInputs(const DesignInputs& inputs)
{
    if (inputs.Kind() == Kind()) {
        m_Inputs = inputs;
    }
}

void CCircuitDialog::BuildControls(const LowerRows& lower)
{
    const DialogUnits du(font());
    setFixedSize(du.Size(368, 214));

    m_pPicture = new QLabel(this);
    m_pPicture->setGeometry(du.Rect(7, 9, m_Picture.m_Width, m_Picture.m_Height));
    m_pPicture->setAlignment(Qt::AlignCenter);
    m_pPicture->setPixmap(FittedSchematic(m_Picture.m_SchematicId, m_pPicture->size()));

    // Labels run from x 195 up to the edit fields at x 303.
    for (const CircuitField& row : CircuitInfoOf(Kind()).dialogOrder) {
        auto* label = new QLabel(QString::fromLatin1(FieldInfoOf(row.field).dialogLabel), this);
        label->setGeometry(du.Rect(195, row.dialogTop, 106, 14));
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        auto* edit = new QLineEdit(this);
        edit->setGeometry(du.Rect(303, row.dialogTop, 58, 14));
        m_Fields.push_back(row.field);
        m_Texts.emplace_back();
        label->setBuddy(edit);
        m_Labels.push_back(label);
        m_Edits.push_back(edit);
    }

    // The list button is two units wider than the classic layout and grows
    // to the left when its caption needs more, as it does in the wider
    // fonts of other desktops.
    m_pTypeLabel = new QLabel(QStringLiteral("Transistor type T1 :"), this);
    m_pTypeLabel->setGeometry(du.Rect(195, lower.m_TypeLabelTop, 106, 10));
    m_pListButton = new QPushButton(QStringLiteral("Select transistor type from list"), this);
    QRect listButton = du.Rect(193, lower.m_ListButtonTop, 106, 14);
    const int captionWidth = m_pListButton->fontMetrics().horizontalAdvance(m_pListButton->text()) + du.X(6);
    if (captionWidth > listButton.width()) {
        listButton.setLeft(listButton.right() + 1 - captionWidth); // grows to the left
    }
    m_pListButton->setGeometry(listButton);
    m_pListButton->setAutoDefault(false);
    // "Suggest..." stands at the end of the type label's row, over the type
    // field, where each dialog leaves room between the last field and the
    // type field.
    m_pSuggestButton = new QPushButton(QStringLiteral("Suggest..."), this);
    m_pSuggestButton->setGeometry(du.Rect(303, lower.m_TypeLabelTop - 3, 58, 14));
    m_pSuggestButton->setAutoDefault(false);
    m_pTransistorEdit = new QLineEdit(this);
    m_pTransistorEdit->setGeometry(du.Rect(303, lower.m_ListButtonTop, 58, 14));
    m_pTypeLabel->setBuddy(m_pTransistorEdit);

    auto* group = new QGroupBox(QStringLiteral("Resistor standard series"), this);
    group->setGeometry(du.Rect(194, lower.m_GroupTop, 167, 28));
    m_pSeriesGroup = new QButtonGroup(this);
    constexpr std::array<int, 4> RadioLeft{204, 245, 286, 327};
    for (int i = 0; i < 4; ++i) {
        auto* radio = new QRadioButton(QStringLiteral("E%1").arg(SeriesCounts[i]), this);
        radio->setGeometry(du.Rect(RadioLeft[i], lower.m_RadioTop, 28, 10));
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
    chain(m_pSuggestButton);
    chain(m_pTransistorEdit);
    for (QAbstractButton* radio : m_pSeriesGroup->buttons()) {
        chain(radio);
    }
    chain(m_pOk);
    chain(m_pCancel);

    connect(m_pListButton, &QPushButton::clicked, this, &CCircuitDialog::OnSelectFromList);
    connect(m_pSuggestButton, &QPushButton::clicked, this, &CCircuitDialog::OnSuggest);
    connect(m_pOk, &QPushButton::clicked, this, &CCircuitDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CCircuitDialog::reject);
}

QLineEdit* CCircuitDialog::FieldEdit(InputField field) const
{
    const auto found = std::ranges::find(m_Fields, field);
    return found == m_Fields.end() ? nullptr : m_Edits[found - m_Fields.begin()];
}

QLabel* CCircuitDialog::FieldLabel(InputField field) const
{
    const auto found = std::ranges::find(m_Fields, field);
    return found == m_Fields.end() ? nullptr : m_Labels[found - m_Fields.begin()];
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
    controls.push_back(m_pSuggestButton);
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
    // Every opening shows the held requirements, not what was typed last
    // time.
    for (std::size_t i = 0; i < m_Fields.size(); ++i) {
        SetEngineeringText(m_Texts[i], m_Inputs.Value(m_Fields[i]));
    }
    m_TransistorText = TransistorName(m_Inputs.TransistorIndex());
    UpdateData(false);
    if (!m_Edits.empty()) {
        m_Edits.front()->setFocus();
        m_Edits.front()->selectAll();
    }
}

void CCircuitDialog::UpdateData(bool saveAndValidate)
{
    if (saveAndValidate) {
        for (std::size_t i = 0; i < m_Fields.size(); ++i) {
            m_Texts[i] = m_Edits[i]->text();
        }
        m_TransistorText = m_pTransistorEdit->text();
        // The group always holds a checked button once the dialog is open.
        m_Inputs.SetSeriesIndex(m_pSeriesGroup->checkedId());
    } else {
        for (std::size_t i = 0; i < m_Fields.size(); ++i) {
            m_Edits[i]->setText(m_Texts[i]);
            m_Edits[i]->setCursorPosition(0);
        }
        m_pTransistorEdit->setText(m_TransistorText);
        m_pTransistorEdit->setCursorPosition(0);
        if (QAbstractButton* radio = m_pSeriesGroup->button(m_Inputs.SeriesIndex())) {
            radio->setChecked(true);
        }
    }
}

void CCircuitDialog::OnSelectFromList()
{
    CTransistorListDialog list(this);
    list.SetSelection(m_Inputs.TransistorIndex());
    if (list.exec() != QDialog::Accepted) {
        return;
    }
    // Whatever was typed in the other fields survives the refill below.
    UpdateData(true);
    m_Inputs.SetTransistorIndex(list.GetSelection());
    m_TransistorText = TransistorName(m_Inputs.TransistorIndex());
    UpdateData(false);
}

void CCircuitDialog::OnSuggest()
{
    DesignInputs typed = m_Inputs;
    typed.SetSeriesIndex(m_pSeriesGroup->checkedId());
    const std::optional<DesignInputs> checked = CheckTyped(typed, TransistorName(typed.TransistorIndex()));
    if (!checked) {
        return;
    }
    CSuggestDialog suggest(*checked, this);
    if (suggest.exec() != QDialog::Accepted) {
        return;
    }
    m_pTransistorEdit->setText(TransistorName(suggest.GetSelection()));
    m_pTransistorEdit->setCursorPosition(0);
}

std::optional<DesignInputs> CCircuitDialog::CheckTyped(const DesignInputs& base,
                                                       const QString& transistorText)
{
    auto fieldText = [this](InputField field) -> std::string {
        const QLineEdit* edit = FieldEdit(field);
        return edit ? edit->text().toStdString() : std::string();
    };
    // The copy for the lookup holds at most 100 characters.
    const InputCheckOutcome outcome = CheckInputs(base, fieldText, transistorText.left(100).toStdString());

    switch (outcome.result) {
    case InputCheck::NotANumber:
    case InputCheck::OutOfRange: {
        // The messages about a value have no owner window.
        QMessageBox box(QMessageBox::Critical, QString::fromLatin1(InputErrorCaption),
                        QString::fromStdString(outcome.message), QMessageBox::Ok);
        box.exec();
        return std::nullopt;
    }
    case InputCheck::UnknownTransistor: {
        QMessageBox box(QMessageBox::Critical, QString::fromLatin1(InputErrorCaption),
                        QString::fromStdString(outcome.message), QMessageBox::Ok, this);
        box.exec();
        return std::nullopt;
    }
    case InputCheck::Accepted: break;
    }
    return outcome.inputs;
}

void CCircuitDialog::accept()
{
    UpdateData(true);
    const std::optional<DesignInputs> checked = CheckTyped(m_Inputs, m_TransistorText);
    if (!checked) {
        return;
    }
    m_Inputs = *checked;
    UpdateData(true);
    QDialog::accept();
}

} // namespace norvane
