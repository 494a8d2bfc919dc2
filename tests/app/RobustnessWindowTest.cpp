// The robustness tabs of the verification window: a run shows what the
// core computes for the design and the options of the window, Cancel
// leaves no result, whatever changes the design or the options clears the
// tabs (and a run still going is dropped), and the report gets what the
// window shows.

#include "app/AppFixture.h"
#include "app/VerificationWindow.h"
#include "dialogs/AnalysisThread.h"
#include "report/Report.h"
#include "support/InProcessCli.h"
#include "support/TestMain.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QThreadPool>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <chrono>
#include <thread>

using namespace norvane;
using namespace norvane::test;

namespace {

constexpr int AnalysisWait = 30000; // ms

CVerificationWindow* OpenWindow(AppFixture& f)
{
    return OpenVerificationWindow(f, AnalysisWait);
}

bool Run(CRobustnessTab* tab)
{
    tab->RunButton()->click();
    return QTest::qWaitFor([tab] { return !tab->IsRunning(); }, AnalysisWait);
}

// A stand-in analysis that reports 1 of 4 done, then waits until it is
// told to stop or released; it then gives a temperature result, or fails
// as cancelled when told to stop and failIfStopped.
RobustnessJob WaitingJob(std::shared_ptr<std::atomic<bool>> release, bool failIfStopped)
{
    return [release, failIfStopped](const AnalysisProgress& progress) {
        bool going = progress(1, 4);
        for (int i = 0; going && !*release && i < 3000; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            going = progress(1, 4);
        }
        RobustnessResults results;
        if (!going && failIfStopped) {
            results.m_Temperature = Failure{AnalysisCancelled};
        } else {
            results.m_Temperature = TemperatureAnalysis{};
        }
        return results;
    };
}

} // namespace

class RobustnessWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runShowsTheCoresResultAndHandsItToTheReport()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        CVerificationWindow* window = OpenWindow(f);
        QVERIFY(window);
        QCOMPARE(window->Tabs()->count(), 6);
        QCOMPARE(window->Tabs()->tabText(1), QString("&Tolerances"));
        QVERIFY(f.app->GetReportRobustness().Empty());

        // The runs and the seed typed, the source resistance of the window.
        CRobustnessTab* tolerance = window->AnalysisTab(RobustnessKind::Tolerance);
        tolerance->RunsEdit()->setValue(40);
        Type(tolerance->SeedEdit(), "7");
        Type(window->SourceEdit(), "1k");
        QTRY_VERIFY_WITH_TIMEOUT(!window->IsSimulating(), AnalysisWait);
        QVERIFY(Run(tolerance));
        QVERIFY(tolerance->Result().m_Tolerance && *tolerance->Result().m_Tolerance);
        VerificationOptions options;
        options.m_SourceResistance = 1e3;
        const Expected<ToleranceAnalysis> expected =
            AnalyseTolerances(*f.app->CurrentSnapshot(), options, {40, 7});
        QVERIFY(expected);
        const ToleranceAnalysis& shown = **tolerance->Result().m_Tolerance;
        QCOMPARE(shown.m_Runs, 40);
        QCOMPARE(shown.m_Seed, std::uint64_t(7));
        QCOMPARE(shown.m_Meeting, expected->m_Meeting);
        QCOMPARE(shown.m_Ic.m_Values, expected->m_Ic.m_Values);
        QCOMPARE(tolerance->LineText().toStdString(), ToleranceLine(shown));
        const TextTable table = ToleranceTable(shown);
        QCOMPARE(tolerance->Table()->rowCount(), int(table.size()) - 1);
        QCOMPARE(tolerance->Table()->columnCount(), int(table.front().size()));
        QVERIFY(!tolerance->ChartView()->chart()->series().isEmpty());
        // Another quantity draws another histogram.
        tolerance->QuantityBox()->setCurrentText("gain");
        QVERIFY(tolerance->ChartView()->chart()->title().startsWith("gain"));

        CRobustnessTab* noise = window->AnalysisTab(RobustnessKind::Noise);
        QVERIFY(Run(noise));
        QVERIFY(noise->Result().m_Noise && *noise->Result().m_Noise);
        QCOMPARE((*noise->Result().m_Noise)->m_SourceResistance, 1e3);
        // The worst case is its table: one row per quantity.
        CRobustnessTab* worst = window->AnalysisTab(RobustnessKind::WorstCase);
        QVERIFY(Run(worst));
        QVERIFY(worst->Result().m_WorstCase && *worst->Result().m_WorstCase);
        QCOMPARE(worst->LineText().toStdString(), WorstCaseLine(**worst->Result().m_WorstCase));
        QCOMPARE(worst->Table()->rowCount(), 6);

        // The report gets the three, and nothing else.
        const RobustnessResults report = f.app->GetReportRobustness();
        QVERIFY(report.m_Tolerance && report.m_Noise && report.m_WorstCase && !report.m_Temperature &&
                !report.m_Distortion);
        QCOMPARE((*report.m_Tolerance)->m_Ic.m_Values, shown.m_Ic.m_Values);
        f.NextSavePath = f.Path("amp.html");
        f.MainWindow().Command("saveResult")->trigger();
        QFile saved(f.NextSavePath);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray text = saved.readAll();
        QVERIFY(text.contains(QByteArray::fromStdString(EscapeXhtmlText(ToleranceLine(shown)))));
        QVERIFY(
            QFile::exists(QString::fromStdString(PictureFilePath(f.NextSavePath.toStdString(), "noise"))));
        // They ran behind a source that the report's verification has not.
        QVERIFY(text.contains("<p>The analyses below were simulated with: no load, source 1 kohm</p>"));

        // The plot exports take the tab in front; one not run has none.
        window->Tabs()->setCurrentWidget(noise);
        const std::string svg = f.Path("plot.svg").toStdString();
        QVERIFY(window->ExportSvg(svg).Ok());
        QFile picture(QString::fromStdString(svg));
        QVERIFY(picture.open(QIODevice::ReadOnly));
        QVERIFY(picture.readAll().contains("<title>Noise</title>"));
        window->Tabs()->setCurrentWidget(window->AnalysisTab(RobustnessKind::Temperature));
        QCOMPARE(window->ExportPng(f.Path("plot.png").toStdString()).Message(),
                 std::string("No plot: the analysis has not been run."));
    }

    void cancelLeavesCancelledAndNoResult()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        CVerificationWindow* window = OpenWindow(f);
        QVERIFY(window);
        CRobustnessTab* tab = window->AnalysisTab(RobustnessKind::Temperature);
        QVERIFY(Run(tab));
        QVERIFY(tab->Result().m_Temperature);

        const auto release = std::make_shared<std::atomic<bool>>(false);
        tab->Start(WaitingJob(release, true));
        // The window goes on while the analysis runs, its progress shown.
        QTRY_COMPARE_WITH_TIMEOUT(tab->ProgressBar()->value(), 25, AnalysisWait);
        QVERIFY(tab->IsRunning() && !tab->CancelButton()->isHidden() && !tab->RunButton()->isEnabled());
        // A new run is no longer the old one's: the report has neither.
        QVERIFY(f.app->GetReportRobustness().Empty());
        tab->CancelButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!tab->IsRunning(), AnalysisWait);
        QCOMPARE(tab->LineText(), QString(CancelledText));
        QVERIFY(tab->Result().Empty());
        QCOMPARE(tab->Table()->rowCount(), 0);
        QVERIFY(tab->ChartView()->chart()->series().isEmpty());
        QVERIFY(tab->RunButton()->isEnabled() && tab->CancelButton()->isHidden());
        QVERIFY(f.app->GetReportRobustness().Empty());
    }

    // A second analysis asked for while one runs waits for it without
    // holding a thread, and neither takes one of Qt's global pool, which
    // Qt draws with: the window goes on (a timer keeps firing) throughout.
    void secondRequestQueuesAndTheWindowGoesOn()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        CVerificationWindow* window = OpenWindow(f);
        QVERIFY(window);
        CRobustnessTab* temperature = window->AnalysisTab(RobustnessKind::Temperature);
        CRobustnessTab* distortion = window->AnalysisTab(RobustnessKind::Distortion);
        const auto first = std::make_shared<std::atomic<bool>>(false);
        const auto second = std::make_shared<std::atomic<bool>>(false);
        temperature->Start(WaitingJob(first, false));
        distortion->Start(WaitingJob(second, false));

        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 longestPause = 0;
        QTimer ticks;
        connect(&ticks, &QTimer::timeout, [&] {
            longestPause = std::max(longestPause, clock.elapsed() - last);
            last = clock.elapsed();
        });
        ticks.start(10);
        QTRY_COMPARE_WITH_TIMEOUT(temperature->ProgressBar()->value(), 25, AnalysisWait);
        QTest::qWait(300);
        QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
        QVERIFY(distortion->IsRunning());
        *first = true;
        QTRY_COMPARE_WITH_TIMEOUT(distortion->ProgressBar()->value(), 25, AnalysisWait);
        QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
        QTest::qWait(300);
        *second = true;
        QTRY_VERIFY_WITH_TIMEOUT(!temperature->IsRunning() && !distortion->IsRunning(), AnalysisWait);
        QVERIFY2(longestPause < 250, qPrintable(QString::number(longestPause)));
    }

    // A save made while the verdict waits behind an analysis neither waits
    // for the analysis nor stops the window: the report gets the verdict,
    // a timer keeps firing throughout.
    void saveWithTheVerdictQueuedKeepsTheWindowGoing()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        QTRY_VERIFY_WITH_TIMEOUT(f.Doc().GetVerdictState() != VerdictState::Simulating, AnalysisWait);
        // A long analysis holds the analysis thread; the verdict of the
        // changed design queues behind it.
        const auto release = std::make_shared<std::atomic<bool>>(false);
        QFuture<void> analysis = QtConcurrent::run(&AnalysisThreadPool(), [release] {
            while (!*release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        f.app->ApplyPartValues({{"C1", 22e-6}});
        QCOMPARE(f.Doc().GetVerdictState(), VerdictState::Simulating);

        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(1);
        f.NextSavePath = f.Path("queued.html");
        f.MainWindow().Command("saveResult")->trigger();
        timer.stop();
        QVERIFY(!f.app->IsResultUnsaved());
        QVERIFY(!analysis.isFinished());
        QVERIFY2(ticks > 0, "the timer never fired during the save");
        const std::string report = ReadFile(f.Path("queued.html").toStdString());
        QVERIFY(report.find("<p>Simulation (ngspice, no load): ") != std::string::npos);
        *release = true;
        analysis.waitForFinished();
        QTRY_VERIFY_WITH_TIMEOUT(f.Doc().GetVerdictState() != VerdictState::Simulating, AnalysisWait);
    }

    // The plots read out what lies under the mouse, zoom and come back
    // whole; the Bode plot has a grid line at every decade and between;
    // the tolerance histogram shows the requirement's limits.
    void plotsReadOutZoomAndShowTheLimits()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        CVerificationWindow* window = OpenWindow(f);
        QVERIFY(window && window->Shown());
        window->resize(1000, 700);
        CPlotView* bode = window->ChartView();
        QChart* chart = bode->chart();
        const QPoint middle = bode->mapFromScene(chart->mapToScene(chart->plotArea().center()));
        bode->ShowReadoutAt(middle);
        const QString readout = bode->ReadoutText();
        QVERIFY2(readout.startsWith("f ") && readout.contains("Hz: gain ") && readout.contains(" dB, phase "),
                 qPrintable(readout));
        bode->ShowReadoutAt(QPoint(1, 1));
        QVERIFY(bode->ReadoutText().isEmpty());

        auto* frequency = qobject_cast<QValueAxis*>(chart->axes(Qt::Horizontal).front());
        const double decades = frequency->max() - frequency->min();
        const qsizetype gridLines = std::ranges::count_if(chart->series(), [](QAbstractSeries* series) {
            return series->name().isEmpty() && qobject_cast<QLineSeries*>(series);
        });
        QVERIFY2(gridLines >= 9 * static_cast<qsizetype>(decades) - 2,
                 qPrintable(QString::number(gridLines)));
        chart->zoom(2.0);
        QVERIFY(frequency->max() - frequency->min() < 0.6 * decades);
        bode->ResetZoom();
        QCOMPARE(frequency->max() - frequency->min(), decades);

        CRobustnessTab* tolerance = window->AnalysisTab(RobustnessKind::Tolerance);
        tolerance->RunsEdit()->setValue(20);
        QVERIFY(Run(tolerance));
        QVERIFY(tolerance->QuantityBox()->currentText().startsWith("Ic"));
        const QList<QAbstractSeries*> drawn = tolerance->ChartView()->chart()->series();
        QVERIFY(std::ranges::any_of(
            drawn, [](QAbstractSeries* series) { return series->name() == "requirement's limits"; }));
    }

    void changesClearTheTabsAndTheReport()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        CVerificationWindow* window = OpenWindow(f);
        QVERIFY(window);
        CRobustnessTab* distortion = window->AnalysisTab(RobustnessKind::Distortion);
        CRobustnessTab* temperature = window->AnalysisTab(RobustnessKind::Temperature);
        const auto cleared = [](CRobustnessTab* tab) {
            return tab->Result().Empty() && tab->Table()->rowCount() == 0 &&
                   tab->ChartView()->chart()->series().isEmpty() && !tab->IsRunning();
        };

        // A what-if value.
        QVERIFY(Run(distortion));
        QVERIFY(!f.app->GetReportRobustness().Empty());
        Type(window->PartEdit("R1"), "150k");
        QVERIFY(cleared(distortion));
        QVERIFY(f.app->GetReportRobustness().Empty());

        // The load; a run for the options before is dropped when it ends.
        QVERIFY(Run(distortion));
        const auto release = std::make_shared<std::atomic<bool>>(false);
        temperature->Start(WaitingJob(release, false));
        Type(window->LoadEdit(), "4k7");
        *release = true;
        QTest::qWait(200);
        QVERIFY(cleared(distortion) && cleared(temperature));
        QVERIFY(f.app->GetReportRobustness().Empty());

        // The design.
        QVERIFY(Run(temperature));
        QVERIFY(f.app->GetReportRobustness().m_Temperature);
        f.Calculate(CircuitKind::CommonCollector);
        QVERIFY(cleared(temperature));
        QVERIFY(f.app->GetReportRobustness().Empty());
        // A handover that comes late, for the design before, is ignored.
        RobustnessResults late;
        late.m_Temperature = TemperatureAnalysis{};
        const std::uint64_t before = f.app->DesignGeneration();
        f.app->ApplyPartValues({{"R1", 100e3}});
        f.app->SetReportRobustness(before, late);
        QVERIFY(f.app->GetReportRobustness().Empty());
    }
};

NORVANE_REGISTER_TEST(RobustnessWindowTest);

#include "RobustnessWindowTest.moc"
