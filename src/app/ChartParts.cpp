#include "app/ChartParts.h"

#include "format/EngineeringFormat.h"

#include <QPen>
#include <QtCharts/QAbstractAxis>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>

namespace norvane {

void ClearChart(QChart& chart)
{
    chart.removeAllSeries();
    for (QAbstractAxis* axis : chart.axes()) {
        chart.removeAxis(axis);
        delete axis;
    }
    chart.setTitle(QString());
    chart.legend()->show();
}

QLineSeries* Line(const QString& name, double x0, double y0, double x1, double y1, const QPen& pen)
{
    auto* line = new QLineSeries;
    line->setName(name);
    line->append(x0, y0);
    line->append(x1, y1);
    line->setPen(pen);
    return line;
}

void Attach(QChart& chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y)
{
    chart.addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

QString WithUnit(double value, const QString& unit)
{
    const QString text = QString::fromStdString(FormatEngineering(value));
    return text.back().isLetter() ? text + unit : text + QLatin1Char(' ') + unit;
}

} // namespace norvane
