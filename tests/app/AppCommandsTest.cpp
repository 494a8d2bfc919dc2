// The application's commands and state: start-up, the three New Amplifier
// commands through their dialogs, the document reset on a change of
// circuit, New and Open, the command line and the recent-file list.

#include "app/AboutDlg.h"
#include "support/TestMain.h"
#include "app/AppFixture.h"
#include "transistors/TransistorTable.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>

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

} // namespace

class AppCommandsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsWithNothingCalculated()
    {
        AppFixture f;
        QVERIFY(f.started);
        QVERIFY(f.Frame().isVisible());
        QCOMPARE(f.Frame().windowTitle(), QString("Norvane"));
        QCOMPARE(f.Frame().frameGeometry().size(), QSize(810, 538));
        QCOMPARE(f.app->GetLastOutcome(), 0);
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
        for (QAction* top : f.Frame().menuBar()->actions()) {
            items << top->text();
            if (QMenu* menu = top->menu()) {
                for (QAction* item : menu->actions()) {
                    items << "  " + item->text() + "|" + item->shortcut().toString();
                }
            }
        }
        QCOMPARE(items, (QStringList{"&New Amplifier", "  Common-&Base circuit...|",
                                     "  Common-&Emitter circuit...|", "  Common-&Collector circuit...|",
                                     "&Result", "  &Save|Ctrl+S", "  Save &as...|", "&About..."}));
        // New and Open have only their shortcuts.
        QCOMPARE(f.Frame().Command("fileNew")->shortcut(), QKeySequence("Ctrl+N"));
        QCOMPARE(f.Frame().Command("fileOpen")->shortcut(), QKeySequence("Ctrl+O"));
        QVERIFY(f.Frame().actions().contains(f.Frame().Command("fileNew")));
        QVERIFY(f.Frame().actions().contains(f.Frame().Command("fileOpen")));
    }

    void commandRunsItsDialogAndRecordsTheDesign_data()
    {
        QTest::addColumn<CircuitKind>("kind");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("schematic");
        QTest::addColumn<QString>("title");
        QTest::newRow("common-base NPN") << CircuitKind::CommonBase << "BC548B" << 136 << "Common-Base circuit";
        QTest::newRow("common-base PNP") << CircuitKind::CommonBase << "BC558B" << 137 << "Common-Base circuit";
        QTest::newRow("common-emitter default") << CircuitKind::CommonEmitter << "BC548B" << 142
                                                << "Common-Emitter circuit";
        QTest::newRow("common-collector NPN") << CircuitKind::CommonCollector << "BC548B" << 140
                                              << "Common-Collector circuit";
        QTest::newRow("common-collector PNP") << CircuitKind::CommonCollector << "BC558B" << 141
                                              << "Common-Collector circuit";
    }

    void commandRunsItsDialogAndRecordsTheDesign()
    {
        QFETCH(CircuitKind, kind);
        QFETCH(QString, type);
        QFETCH(int, schematic);
        QFETCH(QString, title);
        AppFixture f;
        PaintCounter counter(f.Frame().View());
        MessageBoxWatch watch;
        f.Calculate(kind, AppFixture::WithType(type));
        QVERIFY(watch.Texts().isEmpty());
        QCOMPARE(f.app->GetLastOutcome(), 2);
        QCOMPARE(int(f.app->GetSchematicId()), schematic);
        QCOMPARE(QString::fromStdString(f.app->GetCircuitTitle()), title);
        QCOMPARE(f.app->GetCircuitKind(), kind);
        QVERIFY(f.app->IsResultUnsaved());
        QVERIFY(!f.app->GetInputData().empty());
        QVERIFY(!f.app->GetComponentValues().empty());
        QVERIFY(counter.paints > 0);  // repainted at once
        // The first calculation keeps the document as it is.
        QCOMPARE(f.Doc().GetTitle(), QString("Untitled"));
        QCOMPARE(f.Frame().windowTitle(), QString("Norvane"));
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
        const bool without = f.app->Emitterschaltung().IsWithoutBypass();
        QCOMPARE(int(f.app->GetSchematicId()), without ? 143 : 139);
    }

    void cancelledDialogChangesNothing()
    {
        AppFixture f;
        f.Cancel(CircuitKind::CommonEmitter);
        QCOMPARE(f.app->GetLastOutcome(), 0);
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
        QCOMPARE(f.Frame().windowTitle(), QString("amp1.html - Norvane"));

        // Same circuit again: Save writes to the same file without asking.
        f.Calculate(CircuitKind::CommonEmitter, [](CCircuitDialog* d) {
            d->FieldEdit(InputField::SupplyVoltage)->setText("15");
        });
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
        QCOMPARE(f.Frame().windowTitle(), QString("Untitled - Norvane"));
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
            f.Frame().Command("fileNew")->trigger();
            QCOMPARE(watch.Texts(), QStringList());
        }
        f.Calculate(CircuitKind::CommonCollector);
        f.NextSavePath = f.Path("cc.html");
        f.Doc().OnSaveResult();
        f.Calculate(CircuitKind::CommonCollector);

        auto shown = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::Cancel, shown);
        f.Frame().Command("fileNew")->trigger();
        QVERIFY(shown->shown);
        QCOMPARE(shown->caption, QString("Result has not been saved yet"));
        QCOMPARE(shown->text, QString("Your latest result has not been saved yet.\n\nDo you want to save your design ?"));
        QCOMPARE(shown->buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(shown->owner, &f.Frame());
        QCOMPARE(f.Doc().GetPathName(), f.Path("cc.html"));

        // Yes, then the file dialog cancelled: the command is abandoned.
        f.NextSavePath.clear();
        AnswerNextMessage(QMessageBox::Yes);
        f.Frame().Command("fileNew")->trigger();
        QCOMPARE(f.Doc().GetPathName(), f.Path("cc.html"));
        QVERIFY(f.app->IsResultUnsaved());

        // No: the document is reset, the design stays as it is.
        AnswerNextMessage(QMessageBox::No);
        f.Frame().Command("fileNew")->trigger();
        QVERIFY(f.Doc().GetPathName().isEmpty());
        QCOMPARE(f.Doc().GetTitle(), QString("Untitled"));
        QVERIFY(f.app->IsResultUnsaved());
        QCOMPARE(f.app->GetLastOutcome(), 2);
        QCOMPARE(int(f.app->GetSchematicId()), 140);
    }

    void openMakesAFileTheDocumentsFile()
    {
        AppFixture f;
        const QString existing = f.Path("old.html");
        Touch(existing);
        f.Calculate(CircuitKind::CommonEmitter);

        // The question comes after the file has been chosen.
        f.NextOpenPath = existing;
        auto shown = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::No, shown);
        f.Frame().Command("fileOpen")->trigger();
        QCOMPARE(f.openDialogs, 1);
        QVERIFY(shown->shown);
        QCOMPARE(f.Doc().GetPathName(), existing);
        QCOMPARE(f.Doc().GetTitle(), QString("old.html"));
        QCOMPARE(f.Frame().windowTitle(), QString("old.html - Norvane"));
        QCOMPARE(f.app->RecentFiles().value(0), existing);
        // Nothing was read: the design is still there and still unsaved.
        QCOMPARE(int(f.app->GetSchematicId()), 142);
        QVERIFY(f.app->IsResultUnsaved());
        // Save writes the current result to that file without asking.
        f.Doc().OnSaveResult();
        QCOMPARE(f.saveDialogs, 0);
        QFile file(existing);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("Common-Emitter circuit"));

        // A file that cannot be opened: a message, the document stays.
        f.NextOpenPath = f.Path("missing.html");
        auto error = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::Ok, error);
        f.Frame().Command("fileOpen")->trigger();
        QVERIFY(error->shown);
        QVERIFY(error->text.contains("missing.html"));
        QCOMPARE(error->icon, QMessageBox::Critical);
        QCOMPARE(f.Doc().GetPathName(), existing);

        // A cancelled open dialog does nothing.
        f.NextOpenPath.clear();
        f.Frame().Command("fileOpen")->trigger();
        QCOMPARE(f.Doc().GetPathName(), existing);
    }

    void commandLineFileBecomesTheDocument()
    {
        QTemporaryDir folder;
        const QString existing = folder.filePath("given.html");
        Touch(existing);
        AppFixture f({existing});
        QVERIFY(f.started);
        QCOMPARE(f.Doc().GetPathName(), existing);
        QCOMPARE(f.Frame().windowTitle(), QString("Norvane"));
        QCOMPARE(f.app->GetLastOutcome(), 0);
        f.Calculate(CircuitKind::CommonBase);
        f.Doc().OnSaveResult();
        QCOMPARE(f.saveDialogs, 0);
        QFile file(existing);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("Common-Base circuit"));
    }

    void commandLineFileThatCannotBeOpenedEndsStartUp()
    {
        QTemporaryDir folder;
        auto error = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::Ok, error);
        AppFixture f({folder.filePath("nowhere.html")});
        QVERIFY(!f.started);
        QVERIFY(error->shown);
        QVERIFY(error->text.contains("nowhere.html"));
        QCOMPARE(error->owner, nullptr);
        QVERIFY(!f.app->MainFrame() || !f.app->MainFrame()->isVisible());
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
            QCOMPARE(f.app->RecentFiles(),
                     (QStringList{f.Path("r5.html"), f.Path("r4.html"), f.Path("r3.html"), f.Path("r2.html")}));
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
        OnNextModal<CAboutDlg>([&](CAboutDlg* about) {
            caption = about->windowTitle();
            owner = about->parentWidget();
            about->OkButton()->click();
        });
        f.Frame().Command("about")->trigger();
        QCOMPARE(caption, QString("About Norvane"));
        QCOMPARE(owner, &f.Frame());
        QCOMPARE(f.app->GetLastOutcome(), 0);
    }
};

NORVANE_REGISTER_TEST(AppCommandsTest);

#include "AppCommandsTest.moc"
