#pragma once

// The About box: the program's icon, name and version, a notice line and
// a link to the product web site that opens in the browser and leaves the
// box open.

#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;

namespace norvane {

class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    // Opens an address in the user's browser; the result is ignored.
    using UrlOpener = std::function<void(const QString&)>;

    explicit CAboutDialog(QWidget* parent = nullptr);

    // "Norvane Version 1.0.4".
    QString m_VersionText;

    QLabel* VersionLabel() const { return m_pVersion; }
    QLabel* NoticeLabel() const { return m_pNotice; }
    QLabel* LinkLabel() const { return m_pLink; }
    QPushButton* OkButton() const { return m_pOk; }

    // Replaces the browser for every About box, e.g. in tests; an empty
    // opener restores it.
    static void SetUrlOpener(UrlOpener opener);

public Q_SLOTS:
    void OnClickLink();

private:
    QLabel* m_pVersion = nullptr;
    QLabel* m_pNotice = nullptr;
    QLabel* m_pLink = nullptr;
    QPushButton* m_pOk = nullptr;
};

} // namespace norvane
