#include "app/RobustnessTab.h"

#include "app/NorvaneView.h"
#include "app/TableFit.h"
#include "format/EngineeringFormat.h"
#include "present/RobustnessText.h"
#include "workflow/DesignWorkflow.h"

#include <QComboBox>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <string_view>

namespace norvane {

namespace {

const QColor Blue(0x10, 0x40, 0xC0);
const QColor Orange(0xD0, 0x70, 0x00);
const QColor Green(0x20, 0x80, 0x20);
const QColor Grey(0x60, 0x60, 0x60);

// The unit of a tolerance quantity (ToleranceQuantities) on a plot axis;
// all but the gain take an SI prefix there ("mA").
struct AxisUnit {
    const char* m_Unit;
    bool m_Prefixed;
};

AxisUnit AxisUnitOf(std::string_view quantity)
{
    if (quantity == "Ic") {
        return {"A", true};
    }
    if (quantity == "Uce") {
        return {"V", true};
    }
    if (quantity == "gain") {
        return {"dB", false};
    }
    if (quantity == "f_-3dB") {
        return {"Hz", true};
    }
    return {"ohm", true}; // Z_in, Z_out
}

// The histogram has about sqrt(runs) bars, within these bounds.
constexpr int FewestBins = 5;
constexpr int MostBins = 40;

// The least span of a temperature plot's axis: a share of the value, or
// dB for the gain.
constexpr double LeastDriftShare = 0.1;
constexpr double LeastDriftDb = 1.0;

// An SI prefix for a plot axis: values divided by m_Unit show with one to
// three digits before the point.
struct AxisScale {
    double m_Unit = 1.0;
    QString m_Prefix;
};

AxisScale ScaleFor(double typical)
{
    static const char* const Prefixes[] = {"p", "n", "u", "m", "", "k", "M", "G"};
    constexpr int Unprefixed = 4;
    int thousands = 0;
    if (std::isfinite(typical) && typical != 0.0) {
        thousands =
            std::clamp(static_cast<int>(std::floor(std::log10(std::abs(typical)) / 3.0)), -Unprefixed, 3);
    }
    return {std::pow(1000.0, thousands), QString::fromLatin1(Prefixes[thousands + Unprefixed])};
}

// "4.7 kHz", "100 Hz": the engineering text with its prefix joined to the unit.
QString WithUnit(double value, const QString& unit)
{
    const QString text = QString::fromStdString(FormatEngineering(value));
    return text.back().isLetter() ? text + unit : text + QLatin1Char(' ') + unit;
}

// A linear axis over low..high widened to whole steps of 1, 2 or 5 x 10^n,
// about AxisSteps of them (at least leastStep each), labelled at every step
// with as many decimals as the step needs. The labels are written here, not
// by printf on the axis: a sum of steps that misses 0 by 1e-16 must not show
// as "1.11e-16".
constexpr double AxisSteps = 6.0;

QCategoryAxis* NiceAxis(const QString& title, double low, double high, double leastStep = 0.0)
{
    if (!(high > low)) {
        // A flat quantity: a small band around it, not a line on the edge.
        const double pad = low != 0.0 ? 0.01 * std::abs(low) : 1.0;
        low -= pad;
        high += pad;
    }
    const double rough = (high - low) / AxisSteps;
    const double decade = std::pow(10.0, std::floor(std::log10(rough)));
    const double mantissa = rough / decade;
    const double step = std::max(leastStep, decade * (mantissa <= 1.0   ? 1.0
                                                      : mantissa <= 2.0 ? 2.0
                                                      : mantissa <= 5.0 ? 5.0
                                                                        : 10.0));
    const long long first = static_cast<long long>(std::floor(low / step + 1e-9));
    const long long last = static_cast<long long>(std::ceil(high / step - 1e-9));
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    auto* axis = new QCategoryAxis;
    axis->setTitleText(title);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(first * step);
    axis->setRange(first * step, last * step);
    for (long long i = first; i <= last; ++i) {
        axis->append(QString::number(i * step, 'f', decimals), i * step);
    }
    return axis;
}

// A line from (x0, y0) to (x1, y1).
QLineSeries* Line(const QString& name, double x0, double y0, double x1, double y1, const QPen& pen)
{
    auto* line = new QLineSeries;
    line->setName(name);
    line->append(x0, y0);
    line->append(x1, y1);
    line->setPen(pen);
    return line;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y)
{
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

// An axis in the colour of the one series it belongs to.
void Colour(QAbstractAxis* axis, const QColor& colour)
{
    axis->setLabelsColor(colour);
    axis->setTitleBrush(colour);
    axis->setLinePenColor(colour);
}

QString IdleText(RobustnessKind kind)
{
    switch (kind) {
    case RobustnessKind::Tolerance:
        return QStringLiteral(
                   "Run simulates the design again and again, each resistor drawn within its series' "
                   "tolerance, each capacitor within %1 %, BF and IS within x/%2.")
            .arg(CapacitorTolerance * 100)
            .arg(CurrentGainSpread);
    case RobustnessKind::Temperature:
        return QStringLiteral("Run simulates the design at -25, 0, 25, 50 and 85 degC.");
    case RobustnessKind::Distortion:
        return QStringLiteral(
            "Run finds how far the output can swing before it clips, and the distortion of a "
            "sine at 10 x f_min.");
    case RobustnessKind::Noise:
        return QStringLiteral("Run finds the noise referred to the input, with the source resistance given "
                              "below.");
    }
    return {};
}

} // namespace

QString RobustnessTitle(RobustnessKind kind)
{
    switch (kind) {
    case RobustnessKind::Tolerance: return QStringLiteral("Tolerances");
    case RobustnessKind::Temperature: return QStringLiteral("Temperature");
    case RobustnessKind::Distortion: return QStringLiteral("Distortion");
    case RobustnessKind::Noise: return QStringLiteral("Noise");
    }
    return {};
}

RobustnessJob MakeRobustnessJob(RobustnessKind kind, std::shared_ptr<const AmplifierDesign> design,
                                VerificationOptions options, ToleranceOptions tolerance)
{
    return [kind, design = std::move(design), options = std::move(options),
            tolerance](const AnalysisProgress& progress) {
        AnalysisRequest request;
        switch (kind) {
        case RobustnessKind::Tolerance:
            request.m_ToleranceRuns = tolerance.m_Runs;
            request.m_Seed = tolerance.m_Seed;
            break;
        case RobustnessKind::Temperature: request.m_Temperature = true; break;
        case RobustnessKind::Distortion: request.m_Distortion = true; break;
        case RobustnessKind::Noise: request.m_Noise = true; break;
        }
        return RunAnalyses(*design, options, request, progress);
    };
}

CRobustnessTab::CRobustnessTab(RobustnessKind kind, QWidget* parent) : QWidget(parent), m_Kind(kind)
{
    m_pRun = new QPushButton(QStringLiteral("&Run"));
    auto* controls = new QHBoxLayout;
    controls->addWidget(m_pRun);
    if (kind == RobustnessKind::Tolerance) {
        m_pRuns = new QSpinBox;
        m_pRuns->setObjectName(QStringLiteral("runs"));
        m_pRuns->setRange(1, MaximumToleranceRuns);
        m_pRuns->setValue(DefaultToleranceRuns);
        m_pSeed = new QLineEdit(QString::number(DefaultToleranceSeed));
        m_pSeed->setObjectName(QStringLiteral("seed"));
        m_pSeed->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,20}")), m_pSeed));
        m_pSeed->setMaximumWidth(m_pSeed->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 14);
        controls->addWidget(new QLabel(QStringLiteral("Runs:")));
        controls->addWidget(m_pRuns);
        controls->addWidget(new QLabel(QStringLiteral("Seed:")));
        controls->addWidget(m_pSeed);
    }
    m_pProgress = new QProgressBar;
    m_pProgress->setRange(0, 100);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"));
    controls->addWidget(m_pProgress, 1);
    controls->addWidget(m_pCancel);
    controls->addStretch(0);

    m_pLine = new QLabel;
    m_pLine->setWordWrap(true);
    m_pLine->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_pChart = new QChart;
    m_pChart->legend()->setAlignment(Qt::AlignBottom);
    // The plot gets the room the window has: no frame around the chart.
    m_pChart->layout()->setContentsMargins(0, 0, 0, 0);
    m_pChart->setBackgroundRoundness(0);
    // Room on the right for half of an axis' last label ("10000").
    m_pChart->setMargins(QMargins(4, 4, 20, 4));
    m_pChartView = new QChartView(m_pChart);
    m_pChartView->setRenderHint(QPainter::Antialiasing);
    m_pChartView->setMinimumSize(300, 220);
    auto* plot = new QWidget;
    auto* plotLayout = new QVBoxLayout(plot);
    plotLayout->setContentsMargins(0, 0, 0, 0);
    if (kind == RobustnessKind::Tolerance) {
        m_pQuantity = new QComboBox;
        for (const ToleranceQuantity& quantity : ToleranceQuantities) {
            m_pQuantity->addItem(QString::fromLatin1(quantity.m_Name));
        }
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Histogram of:")));
        row->addWidget(m_pQuantity);
        row->addStretch(1);
        plotLayout->addLayout(row);
        connect(m_pQuantity, &QComboBox::currentIndexChanged, this, [this] {
            ClearPlot();
            DrawPlot();
        });
    }
    plotLayout->addWidget(m_pChartView, 1);

    m_pTable = new QTableWidget;
    m_pTable->verticalHeader()->hide();
    // Rows as high as their text: the distortion's thirteen fit in view.
    m_pTable->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->horizontalHeader()->setStretchLastSection(true);

    m_pSplitter = new QSplitter(Qt::Horizontal);
    m_pSplitter->addWidget(plot);
    m_pSplitter->addWidget(m_pTable);
    // The table is as wide as its columns (FitTableBeside); the plot takes
    // the rest.
    m_pSplitter->setStretchFactor(0, 1);
    m_pSplitter->setStretchFactor(1, 0);
    m_pSplitter->setSizes({700, 300});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_pLine);
    layout->addWidget(m_pSplitter, 1);

    connect(m_pRun, &QPushButton::clicked, this, &CRobustnessTab::RunRequested);
    connect(m_pCancel, &QPushButton::clicked, this, [this] {
        m_Runner.Cancel();
        m_pCancel->setEnabled(false);
        SetLine(QStringLiteral("Cancelling..."), Grey);
    });
    connect(&m_Runner, &CRobustnessRunner::Progress, this, &CRobustnessTab::OnProgress);
    connect(&m_Runner, &CRobustnessRunner::Finished, this, &CRobustnessTab::OnFinished);
    Clear();
}

CRobustnessTab::~CRobustnessTab() = default;

Expected<ToleranceOptions> CRobustnessTab::ReadToleranceOptions() const
{
    ToleranceOptions options;
    if (m_pRuns) {
        options.m_Runs = m_pRuns->value();
    }
    if (m_pSeed) {
        bool ok = false;
        options.m_Seed = m_pSeed->text().trimmed().toULongLong(&ok);
        if (!ok) {
            return Failure{"Seed: \"" + m_pSeed->text().toStdString() + "\" is not a whole number"};
        }
    }
    return options;
}

void CRobustnessTab::Start(RobustnessJob job)
{
    ClearPlot();
    m_pTable->setRowCount(0);
    const bool had = !m_Result.Empty();
    m_Result = {};
    if (had) {
        Q_EMIT ResultChanged();
    }
    m_pProgress->setValue(0);
    SetRunning(true);
    SetLine(QStringLiteral("Running..."), Grey);
    m_Runner.Start(std::move(job));
}

void CRobustnessTab::ShowProblem(const QString& problem)
{
    SetLine(problem, VerdictColour(VerdictState::NotSimulated));
}

void CRobustnessTab::Clear()
{
    m_Runner.Drop();
    SetRunning(false);
    const bool had = !m_Result.Empty();
    m_Result = {};
    ClearPlot();
    m_pTable->setRowCount(0);
    m_pTable->setColumnCount(0);
    SetLine(IdleText(m_Kind), Grey);
    if (had) {
        Q_EMIT ResultChanged();
    }
}

QString CRobustnessTab::LineText() const
{
    return m_pLine->text();
}

void CRobustnessTab::OnProgress(int done, int total)
{
    m_pProgress->setValue(total > 0 ? static_cast<int>(100LL * done / total) : 0);
}

void CRobustnessTab::OnFinished(const RobustnessResults& results)
{
    SetRunning(false);
    // The failure of whichever member the run filled.
    std::string failure;
    const auto failureOf = [&failure](const auto& member) {
        if (member && !*member) {
            failure = member->Message();
        }
    };
    failureOf(results.m_Tolerance);
    failureOf(results.m_Temperature);
    failureOf(results.m_Distortion);
    failureOf(results.m_Noise);
    if (failure == AnalysisCancelled) {
        SetLine(QLatin1String(CancelledText), Grey);
        return;
    }
    m_Result = results;
    if (!failure.empty()) {
        ShowProblem(QStringLiteral("Not simulated: ") + QString::fromStdString(failure));
    } else {
        ShowResult();
    }
    Q_EMIT ResultChanged();
}

void CRobustnessTab::SetRunning(bool running)
{
    m_pRun->setEnabled(!running);
    m_pProgress->setVisible(running);
    m_pCancel->setVisible(running);
    m_pCancel->setEnabled(running);
}

void CRobustnessTab::SetLine(const QString& text, const QColor& colour)
{
    m_pLine->setText(text);
    m_pLine->setStyleSheet(QStringLiteral("color: %1").arg(colour.name()));
}

void CRobustnessTab::ShowResult()
{
    std::string line;
    TextTable table;
    if (m_Result.m_Tolerance) {
        line = ToleranceLine(**m_Result.m_Tolerance);
        table = ToleranceTable(**m_Result.m_Tolerance);
    } else if (m_Result.m_Temperature) {
        line = TemperatureLine(**m_Result.m_Temperature);
        table = TemperatureTable(**m_Result.m_Temperature);
    } else if (m_Result.m_Distortion) {
        line = DistortionLine(**m_Result.m_Distortion);
        table = DistortionTable(**m_Result.m_Distortion);
    } else if (m_Result.m_Noise) {
        line = NoiseLine(**m_Result.m_Noise);
        table = NoiseTable(**m_Result.m_Noise);
    }
    SetLine(QString::fromStdString(line), palette().color(QPalette::WindowText));
    FillTable(table);
    DrawPlot();
}

void CRobustnessTab::FillTable(const TextTable& table)
{
    if (table.empty()) {
        return;
    }
    const int columns = static_cast<int>(table.front().size());
    m_pTable->setColumnCount(columns);
    QStringList titles;
    for (const std::string& title : table.front()) {
        titles << QString::fromStdString(title);
    }
    m_pTable->setHorizontalHeaderLabels(titles);
    m_pTable->setRowCount(static_cast<int>(table.size()) - 1);
    for (int row = 0; row < m_pTable->rowCount(); ++row) {
        const std::vector<std::string>& cells = table[static_cast<std::size_t>(row) + 1];
        for (int column = 0; column < columns && column < static_cast<int>(cells.size()); ++column) {
            auto* item =
                new QTableWidgetItem(QString::fromStdString(cells[static_cast<std::size_t>(column)]));
            item->setTextAlignment(Qt::AlignVCenter | (column == 0 ? Qt::AlignLeft : Qt::AlignRight));
            m_pTable->setItem(row, column, item);
        }
    }
    FitTableBeside(*m_pTable, *m_pSplitter);
}

void CRobustnessTab::ClearPlot()
{
    m_pChart->removeAllSeries();
    for (QAbstractAxis* axis : m_pChart->axes()) {
        m_pChart->removeAxis(axis);
        delete axis;
    }
    m_pChart->setTitle(QString());
    m_pChart->legend()->show();
}

void CRobustnessTab::DrawPlot()
{
    if (m_Result.m_Tolerance && *m_Result.m_Tolerance) {
        DrawHistogram(**m_Result.m_Tolerance);
    } else if (m_Result.m_Temperature && *m_Result.m_Temperature) {
        DrawTemperature(**m_Result.m_Temperature);
    } else if (m_Result.m_Distortion && *m_Result.m_Distortion) {
        DrawWaveform(**m_Result.m_Distortion);
    } else if (m_Result.m_Noise && *m_Result.m_Noise) {
        DrawNoise(**m_Result.m_Noise);
    }
}

void CRobustnessTab::DrawHistogram(const ToleranceAnalysis& analysis)
{
    const ToleranceQuantity& quantity =
        ToleranceQuantities[static_cast<std::size_t>(std::max(0, m_pQuantity->currentIndex()))];
    const Distribution& distribution = analysis.*quantity.m_Values;
    const AxisUnit unit = AxisUnitOf(quantity.m_Name);
    std::vector<double> values;
    std::ranges::copy_if(distribution.m_Values, std::back_inserter(values),
                         [](double v) { return std::isfinite(v); });
    const QString name = QString::fromLatin1(quantity.m_Name);
    m_pChart->setTitle(QStringLiteral("%1 over %2 runs").arg(name).arg(values.size()));
    if (values.empty()) {
        return;
    }
    const AxisScale scale = unit.m_Prefixed ? ScaleFor(distribution.m_Median) : AxisScale{};
    for (double& v : values) {
        v /= scale.m_Unit;
    }
    const auto [lowest, highest] = std::ranges::minmax(values);
    double low = lowest;
    double high = highest;
    if (!(high > low)) {
        const double pad = low != 0.0 ? 0.01 * std::abs(low) : 1.0;
        low -= pad;
        high += pad;
    }
    const int bins = std::clamp(static_cast<int>(std::ceil(std::sqrt(values.size()))), FewestBins, MostBins);
    const double width = (high - low) / bins;
    std::vector<int> counts(static_cast<std::size_t>(bins), 0);
    for (double v : values) {
        ++counts[static_cast<std::size_t>(std::clamp(static_cast<int>((v - low) / width), 0, bins - 1))];
    }
    // The bars as one outline: up and across each bin. An area series
    // does not own its outline: it is the area's child, and goes with it.
    auto* bars = new QAreaSeries;
    auto* outline = new QLineSeries(bars);
    outline->append(low, 0.0);
    for (int i = 0; i < bins; ++i) {
        outline->append(low + i * width, counts[static_cast<std::size_t>(i)]);
        outline->append(low + (i + 1) * width, counts[static_cast<std::size_t>(i)]);
    }
    outline->append(high, 0.0);
    bars->setUpperSeries(outline);
    bars->setName(QStringLiteral("runs per bar"));
    bars->setColor(QColor(0xA0, 0xB8, 0xE8));
    bars->setBorderColor(Blue);

    auto* xAxis = NiceAxis(QStringLiteral("%1 (%2%3)").arg(name, scale.m_Prefix, QLatin1String(unit.m_Unit)),
                           low, high);
    const int most = *std::ranges::max_element(counts);
    auto* yAxis = NiceAxis(QStringLiteral("runs"), 0.0, most * 1.1, 1.0);
    m_pChart->addAxis(xAxis, Qt::AlignBottom);
    m_pChart->addAxis(yAxis, Qt::AlignLeft);
    Attach(m_pChart, bars, xAxis, yAxis);
    const double top = yAxis->max();
    const QPen medianPen(QColor(0xC0, 0x20, 0x20), 2.0);
    const QPen percentilePen(QColor(0xC0, 0x20, 0x20), 1.5, Qt::DashLine);
    for (const auto& [label, value, pen] :
         {std::tuple{QStringLiteral("median"), distribution.m_Median, medianPen},
          std::tuple{QStringLiteral("1st and 99th percentile"), distribution.m_Low, percentilePen},
          std::tuple{QString(), distribution.m_High, percentilePen}}) {
        if (std::isfinite(value)) {
            const double x = value / scale.m_Unit;
            Attach(m_pChart, Line(label, x, 0.0, x, top, pen), xAxis, yAxis);
        }
    }
    // The second percentile line shares the first one's entry.
    for (QLegendMarker* marker : m_pChart->legend()->markers()) {
        marker->setVisible(!marker->label().isEmpty());
    }
}

void CRobustnessTab::DrawTemperature(const TemperatureAnalysis& analysis)
{
    const std::vector<TemperaturePoint>& points = analysis.m_Points;
    if (points.empty()) {
        return;
    }
    m_pChart->setTitle(QStringLiteral("Ic, Uce and gain (at %1) against temperature")
                           .arg(WithUnit(analysis.m_MidbandFrequency, QStringLiteral("Hz"))));
    auto* xAxis = new QCategoryAxis;
    xAxis->setTitleText(QStringLiteral("temperature (degC)"));
    xAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    xAxis->setRange(points.front().m_Celsius - 10.0, points.back().m_Celsius + 10.0);
    for (const TemperaturePoint& p : points) {
        xAxis->append(QString::number(p.m_Celsius), p.m_Celsius);
    }
    m_pChart->addAxis(xAxis, Qt::AlignBottom);

    struct Curve {
        const char* m_Name;
        double TemperaturePoint::*m_Member;
        const char* m_Unit;
        bool m_Prefixed;
        QColor m_Colour;
        Qt::Alignment m_Side;
    };
    const Curve curves[] = {
        {"Ic", &TemperaturePoint::m_Ic, "A", true, Blue, Qt::AlignLeft},
        {"Uce", &TemperaturePoint::m_Uce, "V", true, Orange, Qt::AlignRight},
        {"gain", &TemperaturePoint::m_GainDb, "dB", false, Green, Qt::AlignRight},
    };
    for (const Curve& curve : curves) {
        const AxisScale scale =
            curve.m_Prefixed ? ScaleFor(points[points.size() / 2].*curve.m_Member) : AxisScale{};
        auto* series = new QLineSeries;
        series->setName(QString::fromLatin1(curve.m_Name));
        series->setPen(QPen(curve.m_Colour, 2.0));
        series->setPointsVisible(true);
        double low = INFINITY;
        double high = -INFINITY;
        for (const TemperaturePoint& p : points) {
            const double value = p.*curve.m_Member / scale.m_Unit;
            if (std::isfinite(value)) {
                series->append(p.m_Celsius, value);
                low = std::min(low, value);
                high = std::max(high, value);
            }
        }
        if (series->count() == 0) {
            delete series;
            continue;
        }
        // Each axis spans at least LeastDriftShare of its value (LeastDriftDb
        // for the gain): a drift too small to matter looks small.
        const double middle = 0.5 * (low + high);
        const double span = std::max(1.2 * (high - low),
                                     curve.m_Prefixed ? LeastDriftShare * std::abs(middle) : LeastDriftDb);
        auto* yAxis =
            NiceAxis(QStringLiteral("%1 (%2%3)")
                         .arg(QLatin1String(curve.m_Name), scale.m_Prefix, QLatin1String(curve.m_Unit)),
                     middle - span / 2, middle + span / 2);
        yAxis->setGridLineVisible(curve.m_Side == Qt::AlignLeft);
        Colour(yAxis, curve.m_Colour);
        m_pChart->addAxis(yAxis, curve.m_Side);
        Attach(m_pChart, series, xAxis, yAxis);
    }
}

void CRobustnessTab::DrawWaveform(const DistortionAnalysis& analysis)
{
    const std::vector<std::pair<double, double>>& wave = analysis.m_Waveform;
    m_pChart->setTitle(QStringLiteral("output over one period: %1 peak at %2")
                           .arg(WithUnit(analysis.m_Amplitude, QStringLiteral("V")),
                                WithUnit(analysis.m_Frequency, QStringLiteral("Hz"))));
    if (wave.size() < 2) {
        return;
    }
    const double start = wave.front().first;
    const AxisScale time = ScaleFor(wave.back().first - start);
    double peak = 0.0;
    for (const auto& [t, v] : wave) {
        peak = std::max(peak, std::abs(v));
    }
    const AxisScale volts = ScaleFor(peak);
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("output"));
    series->setPen(QPen(Blue, 2.0));
    for (const auto& [t, v] : wave) {
        series->append((t - start) / time.m_Unit, v / volts.m_Unit);
    }
    auto* xAxis = new QValueAxis;
    xAxis->setTitleText(QStringLiteral("time (%1s)").arg(time.m_Prefix));
    // One period, in quarters.
    const double period = std::isfinite(analysis.m_Frequency) && analysis.m_Frequency > 0.0
                              ? 1.0 / analysis.m_Frequency
                              : wave.back().first - start;
    xAxis->setRange(0.0, period / time.m_Unit);
    xAxis->setTickCount(5);
    xAxis->setLabelFormat(QStringLiteral("%.4g"));
    // Symmetric about the operating point, a little beyond the peak.
    const double reach = 1.1 * peak / volts.m_Unit;
    auto* yAxis = NiceAxis(QStringLiteral("output (%1V)").arg(volts.m_Prefix), -reach, reach);
    m_pChart->addAxis(xAxis, Qt::AlignBottom);
    m_pChart->addAxis(yAxis, Qt::AlignLeft);
    Attach(m_pChart, series, xAxis, yAxis);
    m_pChart->legend()->hide();
}

void CRobustnessTab::DrawNoise(const NoiseAnalysis& analysis)
{
    const std::vector<std::pair<double, double>>& spectrum = analysis.m_Spectrum;
    m_pChart->setTitle(QStringLiteral("input noise, source %1")
                           .arg(WithUnit(analysis.m_SourceResistance, QStringLiteral("ohm"))));
    if (spectrum.size() < 2) {
        return;
    }
    const AxisScale scale =
        ScaleFor(std::isfinite(analysis.m_InputDensity) ? analysis.m_InputDensity
                                                        : spectrum[spectrum.size() / 2].second);
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("input-referred density"));
    series->setPen(QPen(Blue, 2.0));
    double low = INFINITY;
    double high = -INFINITY;
    for (const auto& [f, density] : spectrum) {
        // A log axis takes positive values only.
        if (f > 0.0 && density > 0.0) {
            series->append(f, density / scale.m_Unit);
            low = std::min(low, density / scale.m_Unit);
            high = std::max(high, density / scale.m_Unit);
        }
    }
    if (series->count() < 2) {
        delete series;
        return;
    }
    auto* xAxis = new QLogValueAxis;
    xAxis->setTitleText(QStringLiteral("frequency (Hz)"));
    xAxis->setBase(10.0);
    xAxis->setLabelFormat(QStringLiteral("%g"));
    xAxis->setMinorTickCount(8);
    xAxis->setRange(series->at(0).x(), series->at(series->count() - 1).x());
    auto* yAxis = new QLogValueAxis;
    yAxis->setTitleText(QStringLiteral("density (%1V/sqrt(Hz))").arg(scale.m_Prefix));
    yAxis->setBase(10.0);
    yAxis->setLabelFormat(QStringLiteral("%g"));
    yAxis->setMinorTickCount(8);
    yAxis->setRange(std::pow(10.0, std::floor(std::log10(low))),
                    std::pow(10.0, std::ceil(std::log10(high) + 1e-9)));
    m_pChart->addAxis(xAxis, Qt::AlignBottom);
    m_pChart->addAxis(yAxis, Qt::AlignLeft);
    Attach(m_pChart, series, xAxis, yAxis);
    if (std::isfinite(analysis.m_InputDensity) && analysis.m_InputDensity > 0.0 &&
        analysis.m_SpotFrequency > 0.0) {
        auto* spot = new QScatterSeries;
        spot->setName(QStringLiteral("at %1").arg(WithUnit(analysis.m_SpotFrequency, QStringLiteral("Hz"))));
        spot->setMarkerSize(10.0);
        spot->setColor(QColor(0xC0, 0x20, 0x20));
        spot->append(analysis.m_SpotFrequency, analysis.m_InputDensity / scale.m_Unit);
        Attach(m_pChart, spot, xAxis, yAxis);
    }
}

} // namespace norvane
