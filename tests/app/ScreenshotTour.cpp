// norvane-screenshots: opens every window of the program in turn and saves
// a picture of each into the folder given as the argument. Run it on a
// real display (for instance under xvfb-run) to look at the program.

#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "app/NorvaneApp.h"
#include "app/Resources.h"
#include "app/VerificationWindow.h"
#include "dialogs/SuggestDialog.h"
#include "dialogs/TransistorListDialog.h"
#include "support/ModalHelpers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QtCharts/QChart>

#include <cstdio>

using namespace norvane;
using norvane::test::OnNextModal;

namespace {

QString g_Folder;

void Save(QWidget* widget, const QString& name)
{
    QTest::qWait(300);
    const QPixmap picture = widget->grab();
    picture.save(g_Folder + QLatin1Char('/') + name);
    std::printf("%s %dx%d\n", qPrintable(name), picture.width(), picture.height());
}

void SaveScreen(const QString& name)
{
    QTest::qWait(300);
    QGuiApplication::primaryScreen()->grabWindow(0).save(g_Folder + QLatin1Char('/') + name);
    std::printf("%s (screen)\n", qPrintable(name));
}

template <class Dialog>
void AcceptDialogAfterShots(const QString& name, bool withList)
{
    OnNextModal<Dialog>([=](Dialog* dialog) {
        Save(dialog, name + QStringLiteral(".png"));
        if (withList) {
            OnNextModal<CTransistorListDialog>([=](CTransistorListDialog* list) {
                Save(list, QStringLiteral("transistor-list.png"));
                list->reject();
                dialog->accept();
            });
            dialog->ListButton()->click();
        } else if (name.endsWith(QStringLiteral("common-base"))) {
            // The suggestions for the common-base defaults, once ranked.
            OnNextModal<CSuggestDialog>([=](CSuggestDialog* suggest) {
                (void)QTest::qWaitFor([suggest] { return suggest->Table()->isVisible(); }, 60000);
                Save(suggest, QStringLiteral("suggestions-common-base.png"));
                suggest->reject();
                dialog->accept();
            });
            dialog->SuggestButton()->click();
        } else {
            dialog->accept();
        }
    });
}

// The verification window of the current design, once its simulation is in.
void SaveVerification(CNorvaneApp& app, const QString& name)
{
    app.OnVerification();
    CVerificationWindow* window = app.VerificationWindow();
    (void)QTest::qWaitFor([window] { return !window->IsSimulating(); }, 10000);
    // The yield follows the verdict.
    (void)QTest::qWaitFor([window] { return window->StatusText().contains(QStringLiteral("of builds")); },
                          30000);
    Save(window, name);
}

// The main window once its verdict line carries the yield.
void SaveResult(CNorvaneApp& app, const QString& name)
{
    (void)QTest::qWaitFor([&app] { return app.GetVerdictLine().find("of builds") != std::string::npos; },
                          30000);
    Save(app.MainWindow(), name);
}

// How long something takes, and the longest the window went without
// handling its events meanwhile (a 5 ms timer's longest gap), from
// construction to Stop().
class PauseMeter {
public:
    PauseMeter()
    {
        QObject::connect(&m_Ticks, &QTimer::timeout,
                         [this] { m_LongestGap = std::max(m_LongestGap, m_SinceTick.restart()); });
        m_Clock.start();
        m_SinceTick.start();
        m_Ticks.start(5);
    }
    void Stop()
    {
        m_Ticks.stop();
        m_Elapsed = m_Clock.elapsed();
    }
    qint64 Elapsed() const { return m_Elapsed; }
    qint64 LongestGap() const { return m_LongestGap; }

private:
    QElapsedTimer m_Clock;
    QElapsedTimer m_SinceTick;
    QTimer m_Ticks;
    qint64 m_LongestGap = 0;
    qint64 m_Elapsed = 0;
};

// Each analysis tab of the verification window, its analysis run.
void SaveAnalyses(CVerificationWindow* window, const QString& circuit)
{
    for (const RobustnessKind kind : RobustnessKinds) {
        CRobustnessTab* tab = window->AnalysisTab(kind);
        window->Tabs()->setCurrentWidget(tab);
        PauseMeter meter;
        tab->RunButton()->click();
        (void)QTest::qWaitFor([tab] { return !tab->IsRunning(); }, 60000);
        meter.Stop();
        std::printf("%s: %lld ms, the window's longest pause %lld ms\n", qPrintable(RobustnessTitle(kind)),
                    meter.Elapsed(), meter.LongestGap());
        Save(window, QStringLiteral("verification-%1-%2.png").arg(RobustnessTitle(kind).toLower(), circuit));
    }
    window->Tabs()->setCurrentIndex(0);
}

// The Bode plot's readout with the mouse over the middle of the plot.
void SaveReadout(CVerificationWindow* window, const QString& name)
{
    window->Tabs()->setCurrentIndex(0);
    CPlotView* plot = window->ChartView();
    const QRectF area = plot->chart()->plotArea();
    const QPoint at = plot->mapFromScene(plot->chart()->mapToScene(area.center())) + QPoint(40, 0);
    QTest::mouseMove(plot->viewport(), at);
    plot->ShowReadoutAt(at);
    std::printf("readout: %s\n", qPrintable(plot->ReadoutText()));
    Save(window, name);
}

// Two analyses asked for at once (the second queues behind the first):
// how long both take and the longest the window went without handling
// its events (a 5 ms timer's longest gap).
void MeasureTwoRequests(CVerificationWindow* window, int runs)
{
    CRobustnessTab* tolerance = window->AnalysisTab(RobustnessKind::Tolerance);
    CRobustnessTab* temperature = window->AnalysisTab(RobustnessKind::Temperature);
    tolerance->RunsEdit()->setValue(runs);
    PauseMeter meter;
    tolerance->RunButton()->click();
    temperature->RunButton()->click();
    (void)QTest::qWaitFor([&] { return !tolerance->IsRunning() && !temperature->IsRunning(); }, 600000);
    meter.Stop();
    std::printf(
        "two requests (tolerances %d runs, temperature): %lld ms, the window's longest pause %lld ms\n", runs,
        meter.Elapsed(), meter.LongestGap());
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("NorvaneScreenshots"));
    QApplication::setApplicationName(QStringLiteral("Norvane"));
    g_Folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/norvane-shots");
    QDir().mkpath(g_Folder);

    CNorvaneApp app;
    if (!app.InitInstance({QStringLiteral("norvane")})) {
        return 1;
    }
    CMainWindow* window = app.MainWindow();
    Save(window, QStringLiteral("start.png"));
    SaveScreen(QStringLiteral("start-screen.png"));

    AcceptDialogAfterShots<CCommonEmitterDialog>(QStringLiteral("dialog-common-emitter"), true);
    app.OnNewCommonEmitter();
    SaveResult(app, QStringLiteral("result-common-emitter.png"));
    SaveVerification(app, QStringLiteral("verification-common-emitter.png"));
    SaveAnalyses(app.VerificationWindow(), QStringLiteral("common-emitter"));
    SaveReadout(app.VerificationWindow(), QStringLiteral("verification-readout.png"));
    SaveScreen(QStringLiteral("verification-screen.png"));
    if (const QByteArray runs = qgetenv("NORVANE_TOUR_TWO_REQUESTS"); !runs.isEmpty()) {
        MeasureTwoRequests(app.VerificationWindow(), runs.toInt());
    }

    AcceptDialogAfterShots<CCommonBaseDialog>(QStringLiteral("dialog-common-base"), false);
    app.OnNewCommonBase();
    SaveResult(app, QStringLiteral("result-common-base.png"));
    SaveScreen(QStringLiteral("result-common-base-screen.png"));
    SaveVerification(app, QStringLiteral("verification-common-base.png"));

    AcceptDialogAfterShots<CCommonCollectorDialog>(QStringLiteral("dialog-common-collector"), false);
    app.OnNewCommonCollector();
    SaveResult(app, QStringLiteral("result-common-collector.png"));
    SaveVerification(app, QStringLiteral("verification-common-collector.png"));
    app.VerificationWindow()->hide();

    // A design the transistor model cannot solve says so below the title.
    OnNextModal<CCommonEmitterDialog>([](CCommonEmitterDialog* dialog) {
        dialog->FieldEdit(InputField::SupplyVoltage)->setText(QStringLiteral("1"));
        dialog->accept();
    });
    app.OnNewCommonEmitter();
    Save(window, QStringLiteral("result-not-usable.png"));

    // A range message over its dialog.
    OnNextModal<CCommonEmitterDialog>([](CCommonEmitterDialog* dialog) {
        dialog->FieldEdit(InputField::SupplyVoltage)->setText(QStringLiteral("0.5"));
        OnNextModal<QMessageBox>([dialog](QMessageBox* box) {
            SaveScreen(QStringLiteral("range-message-screen.png"));
            Save(box, QStringLiteral("range-message.png"));
            box->accept();
            dialog->reject();
        });
        dialog->accept();
    });
    app.OnNewCommonEmitter();

    OnNextModal<CAboutDialog>([](CAboutDialog* about) {
        Save(about, QStringLiteral("about.png"));
        about->accept();
    });
    app.OnAbout();

    OnNextModal<QMessageBox>([](QMessageBox* box) {
        Save(box, QStringLiteral("unsaved-question.png"));
        box->button(QMessageBox::No)->click();
    });
    window->close();
    return 0;
}
