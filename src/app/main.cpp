// norvane: the desktop program.

#include "app/NorvaneApp.h"
#include "app/Resources.h"
#include "report/Report.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Norvane"));
    QApplication::setApplicationName(QStringLiteral("Norvane"));
    QApplication::setApplicationVersion(QString::fromLatin1(norvane::ProgramVersion));
    QApplication::setDesktopFileName(QStringLiteral("norvane"));

    QApplication::setWindowIcon(norvane::ApplicationIcon());

    norvane::CNorvaneApp app;
    if (!app.InitInstance(QApplication::arguments())) {
        return 1;
    }
    return application.exec();
}
