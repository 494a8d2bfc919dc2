#include "app/RobustnessTab.h"

#include "app/AnalysisCharts.h"
#include "app/ChartParts.h"
#include "app/NorvaneView.h"
#include "app/TableFit.h"
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
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>

#include <algorithm>

namespace norvane {

namespace {

// The colour of the line while it tells of no result: idle, running,
// cancelled.
const QColor Grey(0x60, 0x60, 0x60);

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
    case RobustnessKind::WorstCase:
        return QStringLiteral(
                   "Run finds each quantity's extremes with every resistor at an edge of its series' "
                   "tolerance, each capacitor at +/-%1 %, BF and IS x/%2 and -25 or 85 degC.")
            .arg(CapacitorTolerance * 100)
            .arg(CurrentGainSpread);
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
    case RobustnessKind::WorstCase: return QStringLiteral("Worst case");
    }
    return {};
}

QString RobustnessTabLabel(RobustnessKind kind)
{
    switch (kind) {
    case RobustnessKind::Tolerance: return QStringLiteral("&Tolerances");
    case RobustnessKind::Temperature: return QStringLiteral("T&emperature");
    case RobustnessKind::Distortion: return QStringLiteral("&Distortion");
    case RobustnessKind::Noise: return QStringLiteral("No&ise");
    case RobustnessKind::WorstCase: return QStringLiteral("&Worst case");
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
        case RobustnessKind::WorstCase: request.m_WorstCase = true; break;
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
    m_pChartView = new CPlotView(m_pChart);
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
            ClearChart(*m_pChart);
            DrawPlot();
        });
    }
    plotLayout->addWidget(m_pChartView, 1);
    // The worst case is its table.
    plot->setVisible(kind != RobustnessKind::WorstCase);

    m_pTable = new QTableWidget;
    m_pTable->setTabKeyNavigation(false);
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

void CRobustnessTab::SetToleranceOptions(const ToleranceOptions& options)
{
    if (m_pRuns && m_pSeed) {
        m_pRuns->setValue(options.m_Runs);
        m_pSeed->setText(QString::number(options.m_Seed));
    }
}

void CRobustnessTab::Start(RobustnessJob job)
{
    ClearChart(*m_pChart);
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
    ClearChart(*m_pChart);
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
    failureOf(results.m_WorstCase);
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
    } else if (m_Result.m_WorstCase) {
        line = WorstCaseLine(**m_Result.m_WorstCase);
        table = WorstCaseTable(**m_Result.m_WorstCase);
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

void CRobustnessTab::DrawPlot()
{
    const int quantity = m_pQuantity ? std::max(0, m_pQuantity->currentIndex()) : 0;
    DrawAnalysisChart(*m_pChart, m_Result, static_cast<std::size_t>(quantity));
}

} // namespace norvane
