#include "app/PlotView.h"

#include "format/EngineeringFormat.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QAbstractSeries>
#include <QtCharts/QChart>
#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

// One wheel notch or "+" zooms by this factor; "-" back by its inverse.
constexpr double ZoomStep = 1.25;
// An arrow key moves the plot by this many pixels.
constexpr int PanStep = 40;

} // namespace

QString AxesReadout(const QString& xTitle, double x, const QString& yTitle, double y)
{
    return QStringLiteral("%1 %2, %3 %4")
        .arg(xTitle, QString::fromStdString(FormatEngineering(x)), yTitle,
             QString::fromStdString(FormatEngineering(y)));
}

CPlotView::CPlotView(QChart* chart, QWidget* parent) : QChartView(chart, parent)
{
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(QStringLiteral("Drag to zoom, right-drag to pan, double-click for the whole plot"));
    m_pReadout = new QLabel(this);
    m_pReadout->setObjectName(QStringLiteral("readout"));
    m_pReadout->setStyleSheet(
        QStringLiteral("QLabel { background: rgba(255, 255, 255, 230); border: 1px solid #909090; "
                       "padding: 2px 4px; }"));
    m_pReadout->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pReadout->setWordWrap(true);
    m_pReadout->hide();
}

CPlotView::~CPlotView() = default;

void CPlotView::SetReadout(PlotReadout readout)
{
    m_Readout = std::move(readout);
    m_pReadout->hide();
}

QString CPlotView::ReadoutText() const
{
    return m_pReadout->isVisible() ? m_pReadout->text() : QString();
}

void CPlotView::ShowReadoutAt(QPoint pos)
{
    QChart* plot = chart();
    const QList<QAbstractSeries*> series = plot->series();
    const QPointF at = plot->mapFromScene(mapToScene(pos));
    if (series.isEmpty() || !plot->plotArea().contains(at)) {
        m_pReadout->hide();
        return;
    }
    const QPointF value = plot->mapToValue(at, series.front());
    QString text;
    if (m_Readout) {
        text = m_Readout(value);
    } else {
        const QList<QAbstractAxis*> x = series.front()->attachedAxes();
        QString xTitle;
        QString yTitle;
        for (const QAbstractAxis* axis : x) {
            (axis->orientation() == Qt::Horizontal ? xTitle : yTitle) = axis->titleText();
        }
        text = AxesReadout(xTitle, value.x(), yTitle, value.y());
    }
    if (text.isEmpty()) {
        m_pReadout->hide();
        return;
    }
    // Within the plot area: a long readout wraps rather than running over
    // the axis or out of the view (large fonts, a narrow plot).
    const QRectF area = mapFromScene(plot->mapToScene(plot->plotArea())).boundingRect();
    m_pReadout->setText(text);
    m_pReadout->setMaximumWidth(std::max(80, static_cast<int>(area.width()) - 8));
    m_pReadout->adjustSize();
    m_pReadout->move(area.topLeft().toPoint() + QPoint(4, 4));
    m_pReadout->show();
    m_pReadout->raise();
}

void CPlotView::ResetZoom()
{
    chart()->zoomReset();
}

void CPlotView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        m_Panning = true;
        m_PanFrom = event->position().toPoint();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void CPlotView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_Panning) {
        const QPoint moved = pos - m_PanFrom;
        chart()->scroll(-moved.x(), moved.y());
        m_PanFrom = pos;
    }
    ShowReadoutAt(pos);
    QChartView::mouseMoveEvent(event);
}

void CPlotView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_Panning && (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton)) {
        // QChartView would zoom out on a right-button release.
        m_Panning = false;
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void CPlotView::mouseDoubleClickEvent(QMouseEvent* event)
{
    ResetZoom();
    event->accept();
}

void CPlotView::wheelEvent(QWheelEvent* event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0) {
        return;
    }
    // About the mouse: the point under it stays where it is.
    QChart* plot = chart();
    const QPointF at = plot->mapFromScene(mapToScene(event->position().toPoint()));
    const QRectF area = plot->plotArea();
    const double factor = std::pow(ZoomStep, notches);
    QRectF zoomed(0, 0, area.width() / factor, area.height() / factor);
    zoomed.moveCenter(at + (area.center() - at) / factor);
    plot->zoomIn(zoomed);
    event->accept();
}

void CPlotView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Plus: chart()->zoom(ZoomStep); break;
    case Qt::Key_Minus: chart()->zoom(1.0 / ZoomStep); break;
    case Qt::Key_Left: chart()->scroll(-PanStep, 0); break;
    case Qt::Key_Right: chart()->scroll(PanStep, 0); break;
    case Qt::Key_Up: chart()->scroll(0, PanStep); break;
    case Qt::Key_Down: chart()->scroll(0, -PanStep); break;
    case Qt::Key_Home: ResetZoom(); break;
    default: QChartView::keyPressEvent(event); return;
    }
    event->accept();
}

void CPlotView::leaveEvent(QEvent* event)
{
    m_pReadout->hide();
    QChartView::leaveEvent(event);
}

} // namespace norvane
