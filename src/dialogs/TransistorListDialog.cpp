#include "dialogs/TransistorListDialog.h"

#include "dialogs/DialogUnits.h"
#include "format/Units.h"
#include "transistors/TransistorTable.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeView>

#include <algorithm>
#include <cstring>

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

QString TransistorRatingText(int index, RatingField field)
{
    const TransistorRatings ratings = GetTransistorRatings(index);
    switch (field) {
    case RatingField::Vceo: return QString::fromStdString(QuantityOrDash(ratings.m_Vceo, "V"));
    case RatingField::IcMax: return QString::fromStdString(QuantityOrDash(ratings.m_IcMax, "A"));
    case RatingField::Ptot: return QString::fromStdString(QuantityOrDash(ratings.m_Ptot, "W"));
    }
    return {};
}

namespace {

// The whole table, a row per type in table order; the texts are made as
// the view asks for the rows it shows, so the list opens at once.
class CTransistorTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : GetTransistorCount();
    }
    int columnCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : TransistorListColumns;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid()) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return index.column() == 0 ? TransistorEntryText(index.row())
                                       : TransistorRatingText(index.row(), RatingOf(index.column()));
        }
        if (role == Qt::TextAlignmentRole) {
            return Alignment(index.column());
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || section < 0 || section >= TransistorListColumns) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            static constexpr const char* Headings[TransistorListColumns]{"Type", "VCEO", "IC max", "Ptot"};
            return QString::fromLatin1(Headings[section]);
        }
        if (role == Qt::TextAlignmentRole) {
            return Alignment(section);
        }
        return {};
    }

private:
    static RatingField RatingOf(int column) { return static_cast<RatingField>(column - 1); }

    // The entries left, the figures right.
    static QVariant Alignment(int column)
    {
        return static_cast<int>(Qt::AlignVCenter) |
               static_cast<int>(column == 0 ? Qt::AlignLeft : Qt::AlignRight);
    }
};

// Characters of the longest entry: the longest name filled to 11, then
// the polarity.
int LongestEntry()
{
    std::size_t longest = 11;
    for (int i = 0; i < GetTransistorCount(); ++i) {
        longest = std::max(longest, std::strlen(GetTransistorRecord(i).name));
    }
    return static_cast<int>(longest) + 3;
}

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

    m_pModel = new CTransistorTableModel(this);
    m_pList = new QTreeView(this);
    m_pList->setObjectName(QStringLiteral("transistorList"));
    m_pList->setGeometry(du.Rect(14, 7, 240, 246));
    m_pList->setModel(m_pModel);
    // A flat list with columns.
    m_pList->setRootIsDecorated(false);
    m_pList->setItemsExpandable(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setAllColumnsShowFocus(true);
    // Entries are padded to one width: a fixed-pitch font lines up the
    // polarity column.
    m_pList->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The columns fit the longest entry and a figure such as "1.25 kW"
    // with room to spare.
    const int digit = QFontMetrics(m_pList->font()).horizontalAdvance(QLatin1Char('0'));
    m_pList->header()->setSectionsMovable(false);
    m_pList->header()->setStretchLastSection(false);
    m_pList->header()->resizeSection(0, (LongestEntry() + 2) * digit);
    for (int column = 1; column < TransistorListColumns; ++column) {
        m_pList->header()->resizeSection(column, 9 * digit);
    }

    setTabOrder(m_pOk, m_pCancel);
    setTabOrder(m_pCancel, m_pList);

    connect(m_pOk, &QPushButton::clicked, this, &CTransistorListDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CTransistorListDialog::reject);
    connect(m_pList, &QTreeView::doubleClicked, this, &CTransistorListDialog::accept);

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
    // The model is the table in table order, so that list position and
    // table index are the same.
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
            // A row is chosen, not a cell: left and right step as up and
            // down do.
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
