#pragma once

// The list of every transistor type of the built-in table, one entry per
// record in table order ("BC548B_____NPN") with the type's absolute maximum
// ratings beside it (VCEO, IC max, Ptot; "-" where no source states one);
// the position of an entry is its table index. The input dialogs open it
// from their list button. A double-click takes an entry at once; typed
// letters and the arrow keys reach the list wherever the focus is.

#include "transistors/TransistorRatings.h"

#include <QDialog>
#include <QString>

class QAbstractItemModel;
class QPushButton;
class QTreeView;

namespace norvane {

// A copy of text with fill appended while it is shorter than width.
QString PadRight(const QString& text, QChar fill, int width);

// "BC548B_____NPN": the name filled with '_' to 11 characters, then the
// polarity.
QString TransistorEntryText(int index);

// A rating of the type as its column shows it: "20 V", "100 mA", "300 mW";
// "-" where no source states it.
QString TransistorRatingText(int index, RatingField field);

// The columns of the list: the entry, then the ratings in the order of
// RatingField.
inline constexpr int TransistorListColumns = 4;

class CTransistorListDialog : public QDialog {
    Q_OBJECT
public:
    explicit CTransistorListDialog(QWidget* parent = nullptr);
    ~CTransistorListDialog() override;

    void SetSelection(int index) { m_Selection = index; }
    // The position chosen with OK; as set before when the run was cancelled.
    int GetSelection() const { return m_Selection; }

    QTreeView* ListControl() const { return m_pList; }
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* CancelButton() const { return m_pCancel; }

    void setVisible(bool visible) override;

public Q_SLOTS:
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnInitDialog();

    int m_Selection = 0;
    QTreeView* m_pList = nullptr;
    QAbstractItemModel* m_pModel = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;
};

} // namespace norvane
