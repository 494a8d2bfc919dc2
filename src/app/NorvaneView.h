#pragma once

// The single view of the main window: the start picture before the first
// calculation, afterwards the current design as text lines beside its
// schematic. It keeps nothing of the design between paints and asks its
// document for everything.
//
// The notes and the verdict line below the title wrap at the right edge
// of the window, each continuation on a line of its own, so that nothing
// is cut off. The lines can be copied as text: pressing on a line and
// dragging selects whole lines (drawn highlighted), and the context menu
// copies the selection (or the line under the mouse) or all lines, in
// reading order.

#include "app/NorvaneApp.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QPainter;

namespace norvane {

class CNorvaneDoc;

// The colour of the verdict line: green when the design meets its
// requirements, red when it misses them or was not simulated, grey while
// it is simulated.
QColor VerdictColour(VerdictState state);

// The pieces of text of a wrapped line, none wider than width pixels in
// metrics' font; a word wider than that alone is broken inside.
QStringList WrapLine(const QFontMetrics& metrics, const QString& text, int width);

// One line of text the view draws: its box and its colour.
struct ViewLine {
    QRect m_Box; // top-left corner at the layout's point, as wide as the text
    QString m_Text;
    QColor m_Colour;
};

class CNorvaneView : public QWidget {
    Q_OBJECT
public:
    explicit CNorvaneView(CNorvaneDoc* document, QWidget* parent = nullptr);

    CNorvaneDoc* GetDocument() const { return m_pDocument; }

    // Draws the whole client area of the given size.
    void OnDraw(QPainter& painter, QSize client);

    // Every text line of the result in a client area of that size, in
    // reading order (title, notes, verdict, input data, result, operation
    // point); none before the first calculation. schematicAt, if given,
    // gets the schematic's top-left corner.
    std::vector<ViewLine> ResultLines(QSize client, QPoint* schematicAt = nullptr) const;
    // The selected lines, one per line; empty when none is selected.
    QString SelectedText() const;
    // Puts the selected lines (or, with none, the line at point) on the
    // clipboard; or every line.
    void CopySelection(QPoint point = QPoint(-1, -1));
    void CopyAll();
    void ClearSelection();

    // The least room the drawing takes: the schematic and the lists beside
    // it as far up and left as the layout sets them, and the notes wrapped
    // to the view's width. A scroll area gives the view no less.
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void DrawResult(QPainter& painter, QSize client);
    // The line whose box holds point (-1: none); nearest: else the line
    // nearest to it.
    int LineAt(QPoint point, bool nearest) const;

    CNorvaneDoc* m_pDocument;
    // The selected lines, from anchor to cursor either way; -1: none.
    int m_Anchor = -1;
    int m_Cursor = -1;
};

} // namespace norvane
