#include "dialogs/TransistorListDialog.h"

#include "dialogs/DialogUnits.h"
#include "transistors/TransistorTable.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QListView>
#include <QPushButton>
#include <QStringList>
#include <QStringListModel>

namespace norvane {

QString PadRight(const QString& text, QChar fill, int width)
{
    QString padded = text;
    while (padded.size() < width) {
        padded.append(fill);
    }
    return padded;
}

QString TransistorEntryText(int index)
{
    const TransistorRecord record = GetTransistorRecord(index);
    return PadRight(QString::fromLatin1(record.name), QLatin1Char('_'), 11) +
           ((record.polarity & 0xff) == 'N' ? QStringLiteral("NPN") : QStringLiteral("PNP"));
}

namespace {

bool MovesInList(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: return true;
    default: return false;
    }
}

} // namespace

CTransistorListDialog::CTransistorListDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select transistor type from list"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    const DialogUnits du(font());
    setFixedSize(du.Size(264, 281));

    // The buttons come first, as the first control of the dialog has the
    // focus when it opens.
    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    m_pOk->setGeometry(du.Rect(129, 260, 50, 14));
    m_pOk->setDefault(true);
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancel->setGeometry(du.Rect(204, 260, 50, 14));

    m_pModel = new QStringListModel(this);
    m_pList = new QListView(this);
    m_pList->setObjectName(QStringLiteral("transistorList"));
    m_pList->setGeometry(du.Rect(14, 7, 84, 267));
    m_pList->setModel(m_pModel);
    m_pList->setUniformItemSizes(true);
    // Entries are padded to one width: a fixed-pitch font lines up the
    // polarity column.
    m_pList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    setTabOrder(m_pOk, m_pCancel);
    setTabOrder(m_pCancel, m_pList);

    connect(m_pOk, &QPushButton::clicked, this, &CTransistorListDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CTransistorListDialog::reject);
    connect(m_pList, &QListView::doubleClicked, this, &CTransistorListDialog::accept);

    // Typed letters and the moving keys go to the list even while a button
    // has the focus.
    m_pOk->installEventFilter(this);
    m_pCancel->installEventFilter(this);
}

CTransistorListDialog::~CTransistorListDialog() = default;

void CTransistorListDialog::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void CTransistorListDialog::OnInitDialog()
{
    // Rebuilt at every opening, in table order, so that list position and
    // table index are the same.
    const int count = GetTransistorCount();
    QStringList entries;
    entries.reserve(count);
    for (int i = 0; i < count; ++i) {
        entries.append(TransistorEntryText(i));
    }
    m_pModel->setStringList(entries);

    const QModelIndex current = m_pModel->index(m_Selection, 0);
    if (current.isValid()) {
        m_pList->setCurrentIndex(current);
    }
    m_pOk->setFocus();
}

void CTransistorListDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const QModelIndex current = m_pList->currentIndex();
    if (current.isValid()) {
        m_pList->scrollTo(current, QAbstractItemView::PositionAtCenter);
    }
}

bool CTransistorListDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == m_pOk || watched == m_pCancel)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (plain && !text.isEmpty() && text.at(0).isPrint() && !text.at(0).isSpace()) {
            m_pList->keyboardSearch(text);
            return true;
        }
        if (plain && MovesInList(key->key())) {
            // One column: left and right step as up and down do.
            const int moved = key->key() == Qt::Key_Left    ? Qt::Key_Up
                              : key->key() == Qt::Key_Right ? Qt::Key_Down
                                                            : key->key();
            QKeyEvent forwarded(QEvent::KeyPress, moved, key->modifiers());
            QCoreApplication::sendEvent(m_pList, &forwarded);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CTransistorListDialog::accept()
{
    // With no entry selected the preselection is kept.
    const QModelIndex current = m_pList->currentIndex();
    if (current.isValid() && m_pList->selectionModel()->isSelected(current)) {
        m_Selection = current.row();
    }
    QDialog::accept();
}

} // namespace norvane
