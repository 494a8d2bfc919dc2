// The document's Result commands and the question before an unsaved
// result is lost: refusal before the first design, the written report
// and image, a failed write, and closing the main window.

#include "app/AppFixture.h"
#include "support/TestMain.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>

using namespace norvane;
using namespace norvane::test;

class DocumentTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refusesBeforeTheFirstCalculation()
    {
        AppFixture f;
        f.NextSavePath = f.Path("never.html");
        const QString text =
            "Until now, no circuit has been calculated.\n\nPlease start with menu item \"New Amplifier\".";
        auto save = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::Ok, save);
        f.MainWindow().Command("saveResult")->trigger();
        auto saveAs = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::Ok, saveAs);
        f.MainWindow().Command("saveResultAs")->trigger();

        QCOMPARE(save->caption, QString("Result - Save"));
        QCOMPARE(saveAs->caption, QString("Result - Save as..."));
        for (const auto& shown : {save, saveAs}) {
            QCOMPARE(shown->text, text);
            QCOMPARE(shown->icon, QMessageBox::Critical);
            QCOMPARE(shown->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QCOMPARE(shown->owner, &f.MainWindow());
        }
        QCOMPARE(f.saveDialogs, 0);
        QVERIFY(!QFile::exists(f.Path("never.html")));
    }

    void saveWritesTheReportAndTheImage()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        f.NextSavePath = f.Path("amp1"); // the extension is added
        f.MainWindow().Command("saveResult")->trigger();
        QCOMPARE(f.saveDialogs, 1);
        const QString report = f.Path("amp1.html");
        QCOMPARE(f.Doc().GetPathName(), report);
        QCOMPARE(f.Doc().GetTitle(), QString("amp1.html"));
        QCOMPARE(f.MainWindow().windowTitle(), QString("amp1.html - Norvane"));
        QVERIFY(!f.app->IsResultUnsaved());

        QFile file(report);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("Norvane-Design \"amp1\""));
        QVERIFY(text.contains("<tr><td>Circuit :</td><td>Common-Emitter circuit</td></tr>"));
        QVERIFY(text.contains("amp1-Files/amp1.png"));
        const QImage image(f.Path("amp1-Files/amp1.png"));
        QCOMPARE(image.size(), QSize(257, 242)); // schematic 142

        // Save again: same file, no dialog; Save As: a new name and folder.
        f.Calculate(CircuitKind::CommonEmitter);
        f.MainWindow().Command("saveResult")->trigger();
        QCOMPARE(f.saveDialogs, 1);
        QVERIFY(!f.app->IsResultUnsaved());
        f.NextSavePath = f.Path("amp2.html");
        f.MainWindow().Command("saveResultAs")->trigger();
        QCOMPARE(f.saveDialogs, 2);
        QVERIFY(QFile::exists(f.Path("amp2-Files/amp2.png")));
        QVERIFY(QFile::exists(report));
        QCOMPARE(f.Doc().GetPathName(), f.Path("amp2.html"));
    }

    // Result > Export parts list...: the CSV of the current design beside
    // the report's name; nothing before the first design.
    void exportsThePartsList()
    {
        AppFixture f;
        auto refused = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::Ok, refused);
        f.MainWindow().Command("exportPartsList")->trigger();
        QVERIFY(refused->shown);
        QCOMPARE(f.saveDialogs, 0);

        f.Calculate(CircuitKind::CommonEmitter);
        f.NextSavePath = f.Path("amp-parts");
        f.MainWindow().Command("exportPartsList")->trigger();
        QCOMPARE(f.saveDialogs, 1);
        QFile file(f.Path("amp-parts.csv"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.front(), QByteArray("Reference,Value,Qty,Tolerance,Rating,Description\r"));
        QVERIFY(lines.size() > 8); // T1, five resistors, three capacitors
        // Exporting is no save: the result stays unsaved.
        QVERIFY(f.app->IsResultUnsaved());
    }

    // Result > Export KiCad schematic...: the schematic of the current
    // design under the document's name; nothing before the first design.
    void exportsTheKicadSchematic()
    {
        AppFixture f;
        auto refused = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::Ok, refused);
        f.MainWindow().Command("exportKicadSchematic")->trigger();
        QVERIFY(refused->shown);
        QCOMPARE(refused->caption, QString("Export KiCad schematic"));
        QCOMPARE(f.saveDialogs, 0);

        f.Calculate(CircuitKind::CommonBase);
        f.NextSavePath = f.Path("amp"); // the extension is added
        f.MainWindow().Command("exportKicadSchematic")->trigger();
        QCOMPARE(f.saveDialogs, 1);
        QFile file(f.Path("amp.kicad_sch"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("(kicad_sch (version 20211123) (generator norvane)\n"));
        QVERIFY(text.contains("(title \"Common-Base circuit\")"));
        QVERIFY(f.app->IsResultUnsaved());
    }

    void cancelledFileDialogWritesNothing()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonBase);
        f.NextSavePath.clear();
        f.MainWindow().Command("saveResultAs")->trigger();
        QCOMPARE(f.saveDialogs, 1);
        QVERIFY(f.app->IsResultUnsaved());
        QVERIFY(f.Doc().GetPathName().isEmpty());
    }

    void failedWriteNamesTheFileAndKeepsTheMark()
    {
        AppFixture f;
        f.Calculate(CircuitKind::CommonCollector);
        f.NextSavePath = f.Path("no-such-folder/amp.html");
        auto error = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::Ok, error);
        f.MainWindow().Command("saveResult")->trigger();
        QVERIFY(error->shown);
        QVERIFY2(error->text.contains("amp.html"), qPrintable(error->text));
        QCOMPARE(error->icon, QMessageBox::Critical);
        QCOMPARE(error->owner, &f.MainWindow());
        QVERIFY(f.app->IsResultUnsaved());
        QVERIFY(f.Doc().GetPathName().isEmpty());
        QCOMPARE(f.Doc().GetTitle(), QString("Untitled"));
    }

    void closingAsksOnlyAboutAnUnsavedResult()
    {
        {
            AppFixture f;
            MessageBoxWatch watch;
            QVERIFY(f.MainWindow().close());
            QCOMPARE(watch.Texts(), QStringList());
        }
        {
            AppFixture f;
            f.Calculate(CircuitKind::CommonEmitter);
            f.NextSavePath = f.Path("saved.html");
            f.Doc().OnSaveResult();
            MessageBoxWatch watch;
            QVERIFY(f.MainWindow().close());
            QCOMPARE(watch.Texts(), QStringList());
        }
    }

    void closeQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("saveAs");
        QTest::addColumn<bool>("closes");
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << "" << false;
        QTest::newRow("no") << int(QMessageBox::No) << "" << true;
        QTest::newRow("yes, file dialog cancelled") << int(QMessageBox::Yes) << "" << false;
        QTest::newRow("yes, saved") << int(QMessageBox::Yes) << "closing.html" << true;
        QTest::newRow("yes, write failed") << int(QMessageBox::Yes) << "missing/closing.html" << false;
    }

    void closeQuestion()
    {
        QFETCH(int, answer);
        QFETCH(QString, saveAs);
        QFETCH(bool, closes);
        AppFixture f;
        f.Calculate(CircuitKind::CommonEmitter);
        f.NextSavePath = saveAs.isEmpty() ? QString() : f.Path(saveAs);
        auto shown = std::make_shared<ShownMessage>();
        AnswerNextMessage(QMessageBox::StandardButton(answer), shown, [&] {
            if (saveAs.startsWith("missing")) {
                AnswerNextMessage(QMessageBox::Ok); // the write error
            }
        });
        QCOMPARE(f.MainWindow().close(), closes);
        QVERIFY(shown->shown);
        QCOMPARE(shown->caption, QString("Result has not been saved yet"));
        QCOMPARE(f.MainWindow().isVisible(), !closes);
        QCOMPARE(f.saveDialogs, answer == QMessageBox::Yes ? 1 : 0);
        if (saveAs == "closing.html") {
            QVERIFY(QFile::exists(f.Path("closing.html")));
            QVERIFY(!f.app->IsResultUnsaved());
        }
    }
};

NORVANE_REGISTER_TEST(DocumentTest);

#include "DocumentTest.moc"
