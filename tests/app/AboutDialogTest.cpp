// The About box: its texts, the link that opens the web site and leaves
// the box open, and OK.

#include "app/AboutDialog.h"
#include "dialogs/DialogUnits.h"
#include "report/Report.h"
#include "support/ModalHelpers.h"
#include "support/TestMain.h"

#include <QLabel>
#include <QPushButton>

using namespace norvane;
using namespace norvane::test;

class AboutDialogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { CAboutDialog::SetUrlOpener({}); }

    void showsNameVersionAndNotice()
    {
        CAboutDialog about;
        QCOMPARE(about.windowTitle(), QString("About Norvane"));
        QCOMPARE(about.m_VersionText, QString("Norvane Version 1.0.4"));
        QCOMPARE(about.VersionLabel()->text(), QString("Norvane Version 1.0.4"));
        QCOMPARE(about.NoticeLabel()->text(), QStringLiteral("Written by the Norvane developers"));
        QVERIFY(about.LinkLabel()->text().contains(QString::fromLatin1(ProductWebAddress)));
        const DialogUnits du(about.font());
        QCOMPARE(about.size(), du.Size(195, 91));
        QCOMPARE(about.OkButton()->geometry(), du.Rect(73, 62, 50, 16));
        for (QLabel* label : {about.VersionLabel(), about.NoticeLabel(), about.LinkLabel()}) {
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
        }
    }

    void linkOpensTheSiteAndLeavesTheBoxOpen()
    {
        QStringList opened;
        CAboutDialog::SetUrlOpener([&](const QString& address) { opened << address; });
        CAboutDialog about;
        bool openAfterClicks = false;
        OnNextModal<CAboutDialog>([&](CAboutDialog* box) {
            QLabel* link = box->LinkLabel();
            const QPoint onText(link->fontMetrics().averageCharWidth() * 3, link->height() / 2);
            for (int i = 0; i < 2; ++i) {
                QTest::mouseClick(link, Qt::LeftButton, {}, onText);
                QTest::qWait(QApplication::doubleClickInterval() + 50);
            }
            openAfterClicks = box->isVisible();
            box->OkButton()->click();
        });
        const int result = about.exec();
        QCOMPARE(opened, QStringList(2, QString::fromLatin1(ProductWebAddress)));
        QVERIFY(openAfterClicks);
        QCOMPARE(result, int(QDialog::Accepted));
    }
};

NORVANE_REGISTER_TEST(AboutDialogTest);

#include "AboutDialogTest.moc"
