#pragma once

// The single view of the main window: the start picture before the first
// calculation, afterwards the current design as text lines beside its
// schematic. It keeps nothing between paints and asks its document for
// everything.

#include "app/NorvaneApp.h"

#include <QColor>
#include <QWidget>

class QPainter;

namespace norvane {

class CNorvaneDoc;

// The colour of the verdict line: green when the design meets its
// requirements, red when it misses them or was not simulated, grey while
// it is simulated.
QColor VerdictColour(VerdictState state);

class CNorvaneView : public QWidget {
    Q_OBJECT
public:
    explicit CNorvaneView(CNorvaneDoc* document, QWidget* parent = nullptr);

    CNorvaneDoc* GetDocument() const { return m_pDocument; }

    // Draws the whole client area of the given size.
    void OnDraw(QPainter& painter, QSize client);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawResult(QPainter& painter, QSize client);

    CNorvaneDoc* m_pDocument;
};

} // namespace norvane
