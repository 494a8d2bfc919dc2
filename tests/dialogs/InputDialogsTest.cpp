// The three requirement dialogs, driven as a user would: texts shown on
// opening, the range and type checks with their messages, and what
// survives OK, Cancel and a pick from the transistor list.

#include "dialogs/CommonBaseDialog.h"
#include "dialogs/CommonCollectorDialog.h"
#include "dialogs/CommonEmitterDialog.h"
#include "dialogs/DialogUnits.h"
#include "dialogs/TransistorListDialog.h"
#include "support/ModalHelpers.h"
#include "support/TestMain.h"
#include "transistors/TransistorTable.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include <memory>

using namespace norvane;
using namespace norvane::test;

Q_DECLARE_METATYPE(norvane::CircuitKind)
Q_DECLARE_METATYPE(norvane::InputField)

namespace {

// A dialog of a circuit and what it holds.
struct Fixture {
    CCircuitDialog* dialog = nullptr;

    std::unique_ptr<CCircuitDialog> Make(CircuitKind kind)
    {
        std::unique_ptr<CCircuitDialog> made;
        switch (kind) {
        case CircuitKind::CommonEmitter: made = std::make_unique<CCommonEmitterDialog>(); break;
        case CircuitKind::CommonBase: made = std::make_unique<CCommonBaseDialog>(); break;
        default: made = std::make_unique<CCommonCollectorDialog>(); break;
        }
        dialog = made.get();
        return made;
    }

    const DesignInputs& Held() const { return dialog->Inputs(); }
    int TransistorIndex(CircuitKind) const { return Held().TransistorIndex(); }
    double Value(CircuitKind, InputField field) const { return Held().Value(field); }
};

// The fields of each dialog from top to bottom.
std::vector<InputField> ScreenOrder(CircuitKind kind)
{
    switch (kind) {
    case CircuitKind::CommonEmitter:
        return {InputField::Gain, InputField::LowerCutoff, InputField::SupplyVoltage,
                InputField::InputImpedance, InputField::OutputImpedance};
    case CircuitKind::CommonBase:
        return {InputField::SupplyVoltage, InputField::LowerCutoff, InputField::OutputImpedance};
    default:
        return {InputField::SupplyVoltage, InputField::LowerCutoff, InputField::InputImpedance,
                InputField::CollectorCurrent};
    }
}

// Runs the dialog modally with action applied once it is open.
int Run(CCircuitDialog& dialog, std::function<void(CCircuitDialog*)> action)
{
    OnNextModal<CCircuitDialog>(std::move(action));
    return dialog.exec();
}

QStringList ShownTexts(CCircuitDialog* dialog)
{
    QStringList texts;
    for (InputField field : ScreenOrder(dialog->Kind())) {
        texts << dialog->FieldEdit(field)->text();
    }
    texts << dialog->TransistorEdit()->text();
    for (int i = 0; i < 4; ++i) {
        if (dialog->SeriesButton(i)->isChecked()) {
            texts << dialog->SeriesButton(i)->text();
        }
    }
    return texts;
}

} // namespace

class InputDialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void opensWithDefaults_data()
    {
        QTest::addColumn<CircuitKind>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QSize>("picture"); // dialog units
        QTest::addColumn<int>("schematic");
        QTest::newRow("common-emitter")
            << CircuitKind::CommonEmitter << "Common-emitter circuit"
            << QStringList{"0", "10", "12", "50 k", "2 k", "BC548B", "E24"} << QSize(171, 196) << 138;
        QTest::newRow("common-base") << CircuitKind::CommonBase << "Common-base circuit"
                                     << QStringList{"12", "100 k", "2 k", "BC548B", "E24"} << QSize(169, 192)
                                     << 136;
        QTest::newRow("common-collector")
            << CircuitKind::CommonCollector << "Common-collector circuit"
            << QStringList{"12", "10", "50 k", "2 m", "BC548B", "E24"} << QSize(170, 159) << 140;
    }

    void opensWithDefaults()
    {
        QFETCH(CircuitKind, kind);
        QFETCH(QString, caption);
        QFETCH(QStringList, texts);
        QFETCH(QSize, picture);
        QFETCH(int, schematic);
        Fixture fixture;
        auto dialog = fixture.Make(kind);
        QStringList shown;
        QWidget* focus = nullptr;
        const int result = Run(*dialog, [&](CCircuitDialog* d) {
            shown = ShownTexts(d);
            focus = d->focusWidget(); // the window's focus, active or not
            d->reject();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(dialog->windowTitle(), caption);
        QCOMPARE(shown, texts);
        QCOMPARE(focus, dialog->FieldEdit(ScreenOrder(kind).front()));
        // The schematic itself, fitted to the control.
        const QRect control = DialogUnits(dialog->font()).Rect(7, 9, picture.width(), picture.height());
        QCOMPARE(dialog->Picture()->geometry(), control);
        QCOMPARE(dialog->Picture()->pixmap().toImage(),
                 FittedSchematic(std::uint16_t(schematic), control.size()).toImage());
        QCOMPARE(dialog->ListButton()->text(), QString("Select transistor type from list"));
    }

    void layoutInDialogUnitsWithoutClipping_data() { kinds(); }

    void layoutInDialogUnitsWithoutClipping()
    {
        QFETCH(CircuitKind, kind);
        Fixture fixture;
        auto dialog = fixture.Make(kind);
        const DialogUnits du(dialog->font());
        QCOMPARE(dialog->size(), du.Size(368, 214));
        QCOMPARE(dialog->OkButton()->geometry(), du.Rect(194, 188, 50, 14));
        QCOMPARE(dialog->CancelButton()->geometry(), du.Rect(311, 188, 50, 14));
        QCOMPARE(dialog->Picture()->pos(), QPoint(du.X(7), du.Y(9)));
        for (InputField field : ScreenOrder(kind)) {
            const QRect edit = dialog->FieldEdit(field)->geometry();
            QCOMPARE(edit.left(), du.X(303));
            QCOMPARE(edit.width(), du.X(58));
            QVERIFY(qAbs(edit.height() - du.Y(14)) <= 1);
        }
        for (QWidget* control : dialog->TextControls()) {
            // A push button needs its text and a small margin; the others
            // their whole size hint (the radio buttons with the indicator).
            const auto* button = qobject_cast<QPushButton*>(control);
            const int needed = button ? button->fontMetrics().horizontalAdvance(button->text()) + 8
                                      : control->sizeHint().width();
            QVERIFY2(needed <= control->width(), qPrintable(QString("%1 is clipped: needs %2, has %3")
                                                                .arg(control->property("text").toString())
                                                                .arg(needed)
                                                                .arg(control->width())));
            QVERIFY(control->geometry().right() < dialog->width());
        }
    }

    void rangeMessage_data()
    {
        QTest::addColumn<CircuitKind>("kind");
        QTest::addColumn<QList<int>>("fields");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("message");
        const QString format = "The given value %1\n\nis out of the allowed range [%2 .. %3]";
        using F = InputField;
#define row(name) QTest::newRow(name)
        row("CE gain above 100") << CircuitKind::CommonEmitter << QList<int>{int(F::Gain)}
                                 << QStringList{"101"} << format.arg("of gain in dB", "-100", "100");
        row("CE cut-off 0") << CircuitKind::CommonEmitter << QList<int>{int(F::LowerCutoff)}
                            << QStringList{"0"} << format.arg("of lower cut-off frequency", "100 p", "10 G");
        row("CE supply empty") << CircuitKind::CommonEmitter << QList<int>{int(F::SupplyVoltage)}
                               << QStringList{""} << format.arg("of supply voltage", "800 m", "100");
        row("CE supply 100.1") << CircuitKind::CommonEmitter << QList<int>{int(F::SupplyVoltage)}
                               << QStringList{"100.1"} << format.arg("of supply voltage", "800 m", "100");
        row("CE input impedance") << CircuitKind::CommonEmitter << QList<int>{int(F::InputImpedance)}
                                  << QStringList{"50m"} << format.arg("of input impedance", "100 m", "10 G");
        row("CE output impedance") << CircuitKind::CommonEmitter << QList<int>{int(F::OutputImpedance)}
                                   << QStringList{"20G"}
                                   << format.arg("of output impedance", "100 m", "10 G");
        row("CB supply 0.5") << CircuitKind::CommonBase << QList<int>{int(F::SupplyVoltage)}
                             << QStringList{"0.5"} << format.arg("of supply voltage", "800 m", "100");
        row("CB output impedance") << CircuitKind::CommonBase << QList<int>{int(F::OutputImpedance)}
                                   << QStringList{"-1"} << format.arg("of output impedance", "100 m", "10 G");
        // Text that is no number says so, in the same place as the range.
        row("CB output impedance abc")
            << CircuitKind::CommonBase << QList<int>{int(F::OutputImpedance)} << QStringList{"abc"}
            << QString("The given value of output impedance\n\nis not a number");
        row("CC collector current") << CircuitKind::CommonCollector << QList<int>{int(F::CollectorCurrent)}
                                    << QStringList{"2k"} << format.arg("of collector current", "10 n", "1 k");
        // The order of the tests, not of the rows, decides.
        row("CB frequency before supply")
            << CircuitKind::CommonBase << QList<int>{int(F::SupplyVoltage), int(F::LowerCutoff)}
            << QStringList{"0", "0"} << format.arg("of lower cut-off frequency", "100 p", "10 G");
        row("CC current before input impedance")
            << CircuitKind::CommonCollector << QList<int>{int(F::InputImpedance), int(F::CollectorCurrent)}
            << QStringList{"0", "0"} << format.arg("of collector current", "10 n", "1 k");
        row("CE empty gain passes, cut-off fails")
            << CircuitKind::CommonEmitter
            << QList<int>{int(F::Gain), int(F::LowerCutoff), int(F::SupplyVoltage)} << QStringList{"", "", ""}
            << format.arg("of lower cut-off frequency", "100 p", "10 G");
#undef row
    }

    void rangeMessage()
    {
        QFETCH(CircuitKind, kind);
        QFETCH(QList<int>, fields);
        QFETCH(QStringList, texts);
        QFETCH(QString, message);
        Fixture fixture;
        auto dialog = fixture.Make(kind);
        std::vector<double> before;
        for (InputField field : ScreenOrder(kind)) {
            before.push_back(fixture.Value(kind, field));
        }
        auto shown = std::make_shared<ShownMessage>();
        bool stayedOpen = false;
        const int result = Run(*dialog, [&](CCircuitDialog* d) {
            for (int i = 0; i < fields.size(); ++i) {
                d->FieldEdit(InputField(fields[i]))->setText(texts[i]);
            }
            AnswerNextMessage(QMessageBox::Ok, shown, [&] {
                OnNextModal<CCircuitDialog>([&](CCircuitDialog* again) {
                    stayedOpen =
                        again->isVisible() && again->FieldEdit(InputField(fields[0]))->text() == texts[0];
                    again->reject();
                });
            });
            d->OkButton()->click();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(shown->shown);
        QCOMPARE(shown->text, message);
        QCOMPARE(shown->caption, QString("Input Error"));
        QCOMPARE(shown->icon, QMessageBox::Critical);
        QCOMPARE(shown->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(shown->owner, nullptr); // the range message has no owner
        QVERIFY(stayedOpen);
        std::vector<double> after;
        for (InputField field : ScreenOrder(kind)) {
            after.push_back(fixture.Value(kind, field));
        }
        QVERIFY(before == after);
    }

    void acceptsBoundsUnitsAndPrefixes_data()
    {
        QTest::addColumn<CircuitKind>("kind");
        QTest::addColumn<InputField>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        using F = InputField;
        QTest::newRow("supply 0.8") << CircuitKind::CommonEmitter << F::SupplyVoltage << "0.8" << 0.8;
        QTest::newRow("supply 800m") << CircuitKind::CommonEmitter << F::SupplyVoltage << "800m" << 0.8;
        QTest::newRow("supply 100") << CircuitKind::CommonEmitter << F::SupplyVoltage << "100" << 100.0;
        QTest::newRow("gain -100") << CircuitKind::CommonEmitter << F::Gain << "-100" << -100.0;
        QTest::newRow("gain 100") << CircuitKind::CommonEmitter << F::Gain << "100" << 100.0;
        QTest::newRow("empty gain") << CircuitKind::CommonEmitter << F::Gain << "" << 0.0;
        QTest::newRow("4k7 output impedance")
            << CircuitKind::CommonEmitter << F::OutputImpedance << "4k7" << 4700.0;
        QTest::newRow("2mA collector current")
            << CircuitKind::CommonCollector << F::CollectorCurrent << "2mA" << 0.002;
        QTest::newRow("12 V supply") << CircuitKind::CommonBase << F::SupplyVoltage << "12 V" << 12.0;
        QTest::newRow("CB cut-off 1.5k") << CircuitKind::CommonBase << F::LowerCutoff << "1.5k" << 1500.0;
    }

    void acceptsBoundsUnitsAndPrefixes()
    {
        QFETCH(CircuitKind, kind);
        QFETCH(InputField, field);
        QFETCH(QString, text);
        QFETCH(double, value);
        Fixture fixture;
        auto dialog = fixture.Make(kind);
        const int result = Run(*dialog, [&](CCircuitDialog* d) {
            d->FieldEdit(field)->setText(text);
            d->OkButton()->click();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(fixture.Value(kind, field), value);
    }

    void unknownTransistorType_data()
    {
        QTest::addColumn<QString>("type");
        QTest::newRow("lower case") << "bc548b";
        QTest::newRow("trailing blank") << "BC548B ";
        QTest::newRow("empty") << "";
        QTest::newRow("long") << QString(150, QLatin1Char('B'));
    }

    void unknownTransistorType()
    {
        QFETCH(QString, type);
        for (CircuitKind kind :
             {CircuitKind::CommonEmitter, CircuitKind::CommonBase, CircuitKind::CommonCollector}) {
            Fixture fixture;
            auto dialog = fixture.Make(kind);
            const int typeBefore = fixture.TransistorIndex(kind);
            const double supplyBefore = fixture.Value(kind, InputField::SupplyVoltage);
            auto shown = std::make_shared<ShownMessage>();
            bool stayedOpen = false;
            Run(*dialog, [&](CCircuitDialog* d) {
                d->TransistorEdit()->setText(type);
                d->FieldEdit(InputField::SupplyVoltage)->setText("15");
                AnswerNextMessage(QMessageBox::Ok, shown, [&] {
                    OnNextModal<CCircuitDialog>([&](CCircuitDialog* again) {
                        stayedOpen = again->isVisible();
                        again->reject();
                    });
                });
                d->OkButton()->click();
            });
            QVERIFY(shown->shown);
            QCOMPARE(shown->text, QString("Unknown transistor type.\n\nPlease select other type!"));
            QCOMPARE(shown->caption, QString("Input Error"));
            QCOMPARE(shown->icon, QMessageBox::Critical);
            QCOMPARE(shown->owner, dialog.get()); // owned by the dialog
            QVERIFY(stayedOpen);
            QCOMPARE(fixture.TransistorIndex(kind), typeBefore);
            QCOMPARE(fixture.Value(kind, InputField::SupplyVoltage), supplyBefore);
        }
    }

    void acceptedTypeIsStored()
    {
        Fixture fixture;
        auto dialog = fixture.Make(CircuitKind::CommonBase);
        Run(*dialog, [](CCircuitDialog* d) {
            d->TransistorEdit()->setText("BC558B");
            d->OkButton()->click();
        });
        QCOMPARE(fixture.Held().TransistorIndex(), FindTransistor("BC558B"));
    }

    void everyOpeningShowsTheMembers()
    {
        Fixture fixture;
        auto dialog = fixture.Make(CircuitKind::CommonEmitter);
        // Typed, then cancelled: lost.
        Run(*dialog, [](CCircuitDialog* d) {
            d->FieldEdit(InputField::SupplyVoltage)->setText("33");
            d->TransistorEdit()->setText("BC558B");
            d->reject();
        });
        QCOMPARE(fixture.Held().Value(InputField::SupplyVoltage), 12.0);
        // Confirmed: comes back in engineering form with four digits, and
        // an unchanged OK stores it as shown.
        Run(*dialog, [](CCircuitDialog* d) {
            QCOMPARE(d->FieldEdit(InputField::SupplyVoltage)->text(), QString("12"));
            QCOMPARE(d->TransistorEdit()->text(), QString("BC548B"));
            d->FieldEdit(InputField::OutputImpedance)->setText("4.71234k");
            d->OkButton()->click();
        });
        QCOMPARE(fixture.Held().Value(InputField::OutputImpedance), 4712.34);
        QString shown;
        Run(*dialog, [&](CCircuitDialog* d) {
            shown = d->FieldEdit(InputField::OutputImpedance)->text();
            d->OkButton()->click();
        });
        QCOMPARE(shown, QString("4.712 k"));
        QCOMPARE(fixture.Held().Value(InputField::OutputImpedance), 4712.0);
    }

    void listPickSurvivesCancel()
    {
        Fixture fixture;
        auto dialog = fixture.Make(CircuitKind::CommonCollector);
        const int picked = FindTransistor("2N3904");
        int preselected = -1;
        QString supplyAfterPick;
        QString typeAfterPick;
        Run(*dialog, [&](CCircuitDialog* d) {
            d->FieldEdit(InputField::SupplyVoltage)->setText("15");
            d->TransistorEdit()->setText("BC558B"); // the list opens on the member, not on this
            d->SeriesButton(0)->setChecked(true);
            OnNextModal<CTransistorListDialog>([&](CTransistorListDialog* list) {
                preselected = list->ListControl()->currentIndex().row();
                list->ListControl()->setCurrentIndex(list->ListControl()->model()->index(picked, 0));
                list->OkButton()->click();
                OnNextModal<CCircuitDialog>([&](CCircuitDialog* again) {
                    supplyAfterPick = again->FieldEdit(InputField::SupplyVoltage)->text();
                    typeAfterPick = again->TransistorEdit()->text();
                    again->reject();
                });
            });
            d->ListButton()->click();
        });
        QCOMPARE(preselected, FindTransistor("BC548B"));
        QCOMPARE(supplyAfterPick, QString("15"));
        QCOMPARE(typeAfterPick, QString("2N3904"));
        QCOMPARE(fixture.Held().TransistorIndex(), picked);
        QCOMPARE(fixture.Held().SeriesIndex(), 0);                       // read at the pick
        QCOMPARE(fixture.Held().Value(InputField::SupplyVoltage), 12.0); // numbers only change at OK
        QStringList shown;
        Run(*dialog, [&](CCircuitDialog* d) {
            shown = ShownTexts(d);
            d->reject();
        });
        QCOMPARE(shown, (QStringList{"12", "10", "50 k", "2 m", "2N3904", "E12"}));
    }

    void cancelledListChangesNothing()
    {
        Fixture fixture;
        auto dialog = fixture.Make(CircuitKind::CommonEmitter);
        QString typeAfter;
        Run(*dialog, [&](CCircuitDialog* d) {
            OnNextModal<CTransistorListDialog>([&](CTransistorListDialog* list) {
                list->ListControl()->setCurrentIndex(list->ListControl()->model()->index(0, 0));
                list->CancelButton()->click();
                OnNextModal<CCircuitDialog>([&](CCircuitDialog* again) {
                    typeAfter = again->TransistorEdit()->text();
                    again->reject();
                });
            });
            d->ListButton()->click();
        });
        QCOMPARE(typeAfter, QString("BC548B"));
        QCOMPARE(fixture.Held().TransistorIndex(), FindTransistor("BC548B"));
    }

    void seriesIsReadAtEveryOkPress()
    {
        Fixture fixture;
        auto dialog = fixture.Make(CircuitKind::CommonBase);
        Run(*dialog, [](CCircuitDialog* d) {
            d->SeriesButton(3)->setChecked(true);
            d->FieldEdit(InputField::SupplyVoltage)->setText("0");
            AnswerNextMessage(QMessageBox::Ok, {}, [] {
                OnNextModal<CCircuitDialog>([](CCircuitDialog* again) { again->reject(); });
            });
            d->OkButton()->click();
        });
        QCOMPARE(fixture.Held().SeriesIndex(), 3);
        QCOMPARE(fixture.Held().Value(InputField::SupplyVoltage), 12.0);
        bool e96 = false;
        Run(*dialog, [&](CCircuitDialog* d) {
            e96 = d->SeriesButton(3)->isChecked();
            d->SeriesButton(2)->setChecked(true);
            d->reject(); // not read on Cancel
        });
        QVERIFY(e96);
        QCOMPARE(fixture.Held().SeriesIndex(), 3);
    }

    // At the classic dialog font the control is the schematic's size give
    // or take the rounding of dialog units: the picture stays crisp. Any
    // other font scales it to fit with its proportions.
    void schematicFittedToTheControl()
    {
        const QImage asIs = FittedSchematic(138, QSize(257, 318)).toImage(); // 257 x 318 pixels
        QCOMPARE(asIs.size(), QSize(257, 318));
        QCOMPARE(asIs.pixel(0, 0), qRgb(0xCC, 0xFF, 0x33));
        const QSize classic = DialogUnits(6, 13).Rect(7, 9, 171, 196).size();
        QCOMPARE(classic, QSize(256, 318));
        QCOMPARE(FittedSchematic(138, classic).toImage(), asIs);
        QCOMPARE(FittedSchematic(136, QSize(506, 800)).size(), QSize(506, 624)); // 253 x 312, twice
        QCOMPARE(FittedSchematic(140, QSize(600, 518)).size(), QSize(510, 518)); // 255 x 259, to the height
    }

    void tabIntoTheSeriesLandsOnTheCheckedButton_data()
    {
        kinds();
    }

    void tabIntoTheSeriesLandsOnTheCheckedButton()
    {
        QFETCH(CircuitKind, kind);
        Fixture fixture;
        auto dialog = fixture.Make(kind);
        DesignInputs e48 = dialog->Inputs();
        e48.SetSeriesIndex(2);
        dialog->SetInputs(e48);
        QWidget* fromType = nullptr;
        QWidget* fromGroup = nullptr;
        QWidget* backFromOk = nullptr;
        QWidget* afterArrow = nullptr;
        QWidget* afterClick = nullptr;
        Run(*dialog, [&](CCircuitDialog* d) {
            // Every key once the one before has had all its effects: under a
            // loaded machine (or a sanitizer) Qt may still hold events of the
            // previous key when the next is sent.
            auto tab = [d](Qt::Key key) {
                QTest::keyClick(d->focusWidget(), key);
                QCoreApplication::processEvents();
                return d->focusWidget();
            };
            QVERIFY(QTest::qWaitForWindowExposed(d));
            d->TransistorEdit()->setFocus();
            fromType = tab(Qt::Key_Tab);
            fromGroup = tab(Qt::Key_Tab);
            backFromOk = tab(Qt::Key_Backtab);
            afterArrow = tab(Qt::Key_Left); // moves within the group and checks
            QTest::mouseClick(d->SeriesButton(3), Qt::LeftButton);
            d->TransistorEdit()->setFocus();
            afterClick = tab(Qt::Key_Tab);
            d->reject();
        });
        QCOMPARE(fromType, dialog->SeriesButton(2));
        QCOMPARE(fromGroup, dialog->OkButton());
        QCOMPARE(backFromOk, dialog->SeriesButton(2));
        QCOMPARE(afterArrow, dialog->SeriesButton(1));
        QCOMPARE(afterClick, dialog->SeriesButton(3));
        QVERIFY(dialog->SeriesButton(3)->isChecked());
    }

private:
    void kinds()
    {
        QTest::addColumn<CircuitKind>("kind");
        QTest::newRow("common-emitter") << CircuitKind::CommonEmitter;
        QTest::newRow("common-base") << CircuitKind::CommonBase;
        QTest::newRow("common-collector") << CircuitKind::CommonCollector;
    }
};

NORVANE_REGISTER_TEST(InputDialogsTest);

#include "InputDialogsTest.moc"
