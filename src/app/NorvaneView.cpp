#include "app/NorvaneView.h"

#include "app/NorvaneDoc.h"
#include "app/Resources.h"
#include "app/ViewLayout.h"

#include <QImage>
#include <QPainter>

namespace norvane {

namespace {

QString Line(const ResultItem& item)
{
    return QString::fromStdString(item.name + " = " + item.value);
}

// Draws text with the top-left corner of its line box at point, on an
// opaque white background.
void DrawText(QPainter& painter, QPoint point, const QString& text)
{
    constexpr int Unbounded = 1 << 20;
    painter.drawText(QRect(point, QSize(Unbounded, Unbounded)),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

} // namespace

QColor VerdictColour(VerdictState state)
{
    switch (state) {
    case VerdictState::Meets: return QColor(0x00, 0x70, 0x20);
    case VerdictState::Misses:
    case VerdictState::NotSimulated: return QColor(0xB0, 0x00, 0x00);
    case VerdictState::None:
    case VerdictState::Simulating: break;
    }
    return QColor(0x60, 0x60, 0x60);
}

CNorvaneView::CNorvaneView(CNorvaneDoc* document, QWidget* parent) : QWidget(parent), m_pDocument(document)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CNorvaneView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    OnDraw(painter, size());
}

void CNorvaneView::OnDraw(QPainter& painter, QSize client)
{
    if (!m_pDocument) {
        return;
    }
    switch (m_pDocument->GetLastOutcome()) {
    case CalculationOutcome::None: {
        painter.fillRect(QRect(QPoint(0, 0), client), Qt::white);
        const QImage picture(StartPicturePath);
        painter.drawImage(StartPicturePosition(client, picture.size()), picture);
        break;
    }
    case CalculationOutcome::Calculated: DrawResult(painter, client); break;
    case CalculationOutcome::NotConfirmed: break;
    }
}

void CNorvaneView::DrawResult(QPainter& painter, QSize client)
{
    painter.fillRect(QRect(QPoint(0, 0), client), Qt::white);

    const QImage schematic(SchematicPicturePath(m_pDocument->GetSchematicId()));
    const ResultList components = m_pDocument->GetComponentValues();
    const ResultList inputs = m_pDocument->GetInputData();
    const ResultList operation = m_pDocument->GetOperationPoint();
    const std::vector<std::string> notes = m_pDocument->GetNotes();
    const std::string verdict = m_pDocument->GetVerdictLine();
    const std::size_t lineCount = notes.size() + (verdict.empty() ? 0 : 1);
    const ResultLayout layout = ComputeResultLayout(
        client, schematic.size(), static_cast<int>(components.size()), static_cast<int>(inputs.size()),
        static_cast<int>(operation.size()), static_cast<int>(lineCount));

    painter.drawImage(layout.m_Schematic, schematic);

    painter.setFont(font());
    painter.setPen(Qt::black);
    painter.setBackground(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);

    DrawText(painter, layout.m_Title,
             QStringLiteral("Transistor amplifier, type: %1")
                 .arg(QString::fromStdString(m_pDocument->GetCircuitTitle())));
    // A design that cannot be built, or is doubtful, says so on the lines
    // below the title.
    painter.save();
    painter.setPen(QColor(0xB0, 0x00, 0x00));
    for (std::size_t i = 0; i < notes.size(); ++i) {
        DrawText(painter, layout.m_Notes[i], QString::fromStdString(notes[i]));
    }
    // The verdict of the simulation follows the notes.
    if (!verdict.empty()) {
        painter.setPen(VerdictColour(m_pDocument->GetVerdictState()));
        DrawText(painter, layout.m_Notes[notes.size()], QString::fromStdString(verdict));
    }
    painter.restore();
    DrawText(painter, layout.m_ResultCaption, QStringLiteral("Result:"));
    for (std::size_t i = 0; i < components.size(); ++i) {
        DrawText(painter, layout.m_Components[i], Line(components[i]));
    }
    DrawText(painter, layout.m_InputCaption, QStringLiteral("Input data:"));
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        DrawText(painter, layout.m_Inputs[i], Line(inputs[i]));
    }
    DrawText(painter, layout.m_OperationCaption, QStringLiteral("Operation point:"));
    for (std::size_t i = 0; i < operation.size(); ++i) {
        DrawText(painter, layout.m_Operations[i], Line(operation[i]));
    }
}

} // namespace norvane
