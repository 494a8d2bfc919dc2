#include "app/VerificationWindow.h"

#include "analysis/FrequencyResponse.h"
#include "analysis/SmallSignal.h"
#include "app/BodeChart.h"
#include "app/ChartParts.h"
#include "app/NorvaneApp.h"
#include "app/NorvaneDoc.h"
#include "app/NorvaneView.h"
#include "app/TableFit.h"
#include "circuit/DesignTargets.h"
#include "circuit/Netlist.h"
#include "common/FileWriter.h"
#include "format/EngineeringFormat.h"
#include "report/Report.h"
#include "studies/StudySupport.h"
#include "workflow/DesignWorkflow.h"

#include <QBuffer>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QSvgGenerator>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>

#include <cmath>

namespace norvane {

namespace {

// While the user types a what-if value the Bode plot follows each
// keystroke from the in-process model (microseconds); ngspice, which the
// verdict and the table come from, runs once typing has paused this long.
constexpr int TypingPause = 400; // ms

// How an edited field and a refused one stand out.
const QString EditedStyle = QStringLiteral("QLineEdit { background: #FFF0A0; }");
const QString RefusedStyle = QStringLiteral("QLineEdit { background: #FFB0B0; }");

// A typed resistance or part value: a positive finite number. empty gives
// 0 (none) where blank is allowed.
Expected<double> ReadValue(const QString& what, const QString& text, bool blankIsNone)
{
    if (blankIsNone && text.trimmed().isEmpty()) {
        return 0.0;
    }
    const std::optional<double> value = ReadEngineering(text.toStdString());
    if (!value) {
        return Failure{QStringLiteral("%1: \"%2\" is not a number").arg(what, text).toStdString()};
    }
    if (!std::isfinite(*value) || *value <= 0.0) {
        return Failure{QStringLiteral("%1: %2 is not a positive value").arg(what, text).toStdString()};
    }
    return *value;
}

QString PartText(const std::string& name, double value)
{
    return QString::fromStdString(PartItem(name, value).value);
}

} // namespace

CVerificationWindow::CVerificationWindow(CNorvaneApp& app, QWidget* parent)
    : QWidget(parent, Qt::Window), m_App(app), m_Chooser(AskSaveFileName)
{
    setObjectName(QStringLiteral("verificationWindow"));
    setWindowTitle(QLatin1String(VerificationTitle));

    m_pStatus = new QLabel;
    m_pStatus->setWordWrap(true);
    m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_pTuning = new QLabel;
    m_pTuning->setWordWrap(true);
    m_pApply = new QPushButton(QStringLiteral("&Apply"));
    m_pApply->setToolTip(QStringLiteral("Put the proposed values into the design"));
    auto* tuningRow = new QHBoxLayout;
    tuningRow->addWidget(m_pTuning, 1);
    tuningRow->addWidget(m_pApply);

    m_pChart = new QChart;
    m_pChart->legend()->setAlignment(Qt::AlignBottom);
    m_pChartView = new CPlotView(m_pChart);
    m_pChartView->setMinimumSize(360, 260);

    m_pTable = new QTableWidget(0, 5);
    m_pTable->setHorizontalHeaderLabels({QStringLiteral("Quantity"), QStringLiteral("Requirement"),
                                         QStringLiteral("Designed"), QStringLiteral("Simulated"),
                                         QStringLiteral("Verdict")});
    m_pTable->verticalHeader()->hide();
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    // Tab moves on to the next control, as everywhere else in the window.
    m_pTable->setTabKeyNavigation(false);

    auto* whatIf = new QGroupBox(QStringLiteral("What if"));
    auto* whatIfLayout = new QVBoxLayout(whatIf);
    m_pPartGrid = new QGridLayout;
    whatIfLayout->addLayout(m_pPartGrid);
    auto* circuitGrid = new QGridLayout;
    m_pLoad = new QLineEdit;
    m_pLoad->setObjectName(QStringLiteral("load"));
    m_pLoad->setPlaceholderText(QStringLiteral("none"));
    m_pSource = new QLineEdit;
    m_pSource->setObjectName(QStringLiteral("source"));
    m_pSource->setPlaceholderText(QStringLiteral("none"));
    circuitGrid->addWidget(new QLabel(QStringLiteral("Load (ohm):")), 0, 0);
    circuitGrid->addWidget(m_pLoad, 0, 1);
    circuitGrid->addWidget(new QLabel(QStringLiteral("Source (ohm):")), 0, 2);
    circuitGrid->addWidget(m_pSource, 0, 3);
    m_pBack = new QPushButton(QStringLiteral("&Back to design"));
    circuitGrid->addWidget(m_pBack, 0, 4);
    whatIfLayout->addLayout(circuitGrid);

    auto* splitter = m_pSplitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(m_pChartView);
    splitter->addWidget(m_pTable);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({600, 470});

    m_pTabs = new QTabWidget;
    // Alt and a letter brings a tab to the front; the letters are free of
    // the buttons' below.
    m_pTabs->addTab(splitter, QStringLiteral("Bode p&lot"));
    for (const RobustnessKind kind : RobustnessKinds) {
        auto* tab = new CRobustnessTab(kind);
        m_pTabs->addTab(tab, RobustnessTabLabel(kind));
        m_AnalysisTabs.push_back(tab);
        connect(tab, &CRobustnessTab::RunRequested, this, [this, tab] { RunAnalysis(tab); });
        connect(tab, &CRobustnessTab::ResultChanged, this, &CVerificationWindow::HandOverAnalyses);
    }
    // The what-if fields apply to every tab: below them all, and the user
    // may trade their room for the plots'.
    auto* body = new QSplitter(Qt::Vertical);
    body->addWidget(m_pTabs);
    body->addWidget(whatIf);
    body->setStretchFactor(0, 1);
    body->setStretchFactor(1, 0);
    body->setCollapsible(0, false);

    auto* exportRow = new QHBoxLayout;
    exportRow->addWidget(new QLabel(QStringLiteral("Export:")));
    const auto exportButton = [&](const QString& text, const QString& caption, const QString& suggested,
                                  const QString& filter, auto exporter) {
        auto* button = new QPushButton(text);
        connect(button, &QPushButton::clicked, this,
                [=, this] { Export(caption, suggested, filter, exporter); });
        exportRow->addWidget(button);
        m_ExportButtons.push_back(button);
    };
    exportButton(QStringLiteral("&Netlist..."), QStringLiteral("Export netlist"),
                 QStringLiteral("amplifier.cir"), QStringLiteral("SPICE netlists (*.cir)"),
                 &CVerificationWindow::ExportNetlist);
    exportButton(QStringLiteral("Bode &CSV..."), QStringLiteral("Export Bode table"),
                 QStringLiteral("bode.csv"), QStringLiteral("CSV files (*.csv)"),
                 &CVerificationWindow::ExportBodeCsv);
    // The plot of the tab in front; the name suggested is its own.
    exportButton(QStringLiteral("Plot &PNG..."), QStringLiteral("Export plot"), QStringLiteral(".png"),
                 QStringLiteral("PNG pictures (*.png)"), &CVerificationWindow::ExportPng);
    exportButton(QStringLiteral("Plot &SVG..."), QStringLiteral("Export plot"), QStringLiteral(".svg"),
                 QStringLiteral("SVG pictures (*.svg)"), &CVerificationWindow::ExportSvg);
    exportRow->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("Cl&ose"));
    close->setObjectName(QStringLiteral("close"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    exportRow->addWidget(close);

    // Everything scrolls where the screen is smaller than the window's
    // least size (a small screen at 200 %).
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->addWidget(m_pStatus);
    layout->addLayout(tuningRow);
    layout->addWidget(body, 1);
    layout->addLayout(exportRow);
    auto* scroller = new QScrollArea;
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setWidgetResizable(true);
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroller);

    connect(&m_Runner, &CVerificationRunner::Finished, this, &CVerificationWindow::Show);
    connect(&m_Runner, &CVerificationRunner::YieldFinished, this, &CVerificationWindow::ShowYield);
    connect(&app, &CNorvaneApp::DesignChanged, this, &CVerificationWindow::FollowDesign);
    m_pTypingPause = new QTimer(this);
    m_pTypingPause->setSingleShot(true);
    m_pTypingPause->setInterval(TypingPause);
    connect(m_pTypingPause, &QTimer::timeout, this, &CVerificationWindow::Simulate);
    connect(m_pLoad, &QLineEdit::textEdited, this, &CVerificationWindow::Edited);
    connect(m_pSource, &QLineEdit::textEdited, this, &CVerificationWindow::Edited);
    connect(m_pBack, &QPushButton::clicked, this, &CVerificationWindow::BackToDesign);
    connect(m_pApply, &QPushButton::clicked, this, &CVerificationWindow::ApplyTuning);

    QSize size(1080, 760);
    if (const QScreen* screen = this->screen()) {
        size = size.boundedTo(screen->availableSize() * 9 / 10);
    }
    resize(size);
    FollowDesign();
}

CVerificationWindow::~CVerificationWindow() = default;

void CVerificationWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape closes it, as it closes a dialog; it reaches the window from
    // the table and the edit fields, which have no use of their own for it.
    if (event->matches(QKeySequence::Cancel)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CVerificationWindow::FollowDesign()
{
    m_Design = m_App.CurrentSnapshot();
    m_DesignGeneration = m_App.DesignGeneration();
    ClearAnalyses();
    while (QLayoutItem* item = m_pPartGrid->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    m_Parts.clear();
    if (!m_Design) {
        m_Runner.Cancel();
        ShowProblem(QStringLiteral("Until now, no circuit has been calculated."));
        return;
    }
    // The what-if values, load and source the application keeps for this
    // design (those of an opened report among them), each exactly.
    const VerificationOptions& conditions = m_App.VerificationConditions();
    const auto exact = [](const std::string& part, double value) {
        return QString::fromStdString(ExactPartValue(part, value));
    };
    for (const auto& [edit, value] :
         {std::pair{m_pLoad, conditions.m_LoadResistance}, {m_pSource, conditions.m_SourceResistance}}) {
        const Expected<double> shown = ReadValue(QString(), edit->text(), true);
        if (!shown || *shown != value) {
            edit->setText(value > 0 ? exact(edit->objectName().toStdString(), value) : QString());
        }
    }
    if (const std::optional<ToleranceOptions> tolerance = m_App.OpenedToleranceOptions()) {
        AnalysisTab(RobustnessKind::Tolerance)->SetToleranceOptions(*tolerance);
    }
    constexpr int Columns = 4;
    int index = 0;
    for (const auto& [name, value] : m_Design->ComponentNumbers()) {
        const auto edited = std::ranges::find(conditions.m_PartValues, name, &NamedValue::first);
        auto* edit = new QLineEdit(edited == conditions.m_PartValues.end() ? PartText(name, value)
                                                                           : exact(name, edited->second));
        edit->setObjectName(QString::fromStdString(name));
        edit->setProperty("edited", false);
        const int row = index / Columns;
        const int column = (index % Columns) * 2;
        m_pPartGrid->addWidget(new QLabel(QString::fromStdString(name) + QLatin1Char(':')), row, column);
        m_pPartGrid->addWidget(edit, row, column + 1);
        connect(edit, &QLineEdit::textEdited, this, &CVerificationWindow::Edited);
        m_Parts.push_back({name, value, edit});
        ++index;
    }
    Simulate();
}

Expected<VerificationOptions> CVerificationWindow::ReadOptions() const
{
    VerificationOptions options;
    std::string problem;
    for (const PartField& part : m_Parts) {
        const Expected<double> value =
            ReadValue(QString::fromStdString(part.m_Name), part.m_pEdit->text(), false);
        if (!value) {
            problem = problem.empty() ? value.Message() : problem;
            continue;
        }
        // A value that reads as the design's own is no edit ("22n" for
        // "22 nF").
        if (std::abs(*value - part.m_Designed) > 1e-9 * part.m_Designed) {
            options.m_PartValues.emplace_back(part.m_Name, *value);
        }
    }
    const Expected<double> load = ReadValue(QStringLiteral("Load"), m_pLoad->text(), true);
    const Expected<double> source = ReadValue(QStringLiteral("Source"), m_pSource->text(), true);
    for (const Expected<double>* value : {&load, &source}) {
        if (!*value && problem.empty()) {
            problem = value->Message();
        }
    }
    if (!problem.empty()) {
        return Failure{problem};
    }
    options.m_LoadResistance = *load;
    options.m_SourceResistance = *source;
    return options;
}

void CVerificationWindow::Edited()
{
    if (const std::optional<VerificationOptions> options = TakeOptions()) {
        Preview(*options);
        m_pTypingPause->start();
    }
}

void CVerificationWindow::Preview(const VerificationOptions& options)
{
    const Expected<SimulationResult> model = AnalyseSmallSignal(
        VerifiedCircuit(*m_Design, options.m_PartValues), robustness::SimulationOf(options));
    if (!model) {
        return;
    }
    ClearChart(*m_pChart);
    m_pChartView->SetReadout(
        DrawBodeChart(*m_pChart, *model, TargetsOf(*m_Design).m_LowerCutoff, m_pChartView->size()));
    m_pStatus->setText(QLatin1String(PreviewText));
    m_pStatus->setStyleSheet(QStringLiteral("color: #606060"));
}

void CVerificationWindow::MarkFields()
{
    // Mark every field: edited, refused, or as designed.
    for (const PartField& part : m_Parts) {
        const Expected<double> value =
            ReadValue(QString::fromStdString(part.m_Name), part.m_pEdit->text(), false);
        const bool edited = value && std::abs(*value - part.m_Designed) > 1e-9 * part.m_Designed;
        part.m_pEdit->setProperty("edited", edited);
        part.m_pEdit->setStyleSheet(!value ? RefusedStyle : edited ? EditedStyle : QString());
        part.m_pEdit->setToolTip(
            value ? QStringLiteral("designed: %1").arg(PartText(part.m_Name, part.m_Designed))
                  : QString::fromStdString(value.Message()));
    }
    for (QLineEdit* edit : {m_pLoad, m_pSource}) {
        edit->setStyleSheet(ReadValue(QString(), edit->text(), true) ? QString() : RefusedStyle);
    }
}

std::optional<VerificationOptions> CVerificationWindow::TakeOptions()
{
    MarkFields();
    if (!m_Design) {
        return std::nullopt;
    }
    const Expected<VerificationOptions> options = ReadOptions();
    KeepAnalysesFor(options);
    if (!options) {
        m_pTypingPause->stop();
        m_Runner.Cancel();
        ShowProblem(QString::fromStdString(options.Message()));
        return std::nullopt;
    }
    m_App.SetVerificationConditions(m_DesignGeneration, *options);
    return *options;
}

void CVerificationWindow::Simulate()
{
    m_pTypingPause->stop();
    const std::optional<VerificationOptions> options = TakeOptions();
    if (!options) {
        return;
    }
    m_pStatus->setText(QLatin1String(SimulatingText));
    m_pStatus->setStyleSheet(QStringLiteral("color: #606060"));
    // A proposal is for the design as it stands, not for edited parts.
    m_Requested = *options;
    m_Runner.Start(m_Design, *options, options->m_PartValues.empty());
}

void CVerificationWindow::Show(const VerificationOutcome& outcome)
{
    if (m_pTypingPause->isActive()) {
        return; // of values the user has typed over: a run of the new ones follows
    }
    const Verification& verification = outcome.m_Verification;
    const Verdict& verdict = verification.m_Verdict;
    if (!verdict.m_Simulated) {
        ShowProblem(QString::fromStdString(verdict.Line()));
        return;
    }
    ClearResult();
    m_Shown = outcome;
    m_pStatus->setText(QString::fromStdString(verdict.Line()));
    m_pStatus->setStyleSheet(
        QStringLiteral("color: %1")
            .arg(VerdictColour(verdict.m_Meets ? VerdictState::Meets : VerdictState::Misses).name()));
    const bool tuning = outcome.m_Tuning.has_value();
    m_pTuning->setVisible(tuning);
    m_pApply->setVisible(tuning);
    if (tuning) {
        m_pTuning->setText(QStringLiteral("Proposed: ") + QString::fromStdString(outcome.m_Tuning->Line()));
    }
    FillTable(verification);
    if (m_Design) {
        // The yield, and the divider where it asks for one, follow.
        const bool proposes = m_Requested.m_PartValues.empty();
        m_Runner.StartYield(m_Design, m_Requested, outcome.m_Tuning, proposes);
    }
    const double fMin = m_Design ? TargetsOf(*m_Design).m_LowerCutoff : NAN;
    m_pChartView->SetReadout(DrawBodeChart(*m_pChart, verification.m_Simulation, fMin, m_pChartView->size()));
    for (QPushButton* button : m_ExportButtons) {
        button->setEnabled(true);
    }
}

void CVerificationWindow::ShowYield(const YieldOutcome& outcome)
{
    if (!m_Shown) {
        return;
    }
    m_Shown->m_Verification.m_Verdict.m_Yield = outcome.m_Yield;
    m_pStatus->setText(QString::fromStdString(m_Shown->m_Verification.m_Verdict.Line()));
    if (outcome.m_Tuning) {
        m_Shown->m_Tuning = outcome.m_Tuning;
        m_pTuning->setText(QStringLiteral("Proposed: ") + QString::fromStdString(outcome.m_Tuning->Line()));
        m_pTuning->show();
        m_pApply->show();
    }
}

void CVerificationWindow::ShowProblem(const QString& problem)
{
    ClearResult();
    m_pStatus->setText(problem);
    m_pStatus->setStyleSheet(
        QStringLiteral("color: %1").arg(VerdictColour(VerdictState::NotSimulated).name()));
}

void CVerificationWindow::ClearResult()
{
    m_Shown.reset();
    m_pTuning->hide();
    m_pApply->hide();
    m_pTable->setRowCount(0);
    ClearChart(*m_pChart);
    // The netlist needs no simulation, the rest does.
    for (std::size_t i = 1; i < m_ExportButtons.size(); ++i) {
        m_ExportButtons[i]->setEnabled(false);
    }
}

QString CVerificationWindow::StatusText() const
{
    return m_pStatus->text();
}

QLineEdit* CVerificationWindow::PartEdit(const QString& part) const
{
    for (const PartField& field : m_Parts) {
        if (field.m_pEdit->objectName() == part) {
            return field.m_pEdit;
        }
    }
    return nullptr;
}

void CVerificationWindow::FillTable(const Verification& verification)
{
    m_pTable->setRowCount(static_cast<int>(verification.m_Rows.size()));
    for (int row = 0; row < m_pTable->rowCount(); ++row) {
        const VerificationRow& r = verification.m_Rows[static_cast<std::size_t>(row)];
        int column = 0;
        for (const std::string* text :
             {&r.m_Quantity, &r.m_Required, &r.m_Designed, &r.m_Simulated, &r.m_Verdict}) {
            m_pTable->setItem(row, column++, new QTableWidgetItem(QString::fromStdString(*text)));
        }
        if (!r.m_Verdict.empty()) {
            m_pTable->item(row, 4)->setForeground(
                VerdictColour(r.m_Verdict == "meets" ? VerdictState::Meets : VerdictState::Misses));
        }
    }
    FitTableBeside(*m_pTable, *m_pSplitter);
}

CRobustnessTab* CVerificationWindow::AnalysisTab(RobustnessKind kind) const
{
    return m_AnalysisTabs[static_cast<std::size_t>(kind)];
}

void CVerificationWindow::RunAnalysis(CRobustnessTab* tab)
{
    if (!m_Design) {
        tab->ShowProblem(QStringLiteral("Until now, no circuit has been calculated."));
        return;
    }
    const Expected<VerificationOptions> options = ReadOptions();
    const Expected<ToleranceOptions> tolerance = tab->ReadToleranceOptions();
    if (!options || !tolerance) {
        tab->ShowProblem(QString::fromStdString(!options ? options.Message() : tolerance.Message()));
        return;
    }
    KeepAnalysesFor(options);
    tab->Start(MakeRobustnessJob(tab->Kind(), m_Design, *options, *tolerance));
}

void CVerificationWindow::KeepAnalysesFor(const Expected<VerificationOptions>& options)
{
    if (!options || !m_AnalysedOptions || *options != *m_AnalysedOptions) {
        ClearAnalyses();
    }
    if (options) {
        m_AnalysedOptions = *options;
    }
}

void CVerificationWindow::ClearAnalyses()
{
    m_AnalysedOptions.reset();
    for (CRobustnessTab* tab : m_AnalysisTabs) {
        tab->Clear();
    }
    HandOverAnalyses();
}

void CVerificationWindow::HandOverAnalyses()
{
    RobustnessResults shown;
    for (const CRobustnessTab* tab : m_AnalysisTabs) {
        const RobustnessResults& result = tab->Result();
        if (result.m_Tolerance) {
            shown.m_Tolerance = result.m_Tolerance;
        }
        if (result.m_Temperature) {
            shown.m_Temperature = result.m_Temperature;
        }
        if (result.m_Distortion) {
            shown.m_Distortion = result.m_Distortion;
        }
        if (result.m_Noise) {
            shown.m_Noise = result.m_Noise;
        }
        if (result.m_WorstCase) {
            shown.m_WorstCase = result.m_WorstCase;
        }
    }
    if (m_Design && m_AnalysedOptions) {
        shown.m_Conditions = SimulationConditions(*m_Design, *m_AnalysedOptions);
    }
    m_App.SetReportRobustness(m_DesignGeneration, std::move(shown));
}

void CVerificationWindow::BackToDesign()
{
    for (const PartField& part : m_Parts) {
        part.m_pEdit->setText(PartText(part.m_Name, part.m_Designed));
    }
    Simulate();
}

void CVerificationWindow::ApplyTuning()
{
    if (!m_Shown || !m_Shown->m_Tuning) {
        return;
    }
    // The application tells every follower, this window among them.
    m_App.ApplyPartValues(m_Shown->m_Tuning->PartValues());
}

Status CVerificationWindow::ExportNetlist(const std::string& path) const
{
    if (!m_Design) {
        return Failure{"No design to export."};
    }
    const Expected<VerificationOptions> options = ReadOptions();
    if (!options) {
        return options.AsStatus();
    }
    const Expected<std::string> netlist = WorkflowNetlist(*m_Design, *options);
    if (!netlist) {
        return Failure{"No netlist: " + netlist.Message() + "."};
    }
    return WriteFileAtomically(path, *netlist);
}

Status CVerificationWindow::ExportBodeCsv(const std::string& path) const
{
    if (!m_Shown) {
        return Failure{"No Bode table: nothing has been simulated."};
    }
    return WriteFileAtomically(path, BodeCsv(m_Shown->m_Verification.m_Simulation.m_Bode));
}

const CRobustnessTab* CVerificationWindow::AnalysisInFront() const
{
    const int index = m_pTabs->currentIndex();
    return index >= 1 && index <= static_cast<int>(m_AnalysisTabs.size())
               ? m_AnalysisTabs[static_cast<std::size_t>(index - 1)]
               : nullptr;
}

QChartView* CVerificationWindow::PlotInFront() const
{
    const CRobustnessTab* analysis = AnalysisInFront();
    return analysis ? analysis->ChartView() : m_pChartView;
}

Status CVerificationWindow::ExportPng(const std::string& path) const
{
    return ExportPlot(path, [this](QIODevice& device) { PlotInFront()->grab().save(&device, "PNG"); });
}

Status CVerificationWindow::ExportSvg(const std::string& path) const
{
    return ExportPlot(path, [this](QIODevice& device) {
        QChartView* view = PlotInFront();
        QSvgGenerator svg;
        svg.setOutputDevice(&device);
        svg.setSize(view->size());
        svg.setViewBox(QRect(QPoint(0, 0), view->size()));
        svg.setTitle(m_pTabs->tabText(m_pTabs->currentIndex()).remove(QLatin1Char('&')));
        QPainter painter(&svg);
        view->render(&painter);
    });
}

Status CVerificationWindow::ExportPlot(const std::string& path,
                                       const std::function<void(QIODevice&)>& draw) const
{
    if (const CRobustnessTab* analysis = AnalysisInFront()) {
        if (analysis->Result().Empty()) {
            return Failure{"No plot: the analysis has not been run."};
        }
    } else if (!m_Shown) {
        return Failure{"No plot: nothing has been simulated."};
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    draw(buffer);
    return WriteFileAtomically(path,
                               std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void CVerificationWindow::Export(const QString& caption, const QString& suggested, const QString& filter,
                                 Status (CVerificationWindow::*exporter)(const std::string&) const)
{
    // ".png": the plot in front names the file ("bode.png", "noise.png").
    const CRobustnessTab* analysis = AnalysisInFront();
    const QString name =
        suggested.startsWith(u'.')
            ? (analysis ? RobustnessTitle(analysis->Kind()).toLower() : QStringLiteral("bode")) + suggested
            : suggested;
    QString path = m_Chooser(this, caption, name, filter);
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += u'.' + QFileInfo(name).suffix();
    }
    const Status written = (this->*exporter)(QFile::encodeName(path).toStdString());
    if (!written) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Norvane"),
                        QString::fromStdString(written.Message()), QMessageBox::Ok, this);
        box.exec();
    }
}

} // namespace norvane
