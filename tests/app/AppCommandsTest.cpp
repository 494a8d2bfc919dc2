// The application's commands and state: start-up, the three New Amplifier
// commands through their dialogs, the document reset on a change of
// circuit, New and Open, the command line and the recent-file list.

#include "app/AboutDialog.h"
#include "app/AppFixture.h"
#include "dialogs/TransistorListDialog.h"
#include "support/TestMain.h"
#include "transistors/TransistorTable.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTreeView>

using namespace norvane;
using namespace norvane::test;

Q_DECLARE_METATYPE(norvane::CircuitKind)

namespace {

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

void Touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html/>\n");
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The lines the view draws, as "name = value".
QStringList ViewLines(CNorvaneDoc& doc)
{
    QStringList lines;
    for (const ResultList& list : {doc.GetInputData(), doc.GetComponentValues(), doc.GetOperationPoint()}) {
        for (const ResultItem& item : list) {
            lines << QString::fromStdString(item.name + " = " + item.value);
        }
    }
    return lines;
}

} // namespace

class AppCommandsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsWithNothingCalculated()
    {
        AppFixture f;
        QVERIFY(f.started);
        QVERIFY(f.MainWindow().isVisible());
        QCOMPARE(f.MainWindow().windowTitle(), QString("Norvane"));
        QCOMPARE(f.MainWindow().frameGeometry().size(), QSize(810, 538));
        QCOMPARE(f.app->GetLastOutcome(), CalculationOutcome::None);
        QCOMPARE(f.app->GetCircuitKind(), CircuitKind::None);
        QCOMPARE(f.app->GetSchematicId(), std::uint16_t(0));
        QVERIFY(!f.app->IsResultUnsaved());
        QVERIFY(f.app->GetInputData().empty());
        QVERIFY(f.app->GetComponentValues().empty());
        QVERIFY(f.app->GetOperationPoint().empty());
        QCOMPARE(f.Doc().GetTitle(), QString("Untitled"));
        QVERIFY(f.Doc().GetPathName().isEmpty());
    }

    void menuAndShortcuts()
    {
        AppFixture f;
        QStringList items;
        for (QAction* top : f.MainWindow().menuBar()->actions()) {
            items << top->text();
            if (QMenu* menu = top->menu()) {
                for (QAction* item : menu->actions()) {
                    items << "  " + item->text() + "|" + item->shortcut().toString();
                }
            }
        }
        QCOMPARE(items, (QStringList{
                            "&New Amplifier", "  Common-&Base circuit...|", "  Common-&Emitter circuit...|",
                            "  Common-&Collector circuit...|", "&Result", "  &Save|Ctrl+S", "  Save &as...|",
                            "  Export &parts list...|", "  Export &KiCad schematic...|", "  |",
                            "  &Verification...|F5", "  &Include simulation in reports|", "&About..."}));
        // New and Open have only their shortcuts.
        QCOMPARE(f.MainWindow().Command("fileNew")->shortcut(), QKeySequence("Ctrl+N"));
        QCOMPARE(f.MainWindow().Command("fileOpen")->shortcut(), QKeySequence("Ctrl+O"));
        QVERIFY(f.MainWindow().actions().contains(f.MainWindow().Command("fileNew")));
        QVERIFY(f.MainWindow().actions().contains(f.MainWindow().Command("fileOpen")));
    }

    void commandRunsItsDialogAndRecordsTheDesign_data()
    {
        QTest::addColumn<CircuitKind>("kind");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("schematic");
        QTest::addColumn<QString>("title");
        QTest::newRow("common-base NPN")
            << CircuitKind::CommonBase << "BC548B" << 136 << "Common-Base circuit";
        QTest::newRow("common-base PNP")
            << CircuitKind::CommonBase << "BC558B" << 137 << "Common-Base circuit";
        QTest::newRow("common-emitter default")
            << CircuitKind::CommonEmitter << "BC548B" << 142 << "Common-Emitter circuit";
        QTest::newRow("common-collector NPN")
            << CircuitKind::CommonCollector << "BC548B" << 140 << "Common-Collector circuit";
        QTest::newRow("common-collector PNP")
            << CircuitKind::CommonCollector << "BC558B" << 141 << "Common-Collector circuit";
    }

    void commandRunsItsDialogAndRecordsTheDesign()
    {
        QFETCH(CircuitKind, kind);
        QFETCH(QString, type);
        QFETCH(int, schematic);
        QFETCH(QString, title);
        AppFixture f;
        PaintCounter counter(f.MainWindow().View());
        MessageBoxWatch watch;
        f.Calculate(kind, AppFixture::WithType(type));
        QVERIFY(watch.Texts().isEmpty());
        QCOMPARE(f.app->GetLastOutcome(), CalculationOutcome::Calculated);
        QCOMPARE(int(f.app->GetSchematicId()), schematic);
        QCOMPARE(QString::fromStdString(f.app->GetCircuitTitle()), title);
        QCOMPARE(f.app->GetCircuitKind(), kind);
        QVERIFY(f.app->IsResultUnsaved());
        QVERIFY(!f.app->GetInputData().empty());
        QVERIFY(!f.app->GetComponentValues().empty());
        QVERIFY(counter.paints > 0); // repainted at once
        // The first calculation keeps the document as it is.
        QCOMPARE(f.Doc().GetTitle(), QString("Untitled"));
        QCOMPARE(f.MainWindow().windowTitle(), QString("Norvane"));
    }

    void defaultCommonEmitterIsTheVariantWithoutBypass()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        QCOMPARE(int(f.app->GetSchematicId()), 142);
        QCOMPARE(f.app->GetComponentValues().size(), std::size_t(8));
        QCOMPARE(f.app->GetInputData().size(), std::size_t(5));
        QCOMPARE(f.app->GetComponentValues()[1].value, std::string("BC548B"));
        // With a PNP type the schematic follows the polarity and variant.
        f.Calculate(CircuitKind::CommonEmitter, AppFixture::WithType("BC558B"));
        const bool without = f.app->CommonEmitter().IsWithoutBypass();
        QCOMPARE(int(f.app->GetSchematicId()), without ? 143 : 139);
    }

    void cancelledDialogChangesNothing()
    {
        AppFixture f;
        f.Cancel(CircuitKind::CommonEmitter);
        QCOMPARE(f.app->GetLastOutcome(), CalculationOutcome::None);
        QCOMPARE(f.app->GetCircuitKind(), CircuitKind::None);

        f.Calculate(CircuitKind::CommonEmitter);
        f.NextSavePath = f.Path("amp1.html");
        f.Doc().OnSaveResult();
        QVERIFY(!f.app->IsResultUnsaved());
        const auto components = f.app->GetComponentValues();
        f.Cancel(CircuitKind::CommonBase);
        QCOMPARE(f.app->GetCircuitKind(), CircuitKind::CommonEmitter);
        QCOMPARE(int(f.app->GetSchematicId()), 142);
        QVERIFY(!f.app->IsResultUnsaved());
        QCOMPARE(f.Doc().GetPathName(), f.Path("amp1.html"));
        QVERIFY(f.app->GetComponentValues() == components);
    }

    void changeOfCircuitResetsTheDocumentSilently()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        f.NextSavePath = f.Path("amp1.html");
        f.Doc().OnSaveResult();
        QCOMPARE(f.saveDialogs, 1);
        QCOMPARE(f.MainWindow().windowTitle(), QString("amp1.html - Norvane"));

        // Same circuit again: Save writes to the same file without asking.
        f.Calculate(CircuitKind::CommonEmitter,
                    [](CCircuitDialog* d) { d->FieldEdit(InputField::SupplyVoltage)->setText("15"); });
        QVERIFY(f.app->IsResultUnsaved());
        QCOMPARE(f.Doc().GetPathName(), f.Path("amp1.html"));
        f.Doc().OnSaveResult();
        QCOMPARE(f.saveDialogs, 1);
        QVERIFY(!f.app->IsResultUnsaved());

        // Another circuit with an unsaved result: no question, untitled.
        f.Calculate(CircuitKind::CommonEmitter);
        QVERIFY(f.app->IsResultUnsaved());
        {
            MessageBoxWatch watch;
            f.Calculate(CircuitKind::CommonBase);
            QCOMPARE(watch.Texts(), QStringList());
        }
        QVERIFY(f.app->IsResultUnsaved());
        QVERIFY(f.Doc().GetPathName().isEmpty());
        QCOMPARE(f.Doc().GetTitle(), QString("Untitled"));
        QCOMPARE(f.MainWindow().windowTitle(), QString("Untitled - Norvane"));
        f.NextSavePath = f.Path("amp2.html");
        f.Doc().OnSaveResult();
        QCOMPARE(f.saveDialogs, 2);
        QCOMPARE(f.Doc().GetPathName(), f.Path("amp2.html"));
    }

    void newAsksAboutAnUnsavedResult()
    {
        AppFixture f;
        // Nothing unsaved: no question.
        {
            MessageBoxWatch watch;
            f.MainWindow().Command("fileNew")->trigger();
            QCOMPARE(watch.Texts(), QStringList());
        }
        f.Calculate(CircuitKind::CommonCollector);
        f.NextSavePath = f.Path("cc.html");
        f.Doc().OnSaveResult();
        f.Calculate(CircuitKind::CommonCollector);

        auto shown = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::Cancel, shown);
        f.MainWindow().Command("fileNew")->trigger();
        QVERIFY(shown->shown);
        QCOMPARE(shown->caption, QString("Result has not been saved yet"));
        QCOMPARE(shown->text,
                 QString("Your latest result has not been saved yet.\n\nDo you want to save your design ?"));
        QCOMPARE(shown->buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(shown->owner, &f.MainWindow());
        QCOMPARE(f.Doc().GetPathName(), f.Path("cc.html"));

        // Yes, then the file dialog cancelled: the command is abandoned.
        f.NextSavePath.clear();
        AnswerNextMessage(QMessageBox::Yes);
        f.MainWindow().Command("fileNew")->trigger();
        QCOMPARE(f.Doc().GetPathName(), f.Path("cc.html"));
        QVERIFY(f.app->IsResultUnsaved());

        // No: the document is reset, the design stays as it is.
        AnswerNextMessage(QMessageBox::No);
        f.MainWindow().Command("fileNew")->trigger();
        QVERIFY(f.Doc().GetPathName().isEmpty());
        QCOMPARE(f.Doc().GetTitle(), QString("Untitled"));
        QVERIFY(f.app->IsResultUnsaved());
        QCOMPARE(f.app->GetLastOutcome(), CalculationOutcome::Calculated);
        QCOMPARE(int(f.app->GetSchematicId()), 140);
    }

    // What the dialog holds after a cancel never relabels the shown result.
    void resultShowsTheInputsItWasComputedFrom()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        const QStringList before = ViewLines(f.Doc());
        f.NextSavePath = f.Path("before.html");
        f.Doc().OnSaveResultAs();
        const QByteArray saved = ReadAll(f.NextSavePath);
        // Saved at once, before the yield has come back, the report carries
        // it all the same: it is the same whenever it is saved.
        QVERIFY(saved.contains("of builds with 5 % resistors meet"));

        // A type picked from the list, then Escape.
        OnNextModal<CCircuitDialog>([](CCircuitDialog* dialog) {
            OnNextModal<CTransistorListDialog>([](CTransistorListDialog* list) {
                list->ListControl()->setCurrentIndex(
                    list->ListControl()->model()->index(FindTransistor("2N3904"), 0));
                list->OkButton()->click();
                OnNextModal<CCircuitDialog>(
                    [](CCircuitDialog* again) { QTest::keyClick(again, Qt::Key_Escape); });
            });
            dialog->ListButton()->click();
        });
        f.Run(CircuitKind::CommonEmitter);
        // E96 read at a refused OK, then Cancel.
        OnNextModal<CCircuitDialog>([](CCircuitDialog* dialog) {
            dialog->SeriesButton(3)->setChecked(true);
            dialog->FieldEdit(InputField::SupplyVoltage)->setText("0");
            AnswerNextMessage(QMessageBox::Ok, {}, [] {
                OnNextModal<CCircuitDialog>([](CCircuitDialog* again) { again->CancelButton()->click(); });
            });
            dialog->OkButton()->click();
        });
        f.Run(CircuitKind::CommonEmitter);

        QCOMPARE(ViewLines(f.Doc()), before);
        QVERIFY(before.contains("T1 = BC548B"));
        QVERIFY(before.contains("Standard series = E24"));
        f.Doc().OnSaveResult();
        QCOMPARE(ReadAll(f.NextSavePath), saved);
        // The dialog keeps its memory for the next opening.
        QCOMPARE(f.app->CommonEmitter().Dialog().Inputs().TransistorIndex(), FindTransistor("2N3904"));
        QCOMPARE(f.app->CommonEmitter().Dialog().Inputs().SeriesIndex(), 3);
    }

    void openLoadsAReportAndOverwritesNothingUnasked()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonBase, AppFixture::WithType("BC558B"));
        const QString report = f.Path("cb.html");
        f.NextSavePath = report;
        f.Doc().OnSaveResultAs();
        const QByteArray saved = ReadAll(report);
        const QStringList designed = ViewLines(f.Doc());
        f.Calculate(CircuitKind::CommonEmitter);

        // The question about the unsaved result comes after the file has
        // been chosen; then the report's design is the current one, saved.
        f.NextOpenPath = report;
        auto shown = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::No, shown);
        f.MainWindow().Command("fileOpen")->trigger();
        QVERIFY(shown->shown);
        QCOMPARE(f.Doc().GetPathName(), report);
        QCOMPARE(f.MainWindow().windowTitle(), QString("cb.html - Norvane"));
        QCOMPARE(int(f.app->GetSchematicId()), 137);
        QCOMPARE(ViewLines(f.Doc()), designed);
        QVERIFY(!f.app->IsResultUnsaved());
        QVERIFY(f.Doc().GetNotes().empty());
        QCOMPARE(f.app->CommonBase().Dialog().Inputs().TransistorIndex(), FindTransistor("BC558B"));
        f.Doc().OnSaveResult();
        QCOMPARE(f.saveDialogs, 1);
        QCOMPARE(ReadAll(report), saved);

        // Files that are no reports change nothing.
        const QString foreign = f.Path("old.html");
        Touch(foreign);
        for (const QString& path : {foreign, f.Path("missing.html"), f.folder.path()}) {
            f.NextOpenPath = path;
            auto error = std::make_shared<ShownMessage>();
            AnswerNextMessage(QMessageBox::Ok, error);
            f.MainWindow().Command("fileOpen")->trigger();
            QVERIFY(error->shown);
            QVERIFY2(error->text.contains(QFileInfo(path).fileName()), qPrintable(error->text));
            QCOMPARE(error->icon, QMessageBox::Critical);
            QCOMPARE(f.Doc().GetPathName(), report);
            QCOMPARE(ViewLines(f.Doc()), designed);
        }
        QCOMPARE(ReadAll(foreign), QByteArray("<html/>\n"));

        // A report whose values no longer follow from its requirements:
        // shown with a note, unsaved and untitled, so Save asks for a name.
        const QString edited = f.Path("edited.html");
        QByteArray changed = saved;
        changed.replace("<tr><td>R1 :</td><td>", "<tr><td>R1 :</td><td>1");
        WriteAll(edited, changed);
        f.NextOpenPath = edited;
        f.MainWindow().Command("fileOpen")->trigger();
        QVERIFY(f.Doc().GetPathName().isEmpty());
        QVERIFY(f.app->IsResultUnsaved());
        QCOMPARE(f.Doc().GetNotes().size(), std::size_t(1));
        QVERIFY2(f.Doc().GetNotes().front().find("edited.html") != std::string::npos &&
                     f.Doc().GetNotes().front().find("R1 (1") != std::string::npos,
                 f.Doc().GetNotes().front().c_str());
        f.NextSavePath.clear();
        f.Doc().OnSaveResult();
        QCOMPARE(f.saveDialogs, 2);
        QCOMPARE(ReadAll(edited), changed);

        // A cancelled open dialog does nothing.
        f.NextOpenPath.clear();
        f.MainWindow().Command("fileOpen")->trigger();
        QVERIFY(f.Doc().GetPathName().isEmpty());
    }

    void commandLineReportBecomesTheDocument()
    {
        QTemporaryDir folder;
        const QString report = folder.filePath("given.html");
        {
            AppFixture first;
            first.Calculate(CircuitKind::CommonCollector);
            first.NextSavePath = report;
            first.Doc().OnSaveResultAs();
        }
        AppFixture f({report});
        QVERIFY(f.started);
        QCOMPARE(f.Doc().GetPathName(), report);
        QCOMPARE(f.app->GetLastOutcome(), CalculationOutcome::Calculated);
        QCOMPARE(int(f.app->GetSchematicId()), 140);
        QVERIFY(!f.app->IsResultUnsaved());
    }

    // As with Open: a message naming the file, and the program starts with
    // an empty document.
    void commandLineFileThatCannotBeOpenedLeavesAnEmptyDocument()
    {
        QTemporaryDir folder;
        auto error = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::Ok, error);
        AppFixture f({folder.filePath("nowhere.html")});
        QVERIFY(f.started);
        QVERIFY(error->shown);
        QVERIFY(error->text.contains("nowhere.html"));
        QCOMPARE(f.app->GetLastOutcome(), CalculationOutcome::None);
        QVERIFY(f.Doc().GetPathName().isEmpty());
    }

    void recentFileListKeepsFour()
    {
        {
            AppFixture f;
            f.Calculate(CircuitKind::CommonEmitter);
            for (int i = 1; i <= 5; ++i) {
                f.NextSavePath = f.Path(QString("r%1.html").arg(i));
                f.Doc().OnSaveResultAs();
            }
            QCOMPARE(f.app->RecentFiles(), (QStringList{f.Path("r5.html"), f.Path("r4.html"),
                                                        f.Path("r3.html"), f.Path("r2.html")}));
            QSettings settings;
            QCOMPARE(settings.value("Recent File List/File1").toString(), f.Path("r5.html"));
            QCOMPARE(settings.value("Recent File List/File4").toString(), f.Path("r2.html"));
        }
        AppFixture again({}, false);
        QCOMPARE(again.app->RecentFiles().size(), 4);
        QVERIFY(again.app->RecentFiles().first().endsWith("r5.html"));
    }

    void aboutCommandShowsTheBox()
    {
        AppFixture f;
        QString caption;
        QWidget* owner = nullptr;
        OnNextModal<CAboutDialog>([&](CAboutDialog* about) {
            caption = about->windowTitle();
            owner = about->parentWidget();
            about->OkButton()->click();
        });
        f.MainWindow().Command("about")->trigger();
        QCOMPARE(caption, QString("About Norvane"));
        QCOMPARE(owner, &f.MainWindow());
        QCOMPARE(f.app->GetLastOutcome(), CalculationOutcome::None);
    }
};

NORVANE_REGISTER_TEST(AppCommandsTest);

#include "AppCommandsTest.moc"
