// "Suggest..." in the requirement dialogs: the fields are checked as OK
// checks them before anything runs; the ranking fills a table of the best
// types with their ratings, and the chosen one lands in the type field;
// Cancel stops it.

#include "dialogs/SuggestDialog.h"
#include "dialogs/CommonEmitterDialog.h"
#include "ngspice/Simulator.h"
#include "support/ModalHelpers.h"
#include "support/TestMain.h"
#include "transistors/TransistorTable.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

using namespace norvane;
using namespace norvane::test;

class SuggestDialogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The message OK would show, and no suggestion dialog after it.
    void badFieldShowsTheInputErrorAndRunsNothing()
    {
        CCommonEmitterDialog dialog;
        auto shown = std::make_shared<ShownMessage>();
        bool backWithoutRanking = false;
        OnNextModal<CCircuitDialog>([&](CCircuitDialog* d) {
            d->FieldEdit(InputField::Gain)->setText("101");
            AnswerNextMessage(QMessageBox::Ok, shown, [&] {
                OnNextModal<CCircuitDialog>([&](CCircuitDialog* again) {
                    backWithoutRanking = QApplication::activeModalWidget() == again &&
                                         again->findChildren<CSuggestDialog*>().isEmpty();
                    again->reject();
                });
            });
            d->SuggestButton()->click();
        });
        dialog.exec();
        QVERIFY(shown->shown);
        QCOMPARE(shown->caption, QString("Input Error"));
        QCOMPARE(shown->text,
                 QString("The given value of gain in dB\n\nis out of the allowed range [-100 .. 100]"));
        QVERIFY(backWithoutRanking);
    }

    // The common-emitter defaults, with a type typed that is no type at
    // all: it does not matter to the ranking.
    void bestTypeGoesIntoTheTypeField()
    {
        const Status available = SimulatorAvailable();
        QVERIFY2(
            available.Ok(),
            (available.Message() + ": install Debian's libngspice0 (bash scripts/install-deps.sh)").c_str());
        CCommonEmitterDialog dialog;
        int rows = -1;
        QString first;
        QStringList ratingHeadings;
        QStringList firstRatings;
        QString typeAfter;
        QString supplyAfter;
        OnNextModal<CCircuitDialog>([&](CCircuitDialog* d) {
            d->TransistorEdit()->setText("no such type");
            OnNextModal<CSuggestDialog>([&](CSuggestDialog* suggest) {
                if (!QTest::qWaitFor([suggest] { return suggest->Table()->isVisible(); }, 60000)) {
                    suggest->reject(); // rows stays -1 and fails below
                    d->reject();
                    return;
                }
                rows = suggest->Table()->rowCount();
                first = suggest->Table()->item(0, 0)->text();
                // The ratings follow the verdict (RankTable.h).
                for (int c = 10; c < 13; ++c) {
                    ratingHeadings << suggest->Table()->horizontalHeaderItem(c)->text();
                    firstRatings << suggest->Table()->item(0, c)->text();
                }
                suggest->OkButton()->click(); // the first row is selected
                OnNextModal<CCircuitDialog>([&](CCircuitDialog* again) {
                    typeAfter = again->TransistorEdit()->text();
                    supplyAfter = again->FieldEdit(InputField::SupplyVoltage)->text();
                    again->reject();
                });
            });
            d->SuggestButton()->click();
        });
        dialog.exec();
        QVERIFY(rows > 0 && rows <= MaxSuggestions);
        QVERIFY(FindTransistor(first.toStdString()) >= 0);
        QCOMPARE(ratingHeadings, (QStringList{"VCEO", "IC max", "Ptot"}));
        // The first type has all three ratings known.
        QVERIFY2(firstRatings[0].endsWith(" V") && firstRatings[1].endsWith("A") &&
                     firstRatings[2].endsWith("W"),
                 qPrintable(firstRatings.join(", ")));
        QCOMPARE(typeAfter, first);
        QCOMPARE(supplyAfter, QString("12"));
        QCOMPARE(dialog.Inputs().TransistorIndex(), FindTransistor("BC548B")); // only the field changed
    }

    // Cancelled at once: the worker stops at its next step, long before a
    // whole ranking, and nothing reaches the type field.
    void cancelStopsTheRanking()
    {
        CCommonEmitterDialog dialog;
        QFuture<Expected<Ranking>> pending;
        QString typeAfter;
        OnNextModal<CCircuitDialog>([&](CCircuitDialog* d) {
            OnNextModal<CSuggestDialog>([&](CSuggestDialog* suggest) {
                pending = suggest->Pending();
                suggest->CancelButton()->click();
                OnNextModal<CCircuitDialog>([&](CCircuitDialog* again) {
                    typeAfter = again->TransistorEdit()->text();
                    again->reject();
                });
            });
            d->SuggestButton()->click();
        });
        dialog.exec();
        QVERIFY(pending.isStarted());
        pending.waitForFinished();
        QCOMPARE(pending.resultCount(), 1);
        QVERIFY(!pending.result());
        QCOMPARE(pending.result().Message(), std::string(RankCancelledMessage));
        QCOMPARE(typeAfter, QString("BC548B"));
    }
};

NORVANE_REGISTER_TEST(SuggestDialogTest);

#include "SuggestDialogTest.moc"
