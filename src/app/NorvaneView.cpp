#include "app/NorvaneView.h"

#include "app/NorvaneDoc.h"
#include "app/Resources.h"
#include "app/ViewLayout.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cstdlib>

namespace norvane {

namespace {

// The size a picture's header gives, without decoding it: the layout asks
// for it on every resize.
QSize PictureSize(const QString& path)
{
    return QImageReader(path).size();
}

QString Line(const ResultItem& item)
{
    return QString::fromStdString(item.name + " = " + item.value);
}

// A doubt about the design in the error colour; a change the user made
// (a tuning applied) in a quiet one.
const QColor NoteColour(0xB0, 0x00, 0x00);
const QColor ChangeNoteColour(0x30, 0x40, 0x70);

} // namespace

QStringList WrapLine(const QFontMetrics& metrics, const QString& text, int width)
{
    QStringList lines;
    QString line;
    const auto fits = [&](const QString& piece) { return metrics.horizontalAdvance(piece) <= width; };
    for (QString word : text.split(QLatin1Char(' '))) {
        const QString joined = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (fits(joined)) {
            line = joined;
            continue;
        }
        if (!line.isEmpty()) {
            lines.append(line);
        }
        // A word too wide for a line of its own is broken where it must.
        while (!fits(word) && word.size() > 1) {
            qsizetype take = word.size() - 1;
            while (take > 1 && !fits(word.left(take))) {
                --take;
            }
            lines.append(word.left(take));
            word = word.mid(take);
        }
        line = word;
    }
    if (!line.isEmpty() || lines.isEmpty()) {
        lines.append(line);
    }
    return lines;
}

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

void CNorvaneView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The notes wrap to the width: the height the view needs follows it.
    if (event->size().width() != event->oldSize().width()) {
        updateGeometry();
    }
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

QSize CNorvaneView::minimumSizeHint() const
{
    if (!m_pDocument || m_pDocument->GetLastOutcome() != CalculationOutcome::Calculated) {
        return PictureSize(StartPicturePath);
    }
    const QSize schematic = PictureSize(SchematicPicturePath(m_pDocument->GetSchematicId()));
    // As narrow as the schematic and the lines beside it allow, set as far
    // left as the layout lets them; the notes wrap to any width.
    const auto extent = [&](QSize client) {
        QPoint schematicAt;
        QRect drawn;
        for (const ViewLine& line : ResultLines(client, &schematicAt)) {
            drawn = drawn.united(line.m_Box);
        }
        drawn = drawn.united(QRect(schematicAt, schematic));
        return QSize(drawn.right() + 1 + ViewLeftMargin, drawn.bottom() + 1 + ViewLeftMargin);
    };
    const int width = extent(QSize(0, 0)).width();
    // As low as everything is at the width the view has.
    return QSize(width, extent(QSize(std::max(width, this->width()), 0)).height());
}

std::vector<ViewLine> CNorvaneView::ResultLines(QSize client, QPoint* schematicAt) const
{
    std::vector<ViewLine> lines;
    if (!m_pDocument || m_pDocument->GetLastOutcome() != CalculationOutcome::Calculated) {
        return lines;
    }
    const QSize schematic = PictureSize(SchematicPicturePath(m_pDocument->GetSchematicId()));
    const ResultList components = m_pDocument->GetComponentValues();
    const ResultList inputs = m_pDocument->GetInputData();
    const ResultList operation = m_pDocument->GetOperationPoint();
    // A design that cannot be built, or is doubtful, says so on the lines
    // below the title, the verdict of the simulation follows; each wraps.
    const QFontMetrics metrics = fontMetrics();
    const int width = std::max(client.width() - 2 * ViewLeftMargin, metrics.averageCharWidth() * 10);
    std::vector<std::pair<QString, QColor>> notes;
    for (const std::string& note : m_pDocument->GetNotes()) {
        const QColor colour = m_pDocument->IsChangeNote(note) ? ChangeNoteColour : NoteColour;
        for (const QString& piece : WrapLine(metrics, QString::fromStdString(note), width)) {
            notes.emplace_back(piece, colour);
        }
    }
    const std::string verdict = m_pDocument->GetVerdictLine();
    if (!verdict.empty()) {
        for (const QString& piece : WrapLine(metrics, QString::fromStdString(verdict), width)) {
            notes.emplace_back(piece, VerdictColour(m_pDocument->GetVerdictState()));
        }
    }
    const ResultLayout layout = ComputeResultLayout(
        client, schematic, static_cast<int>(components.size()), static_cast<int>(inputs.size()),
        static_cast<int>(operation.size()), static_cast<int>(notes.size()));
    if (schematicAt) {
        *schematicAt = layout.m_Schematic;
    }
    const auto add = [&](QPoint at, const QString& text, const QColor& colour = Qt::black) {
        lines.push_back({QRect(at, QSize(metrics.horizontalAdvance(text), metrics.height())), text, colour});
    };
    add(layout.m_Title, QStringLiteral("Transistor amplifier, type: %1")
                            .arg(QString::fromStdString(m_pDocument->GetCircuitTitle())));
    for (std::size_t i = 0; i < notes.size(); ++i) {
        add(layout.m_Notes[i], notes[i].first, notes[i].second);
    }
    add(layout.m_InputCaption, QStringLiteral("Input data:"));
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        add(layout.m_Inputs[i], Line(inputs[i]));
    }
    add(layout.m_ResultCaption, QStringLiteral("Result:"));
    for (std::size_t i = 0; i < components.size(); ++i) {
        add(layout.m_Components[i], Line(components[i]));
    }
    add(layout.m_OperationCaption, QStringLiteral("Operation point:"));
    for (std::size_t i = 0; i < operation.size(); ++i) {
        add(layout.m_Operations[i], Line(operation[i]));
    }
    return lines;
}

void CNorvaneView::DrawResult(QPainter& painter, QSize client)
{
    painter.fillRect(QRect(QPoint(0, 0), client), Qt::white);
    const QImage schematic(SchematicPicturePath(m_pDocument->GetSchematicId()));
    QPoint schematicAt;
    const std::vector<ViewLine> lines = ResultLines(client, &schematicAt);
    painter.drawImage(schematicAt, schematic);
    painter.setFont(font());
    painter.setBackgroundMode(Qt::OpaqueMode);
    const int first = std::min(m_Anchor, m_Cursor);
    const int last = std::max(m_Anchor, m_Cursor);
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const ViewLine& line = lines[static_cast<std::size_t>(i)];
        const bool selected = first >= 0 && i >= first && i <= last;
        painter.setPen(selected ? palette().highlightedText().color() : line.m_Colour);
        painter.setBackground(selected ? palette().highlight() : QBrush(Qt::white));
        painter.drawText(line.m_Box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, line.m_Text);
    }
}

int CNorvaneView::LineAt(QPoint point, bool nearest) const
{
    const std::vector<ViewLine> lines = ResultLines(size());
    int found = -1;
    int distance = 0;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        const QRect& box = lines[static_cast<std::size_t>(i)].m_Box;
        if (box.contains(point)) {
            return i;
        }
        const int away = std::abs(box.center().y() - point.y()) + std::abs(box.center().x() - point.x()) / 4;
        if (nearest && (found < 0 || away < distance)) {
            found = i;
            distance = away;
        }
    }
    return found;
}

QString CNorvaneView::SelectedText() const
{
    if (m_Anchor < 0) {
        return {};
    }
    const std::vector<ViewLine> lines = ResultLines(size());
    QStringList texts;
    const int last = std::min(std::max(m_Anchor, m_Cursor), static_cast<int>(lines.size()) - 1);
    for (int i = std::min(m_Anchor, m_Cursor); i <= last; ++i) {
        texts.append(lines[static_cast<std::size_t>(i)].m_Text);
    }
    return texts.join(QLatin1Char('\n'));
}

void CNorvaneView::CopySelection(QPoint point)
{
    QString text = SelectedText();
    if (text.isEmpty()) {
        const int at = LineAt(point, false);
        if (at < 0) {
            return;
        }
        text = ResultLines(size())[static_cast<std::size_t>(at)].m_Text;
    }
    QGuiApplication::clipboard()->setText(text);
}

void CNorvaneView::CopyAll()
{
    QStringList texts;
    for (const ViewLine& line : ResultLines(size())) {
        texts.append(line.m_Text);
    }
    if (!texts.isEmpty()) {
        QGuiApplication::clipboard()->setText(texts.join(QLatin1Char('\n')));
    }
}

void CNorvaneView::ClearSelection()
{
    m_Anchor = m_Cursor = -1;
    update();
}

void CNorvaneView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_Anchor = m_Cursor = LineAt(event->position().toPoint(), false);
        update();
    }
    QWidget::mousePressEvent(event);
}

void CNorvaneView::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) && m_Anchor >= 0) {
        m_Cursor = LineAt(event->position().toPoint(), true);
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void CNorvaneView::contextMenuEvent(QContextMenuEvent* event)
{
    if (ResultLines(size()).empty()) {
        return;
    }
    QMenu menu(this);
    const QPoint at = event->pos();
    menu.addAction(QStringLiteral("&Copy"), this, [this, at] { CopySelection(at); });
    menu.addAction(QStringLiteral("Copy &all"), this, &CNorvaneView::CopyAll);
    menu.exec(event->globalPos());
}

} // namespace norvane
