// The transistor list: every table entry in table order with its ratings,
// the preselection, OK and Cancel, and finding a type by typing its name.

#include "dialogs/TransistorListDialog.h"
#include "dialogs/DialogUnits.h"
#include "support/ModalHelpers.h"
#include "support/TestMain.h"
#include "transistors/TransistorTable.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

using namespace norvane;
using namespace norvane::test;

namespace {

int Run(CTransistorListDialog& list, std::function<void(CTransistorListDialog*)> action)
{
    OnNextModal<CTransistorListDialog>(std::move(action));
    return list.exec();
}

QString CurrentText(CTransistorListDialog* list)
{
    return list->ListControl()->currentIndex().data().toString();
}

} // namespace

class TransistorListDialogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void entryText()
    {
        QCOMPARE(PadRight("BC548B", '_', 11), QString("BC548B_____"));
        QCOMPARE(PadRight("PDTA114EEF", '_', 11), QString("PDTA114EEF_"));
        QCOMPARE(PadRight("ABCDEFGHIJKL", '_', 11), QString("ABCDEFGHIJKL"));
        QCOMPARE(TransistorEntryText(FindTransistor("BC548B")), QString("BC548B_____NPN"));
        QCOMPARE(TransistorEntryText(FindTransistor("BC558B")), QString("BC558B_____PNP"));
    }

    void listsTheWholeTableInOrder()
    {
        CTransistorListDialog list;
        QStringList entries;
        QElapsedTimer clock;
        clock.start();
        qint64 openedAfter = -1;
        Run(list, [&](CTransistorListDialog* d) {
            openedAfter = clock.elapsed();
            const QAbstractItemModel* model = d->ListControl()->model();
            for (int row = 0; row < model->rowCount(); ++row) {
                entries << model->index(row, 0).data().toString();
            }
            d->reject();
        });
        QCOMPARE(entries.size(), GetTransistorCount());
        for (int i = 0; i < entries.size(); ++i) {
            const TransistorRecord record = GetTransistorRecord(i);
            QVERIFY(entries[i].startsWith(QLatin1String(record.name)));
            QCOMPARE(entries[i].size(), std::max<qsizetype>(11, qstrlen(record.name)) + 3);
            QVERIFY(entries[i].endsWith(record.polarity == 'N' ? "NPN" : "PNP"));
        }
        QCOMPARE(list.windowTitle(), QString("Select transistor type from list"));
        QVERIFY2(openedAfter < 2000, "the list must open at once");
    }

    // VCEO, IC max and Ptot beside each entry as the ratings table states
    // them (the lowest value of any source), a dash where none does.
    void ratingsBesideTheEntries()
    {
        CTransistorListDialog list;
        const auto cells = [&](const char* type) {
            const QAbstractItemModel* model = list.ListControl()->model();
            QStringList texts;
            for (int column = 0; column < model->columnCount(); ++column) {
                texts << model->index(FindTransistor(type), column).data().toString();
            }
            return texts;
        };
        QStringList headings;
        for (int column = 0; column < TransistorListColumns; ++column) {
            headings << list.ListControl()->model()->headerData(column, Qt::Horizontal).toString();
        }
        QCOMPARE(headings, (QStringList{"Type", "VCEO", "IC max", "Ptot"}));
        QVERIFY(!list.ListControl()->header()->isHidden());
        QCOMPARE(cells("BC548B"), (QStringList{"BC548B_____NPN", "20 V", "100 mA", "300 mW"}));
        QCOMPARE(cells("2N2102"), (QStringList{"2N2102_____NPN", "65 V", "1 A", "-"}));
        QCOMPARE(cells("1NT251"),
                 (QStringList{TransistorEntryText(FindTransistor("1NT251")), "-", "-", "-"}));
    }

    void opensOnThePreselectionInView()
    {
        CTransistorListDialog list;
        const int bc548b = FindTransistor("BC548B");
        list.SetSelection(bc548b);
        bool selected = false;
        bool visible = false;
        QWidget* focus = nullptr;
        const int result = Run(list, [&](CTransistorListDialog* d) {
            QTreeView* view = d->ListControl();
            selected = view->selectionModel()->isSelected(view->currentIndex());
            QTest::qWait(20);
            visible = view->viewport()->rect().contains(view->visualRect(view->currentIndex()));
            focus = d->focusWidget();
            QCOMPARE(CurrentText(d), QString("BC548B_____NPN"));
            d->OkButton()->click(); // OK without touching the list
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(selected);
        QVERIFY(visible);
        QCOMPARE(focus, list.OkButton());
        QCOMPARE(list.GetSelection(), bc548b);
    }

    void okTakesTheMovedSelectionCancelDoesNot()
    {
        CTransistorListDialog list;
        list.SetSelection(FindTransistor("BC548B"));
        Run(list, [](CTransistorListDialog* d) {
            QTest::keyClick(d->ListControl(), Qt::Key_Up);
            d->CancelButton()->click();
        });
        QCOMPARE(list.GetSelection(), FindTransistor("BC548B"));
        Run(list, [](CTransistorListDialog* d) {
            QTest::keyClick(d->ListControl(), Qt::Key_Up);
            d->OkButton()->click();
        });
        QCOMPARE(list.GetSelection(), FindTransistor("BC548B") - 1);
    }

    void typingANameJumpsToIt()
    {
        CTransistorListDialog list;
        QString inList;
        QString fromButton;
        Run(list, [&](CTransistorListDialog* d) {
            d->ListControl()->setFocus();
            QTest::keyClicks(d->ListControl(), "BC548");
            inList = CurrentText(d);
            QTest::qWait(QApplication::keyboardInputInterval() + 100);
            // With the OK button focused, as on opening, typing still
            // reaches the list.
            d->OkButton()->setFocus();
            QTest::keyClicks(d->OkButton(), "BC558");
            fromButton = CurrentText(d);
            QVERIFY(d->isVisible());
            d->OkButton()->click();
        });
        QVERIFY2(inList.startsWith("BC548"), qPrintable(inList));
        QVERIFY2(fromButton.startsWith("BC558"), qPrintable(fromButton));
        // The first type whose name starts with what was typed.
        QVERIFY(TransistorEntryText(list.GetSelection()).startsWith("BC558"));
        QVERIFY(!TransistorEntryText(list.GetSelection() - 1).startsWith("BC558"));
    }

    void doubleClickAcceptsTheEntry()
    {
        CTransistorListDialog list;
        list.SetSelection(FindTransistor("BC548B"));
        const int result = Run(list, [](CTransistorListDialog* d) {
            QTreeView* view = d->ListControl();
            // Scrolled into view first: the list opens on BC548B.
            view->scrollTo(view->model()->index(1, 0));
            const QPoint centre = view->visualRect(view->model()->index(1, 0)).center();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, centre);
            QTimer::singleShot(2000, d, &QDialog::reject); // not accepted: fail, not hang
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(list.GetSelection(), 1);
    }

    void arrowKeysMoveTheListWhereverTheFocusIs()
    {
        CTransistorListDialog list;
        const int bc548b = FindTransistor("BC548B");
        list.SetSelection(bc548b);
        QList<int> rows;
        Run(list, [&](CTransistorListDialog* d) {
            auto press = [&](QWidget* focus, Qt::Key key) {
                focus->setFocus();
                QTest::keyClick(focus, key);
                rows << d->ListControl()->currentIndex().row();
            };
            press(d->OkButton(), Qt::Key_Down); // where the focus is on opening
            press(d->CancelButton(), Qt::Key_Down);
            press(d->CancelButton(), Qt::Key_Up);
            press(d->OkButton(), Qt::Key_Right);
            press(d->OkButton(), Qt::Key_End);
            press(d->ListControl(), Qt::Key_Home);
            press(d->OkButton(), Qt::Key_Down);
            QVERIFY(d->isVisible());
            QTest::keyClick(d->OkButton(), Qt::Key_Return);
        });
        const int last = GetTransistorCount() - 1;
        QCOMPARE(rows, (QList<int>{bc548b + 1, bc548b + 2, bc548b + 1, bc548b + 2, last, 0, 1}));
        QCOMPARE(list.GetSelection(), 1);
    }

    void layoutInDialogUnits()
    {
        CTransistorListDialog list;
        const DialogUnits du(list.font());
        QCOMPARE(list.size(), du.Size(264, 281));
        QCOMPARE(list.ListControl()->geometry(), du.Rect(14, 7, 240, 246));
        QCOMPARE(list.OkButton()->geometry(), du.Rect(129, 260, 50, 14));
        QCOMPARE(list.CancelButton()->geometry(), du.Rect(204, 260, 50, 14));
        QVERIFY(list.OkButton()->isDefault());
    }
};

NORVANE_REGISTER_TEST(TransistorListDialogTest);

#include "TransistorListDialogTest.moc"
