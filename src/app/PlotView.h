#pragma once

// The view of every plot of the verification window (the Bode plot and
// the analyses' plots), for reading figures off a plot rather than only
// looking at it:
// - a readout in the plot's top-left corner of what lies under the mouse
//   (for the Bode plot the frequency with the gain and the phase of the
//   curves there, elsewhere the two axes' values), gone when the mouse
//   leaves the plot;
// - zoom: drag a rectangle with the left button, or turn the wheel (about
//   the mouse), "+" and "-";
// - pan: drag with the right or middle button, or the arrow keys;
// - back to the whole plot: double-click, or Home.
// A plot drawn afresh starts whole again.

#include <QtCharts/QChartView>

#include <functional>

class QLabel;

namespace norvane {

// What the readout says of a point given in the values of the first
// series' axes; empty: nothing to say there.
using PlotReadout = std::function<QString(QPointF value)>;

class CPlotView : public QChartView {
    Q_OBJECT
public:
    explicit CPlotView(QChart* chart, QWidget* parent = nullptr);
    ~CPlotView() override;

    // The readout of the plot drawn now; none: the axes' values, each
    // after its axis' title.
    void SetReadout(PlotReadout readout);
    // What the readout shows (empty while it is hidden).
    QString ReadoutText() const;
    // Shows the readout of the point at pos (view coordinates), or hides
    // it when pos lies outside the plot area.
    void ShowReadoutAt(QPoint pos);
    void ResetZoom();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    PlotReadout m_Readout;
    QLabel* m_pReadout = nullptr;
    bool m_Panning = false;
    QPoint m_PanFrom;
};

// The default readout's text: "<x title> <x>, <y title> <y>" with each
// value in engineering notation ("frequency (Hz) 1.234 k, runs 12").
QString AxesReadout(const QString& xTitle, double x, const QString& yTitle, double y);

} // namespace norvane
