// The simulation in the desktop program: the verdict line after a
// calculation (from a worker thread, stale results dropped), the
// verification window against Verify() of the same design, what-if edits,
// the exports, and the report setting.

#include "app/AppFixture.h"
#include "app/VerificationRunner.h"
#include "app/VerificationWindow.h"
#include "circuit/Netlist.h"
#include "format/EngineeringFormat.h"
#include "report/Report.h"
#include "studies/Verify.h"
#include "support/InProcessCli.h"
#include "support/TestMain.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

using namespace norvane;
using namespace norvane::test;

namespace {

// The verdict with its capacitor proposal: well under a second in a release
// build, over ten under the sanitizers beside another test.
constexpr int SimulationWait = 60000; // ms

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

CVerificationWindow* OpenWindow(AppFixture& f)
{
    return OpenVerificationWindow(f, SimulationWait);
}

QString Cell(const QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

// The yield of a simulated verdict follows it, in the main window and in
// the verification window.
// 500 simulations each: 14 s in a Debug build on a busy machine.
constexpr int YieldWait = 120000;

bool HasYield(AppFixture& f, CVerificationWindow* window)
{
    return f.Doc().GetVerdictLine().find("of builds") != std::string::npos &&
           window->StatusText().contains(QStringLiteral("of builds"));
}

class VerificationTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void verdictLineFollowsTheCalculation()
    {
        AppFixture f;
        QCOMPARE(f.Doc().GetVerdictLine(), std::string());
        f.Calculate(CircuitKind::CommonEmitter);
        // The calculation does not wait for ngspice.
        QCOMPARE(f.Doc().GetVerdictState(), VerdictState::Simulating);
        QCOMPARE(f.Doc().GetVerdictLine(), std::string(SimulatingText));
        QTRY_VERIFY_WITH_TIMEOUT(f.Doc().GetVerdictState() != VerdictState::Simulating, SimulationWait);
        const Verdict expected = Verify(*f.app->CurrentSnapshot()).m_Verdict;
        QCOMPARE(f.Doc().GetVerdictLine(), expected.Line());
        QCOMPARE(f.Doc().GetVerdictState(), expected.m_Meets ? VerdictState::Meets : VerdictState::Misses);
    }

    // Of two starts only the later one reports, whichever finishes first.
    void staleResultIsDropped()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        const auto emitter = f.app->CurrentSnapshot();
        f.Calculate(CircuitKind::CommonCollector);
        const auto collector = f.app->CurrentSnapshot();
        CVerificationRunner runner;
        QSignalSpy finished(&runner, &CVerificationRunner::Finished);
        runner.Start(emitter, {}, false);
        runner.Start(collector, {}, false);
        QTRY_VERIFY_WITH_TIMEOUT(!runner.IsRunning(), SimulationWait);
        QTest::qWait(100);
        QCOMPARE(finished.count(), 1);
        const auto outcome = finished.at(0).at(0).value<VerificationOutcome>();
        QCOMPARE(outcome.m_Verification.m_Verdict.Line(), Verify(*collector).m_Verdict.Line());
    }

    void windowTableIsTheVerification()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonBase);
        CVerificationWindow* window = OpenWindow(f);
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QString("Verification"));
        QVERIFY(window->isWindow() && !window->isModal());
        QVERIFY(window->Shown());
        const Verification expected = Verify(*f.app->CurrentSnapshot());
        QCOMPARE(window->StatusText().toStdString(), expected.m_Verdict.Line());
        QCOMPARE(window->Table()->rowCount(), int(expected.m_Rows.size()));
        for (int row = 0; row < window->Table()->rowCount(); ++row) {
            const VerificationRow& r = expected.m_Rows[std::size_t(row)];
            const QStringList cells{Cell(window->Table(), row, 0), Cell(window->Table(), row, 1),
                                    Cell(window->Table(), row, 2), Cell(window->Table(), row, 3),
                                    Cell(window->Table(), row, 4)};
            QCOMPARE(cells,
                     (QStringList{QString::fromStdString(r.m_Quantity), QString::fromStdString(r.m_Required),
                                  QString::fromStdString(r.m_Designed), QString::fromStdString(r.m_Simulated),
                                  QString::fromStdString(r.m_Verdict)}));
        }
        // Gain, phase, f_min, the -3 dB markers.
        QVERIFY(window->ChartView()->chart()->series().size() >= 4);

        // It follows the current design.
        f.Calculate(CircuitKind::CommonCollector);
        QTRY_VERIFY_WITH_TIMEOUT(!window->IsSimulating() && window->Shown(), SimulationWait);
        QCOMPARE(window->StatusText().toStdString(), Verify(*f.app->CurrentSnapshot()).m_Verdict.Line());

        // Escape closes it, from its table too.
        window->Table()->setFocus();
        QTest::keyClick(window->Table(), Qt::Key_Escape);
        QTRY_VERIFY(!window->isVisible());

        // Tab leaves the table; every tab has a letter of its own, none
        // taken by the window's buttons; Close closes it.
        f.app->OnVerification();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->Table()->setFocus();
        QTest::keyClick(window->Table(), Qt::Key_Tab);
        QVERIFY(window->focusWidget() != window->Table());
        const auto inAnalysisTab = [](const QWidget* widget) {
            for (; widget; widget = widget->parentWidget()) {
                if (qobject_cast<const CRobustnessTab*>(widget)) {
                    return true;
                }
            }
            return false;
        };
        QString buttonLetters;
        for (const QPushButton* button : window->findChildren<QPushButton*>()) {
            const qsizetype amp = button->text().indexOf(u'&');
            if (amp >= 0 && !inAnalysisTab(button)) {
                buttonLetters += button->text().at(amp + 1).toLower();
            }
        }
        for (int i = window->Tabs()->count() - 1; i >= 0; --i) {
            const QString text = window->Tabs()->tabText(i);
            const qsizetype amp = text.indexOf(u'&');
            QVERIFY2(amp >= 0 && !buttonLetters.contains(text.at(amp + 1).toLower()), qPrintable(text));
            buttonLetters += text.at(amp + 1).toLower();
        }
        auto* close = window->findChild<QPushButton*>("close");
        QVERIFY(close && close->text() == "Cl&ose");
        close->click();
        QVERIFY(!window->isVisible());
    }

    void whatIfEditsSimulateAndGoBack()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        CVerificationWindow* window = OpenWindow(f);
        QVERIFY(window && window->Shown());
        const double designedIc = window->Shown()->m_Verification.m_Simulation.m_Ic;
        QLineEdit* r1 = window->PartEdit("R1");
        QVERIFY(r1);
        const QString designedText = r1->text();
        const double r1Value = ParseEngineering(designedText.toStdString());

        // Twice R1: less base voltage, less collector current. The plot
        // follows at once from the model; ngspice runs after the pause.
        Type(r1, QString::fromStdString(FormatEngineering(2 * r1Value)));
        QCOMPARE(window->StatusText(), QString(PreviewText));
        QVERIFY(window->IsSimulating());
        QVERIFY(!window->ChartView()->chart()->series().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!window->IsSimulating() && window->Shown(), SimulationWait);
        QVERIFY(r1->property("edited").toBool());
        QVERIFY(!window->PartEdit("R2")->property("edited").toBool());
        VerificationOptions edited;
        edited.m_PartValues = {{"R1", 2 * r1Value}};
        const double editedIc = window->Shown()->m_Verification.m_Simulation.m_Ic;
        QCOMPARE(editedIc, Verify(*f.app->CurrentSnapshot(), edited).m_Simulation.m_Ic);
        QVERIFY(editedIc < 0.9 * designedIc);

        // Text that is no number, or no positive value, leaves no plot.
        Type(r1, "abc");
        QVERIFY(window->StatusText().contains("not a number"));
        QVERIFY(!window->Shown());
        QCOMPARE(window->Table()->rowCount(), 0);
        QVERIFY(window->ChartView()->chart()->series().isEmpty());
        Type(r1, "-5k");
        QVERIFY(window->StatusText().contains("not a positive value"));

        window->BackButton()->click();
        QCOMPARE(r1->text(), designedText);
        QVERIFY(!r1->property("edited").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(!window->IsSimulating() && window->Shown(), SimulationWait);
        QCOMPARE(window->Shown()->m_Verification.m_Simulation.m_Ic, designedIc);
    }

    void exportsWriteWhatIsShown()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        CVerificationWindow* window = OpenWindow(f);
        QVERIFY(window && window->Shown());
        Type(window->PartEdit("R2"), "33k");
        Type(window->LoadEdit(), "4k7");
        QTRY_VERIFY_WITH_TIMEOUT(!window->IsSimulating() && window->Shown(), SimulationWait);

        QVERIFY(window->ExportNetlist(f.Path("amp.cir").toStdString()).Ok());
        const QByteArray netlist = ReadAll(f.Path("amp.cir"));
        QVERIFY(netlist.contains("\nR2 ") && netlist.contains(" 33000\n"));
        QVERIFY(netlist.contains("\nRLOAD out 0 4700\n"));
        QVERIFY(netlist.endsWith(".end\n"));

        // Through the button and its file chooser, where the name typed
        // gets the extension of the kind of file.
        window->SetFileChooser(
            [&](QWidget*, const QString&, const QString&, const QString&) { return f.Path("bode"); });
        const auto buttons = window->findChildren<QPushButton*>();
        const auto csv =
            std::ranges::find_if(buttons, [](QPushButton* b) { return b->text() == "Bode &CSV..."; });
        QVERIFY(csv != buttons.end());
        (*csv)->click();
        const std::string expected = BodeCsv(window->Shown()->m_Verification.m_Simulation.m_Bode);
        QCOMPARE(ReadAll(f.Path("bode.csv")).toStdString(), expected);
        QVERIFY(expected.rfind("frequency_hz,magnitude_db,phase_deg\n", 0) == 0);

        // One that cannot be written says why in a box centred on the window.
        window->SetFileChooser([&](QWidget*, const QString&, const QString&, const QString&) {
            return f.Path("missing/bode.csv");
        });
        QString shown;
        QTimer::singleShot(0, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                const QPoint offset = box->frameGeometry().center() - window->frameGeometry().center();
                if (box->parentWidget() == window && offset.manhattanLength() < 40) {
                    shown = box->text();
                }
                box->done(QMessageBox::Ok);
            }
        });
        (*csv)->click();
        QVERIFY2(shown.contains(u"missing"), qPrintable(shown));

        QVERIFY(window->ExportPng(f.Path("bode.png").toStdString()).Ok());
        QVERIFY(!QImage(f.Path("bode.png"), "PNG").isNull());
        QVERIFY(window->ExportSvg(f.Path("bode.svg").toStdString()).Ok());
        const QByteArray svg = ReadAll(f.Path("bode.svg"));
        QVERIFY(svg.contains("<svg") && svg.contains("</svg>"));
    }

    void appliedValuesAreTheDesignsNow()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonBase);
        CVerificationWindow* window = OpenWindow(f);
        QVERIFY(window);
        f.app->ClearResultUnsaved();
        if (window->ApplyButton()->isVisible()) {
            window->ApplyButton()->click();
        } else {
            f.app->ApplyPartValues({{"C3", 100e-9}});
        }
        QVERIFY(f.app->IsResultUnsaved());
        const std::vector<std::string> notes = f.Doc().GetNotes();
        QVERIFY(std::ranges::any_of(
            notes, [](const std::string& note) { return note.find("(designed ") != std::string::npos; }));
        // A change the user made is no error: it is not drawn in red.
        int changes = 0;
        for (const ViewLine& line : f.MainWindow().View()->ResultLines(QSize(800, 500))) {
            if (line.m_Text.contains(u" changed to ")) {
                ++changes;
                QVERIFY(line.m_Colour.red() < 2 * line.m_Colour.blue());
            }
        }
        QVERIFY(changes > 0);
        // The window takes the applied values as the design's own.
        QTRY_VERIFY_WITH_TIMEOUT(!window->IsSimulating(), SimulationWait);
        for (const auto& [name, value] : f.app->CurrentSnapshot()->ComponentNumbers()) {
            QLineEdit* edit = window->PartEdit(QString::fromStdString(name));
            QCOMPARE(edit->text().toStdString(), PartItem(name, value).value);
            QVERIFY(!edit->property("edited").toBool());
        }
    }

    // A saved report is the recipe of what was shown: a tuned design (the
    // proposal applied), one with what-if values and one with a load and a
    // source come back on Open with the same design, the same verdict line
    // and the same verification, under the file's name; design --from
    // prints the same design and verdict.
    void savedDesignsComeBackWithTheirVerdict()
    {
        using Setting = std::function<void(AppFixture&, CVerificationWindow*)>;
        const std::pair<const char*, Setting> cases[] = {
            {"tuned",
             [](AppFixture&, CVerificationWindow* window) {
                 QVERIFY(window->ApplyButton()->isVisible());
                 window->ApplyButton()->click();
             }},
            {"edited",
             [](AppFixture&, CVerificationWindow* window) { Type(window->PartEdit("C3"), "2.2n"); }},
            {"loaded",
             [](AppFixture&, CVerificationWindow* window) {
                 Type(window->LoadEdit(), "4k7");
                 Type(window->SourceEdit(), "600");
             }},
        };
        for (const auto& [name, setting] : cases) {
            const QString file = QString(name) + ".html";
            QTemporaryDir folder;
            const QString path = folder.filePath(file);
            std::string verdict;
            QString windowVerdict;
            ResultList components;
            {
                AppFixture f;
                f.Calculate(CircuitKind::CommonBase);
                CVerificationWindow* window = OpenWindow(f);
                QVERIFY(window && window->Shown());
                setting(f, window);
                QTRY_VERIFY_WITH_TIMEOUT(f.Doc().GetVerdictState() != VerdictState::Simulating &&
                                             !window->IsSimulating() && window->Shown() &&
                                             HasYield(f, window),
                                         YieldWait);
                verdict = f.Doc().GetVerdictLine();
                windowVerdict = window->StatusText();
                components = f.Doc().GetComponentValues();
                f.NextSavePath = path;
                f.MainWindow().Command("saveResult")->trigger();
                QVERIFY2(!f.app->IsResultUnsaved(), name);
            }
            AppFixture g;
            QVERIFY(g.Doc().OpenDocumentFile(path));
            CVerificationWindow* window = OpenWindow(g);
            QTRY_VERIFY_WITH_TIMEOUT(g.Doc().GetVerdictState() != VerdictState::Simulating &&
                                         !window->IsSimulating() && window->Shown() && HasYield(g, window),
                                     YieldWait);
            QCOMPARE(g.Doc().GetTitle(), file);
            QVERIFY(!g.app->IsResultUnsaved());
            QCOMPARE(g.Doc().GetComponentValues(), components);
            QCOMPARE(g.Doc().GetVerdictLine(), verdict);
            QCOMPARE(window->StatusText(), windowVerdict);

            const CliResult cli = RunCli({"design", "--from", path.toStdString(), "--simulate"});
            QCOMPARE(cli.status, 0);
            QVERIFY2(cli.err.empty(), cli.err.c_str());
            QVERIFY2(cli.out.find(windowVerdict.toStdString()) != std::string::npos, cli.out.c_str());
            for (const ResultItem& item : components) {
                QVERIFY(cli.out.find(item.name + " = " + item.value + "\n") != std::string::npos);
            }
        }
    }

    // The window and the command line export the same circuit for the same
    // design, load and source (and what-if values, through a saved report),
    // byte for byte.
    void windowAndCommandLineWriteTheSameNetlist()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        CVerificationWindow* window = OpenWindow(f);
        QVERIFY(window);
        Type(window->LoadEdit(), "4k7");
        Type(window->SourceEdit(), "600");
        const std::string windowPath = f.Path("window.cir").toStdString();
        const std::string cliPath = f.Path("cli.cir").toStdString();
        QVERIFY(window->ExportNetlist(windowPath).Ok());
        CliResult cli = RunCli({"design", "ce", "--load", "4k7", "--source", "600", "--netlist", cliPath});
        QCOMPARE(cli.status, 0);
        const std::string netlist = ReadFile(windowPath);
        QVERIFY(netlist.find("\nRSOURCE source in 600\n") != std::string::npos);
        QCOMPARE(ReadFile(cliPath), netlist);

        Type(window->PartEdit("C2"), "2.2u");
        QVERIFY(window->ExportNetlist(windowPath).Ok());
        f.NextSavePath = f.Path("edited.html");
        f.MainWindow().Command("saveResult")->trigger();
        cli = RunCli({"design", "--from", f.Path("edited.html").toStdString(), "--netlist", cliPath});
        QCOMPARE(cli.status, 0);
        QVERIFY(ReadFile(windowPath).find(" instead of the designed ") != std::string::npos);
        QCOMPARE(ReadFile(cliPath), ReadFile(windowPath));
    }

    void reportSettingAddsTheSimulationOrNothing()
    {
        {
            AppFixture f;
            QAction* include = f.MainWindow().Command("includeSimulation");
            QVERIFY(include->isCheckable() && include->isChecked());
            f.Calculate(CircuitKind::CommonEmitter);
            f.NextSavePath = f.Path("with.html");
            f.MainWindow().Command("saveResult")->trigger();
            const std::string verdict = Verify(*f.app->CurrentSnapshot()).m_Verdict.Line();
            QVERIFY(
                ReadAll(f.Path("with.html")).contains(QByteArray::fromStdString(EscapeXhtmlText(verdict))));
            include->setChecked(false);
        }
        // Kept in the settings; off, the report is the one without simulation.
        AppFixture f({}, false);
        QVERIFY(!f.MainWindow().Command("includeSimulation")->isChecked());
        f.Calculate(CircuitKind::CommonEmitter);
        f.NextSavePath = f.Path("without.html");
        f.MainWindow().Command("saveResult")->trigger();
        QVERIFY(!f.app->GetReportSimulation());
        QCOMPARE(ReadAll(f.Path("without.html")).toStdString(),
                 BuildReport("without", ReportContentOf(*f.app->CurrentSnapshot())));
    }
};

NORVANE_REGISTER_TEST(VerificationTest);

#include "VerificationTest.moc"
