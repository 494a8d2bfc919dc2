#include "app/AboutDialog.h"

#include "dialogs/DialogUnits.h"
#include "report/Report.h"

#include <QApplication>
#include <QDesktopServices>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace norvane {

namespace {

CAboutDialog::UrlOpener& Opener()
{
    static CAboutDialog::UrlOpener opener;
    return opener;
}

} // namespace

void CAboutDialog::SetUrlOpener(UrlOpener opener)
{
    Opener() = std::move(opener);
}

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent)
{
    m_VersionText += QStringLiteral("Norvane Version ");
    m_VersionText += QString::fromLatin1(ProgramVersion);

    setWindowTitle(QStringLiteral("About Norvane"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    const DialogUnits du(font());
    setFixedSize(du.Size(195, 91));

    auto* icon = new QLabel(this);
    const QRect iconRect = du.Rect(11, 17, 21, 20);
    const int side = std::min(iconRect.width(), iconRect.height());
    icon->setPixmap(QApplication::windowIcon().pixmap(side, side));
    icon->setGeometry(QRect(iconRect.topLeft(), QSize(side, side)));

    m_pVersion = new QLabel(m_VersionText, this);
    m_pVersion->setGeometry(du.Rect(51, 16, 106, 8));

    // The notice and the link may run to the right edge of the box.
    m_pNotice = new QLabel(QStringLiteral("Written by %1").arg(QString::fromLatin1(AuthorName)), this);
    m_pNotice->setGeometry(du.Rect(45, 30, 146, 8));

    const QString address = QString::fromLatin1(ProductWebAddress);
    m_pLink = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()), this);
    m_pLink->setTextFormat(Qt::RichText);
    m_pLink->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_pLink->setOpenExternalLinks(false);
    m_pLink->setGeometry(du.Rect(53, 44, 138, 10));
    connect(m_pLink, &QLabel::linkActivated, this, &CAboutDialog::OnClickLink);

    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    m_pOk->setGeometry(du.Rect(73, 62, 50, 16));
    m_pOk->setDefault(true);
    m_pOk->setFocus();
    connect(m_pOk, &QPushButton::clicked, this, &CAboutDialog::accept);
}

void CAboutDialog::OnClickLink()
{
    const QString address = QString::fromLatin1(ProductWebAddress);
    if (Opener()) {
        Opener()(address);
    } else {
        QDesktopServices::openUrl(QUrl(address));
    }
}

} // namespace norvane
