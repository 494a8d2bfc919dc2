#pragma once

// "Suggest...": the built-in table ranked for the requirements typed in a
// circuit dialog (studies/Ranking.h), and the best types to choose from.
//
// The ranking runs on a worker thread from the moment the dialog opens;
// the dialog shows its progress with a Cancel button, then grows into a
// table of the best MaxSuggestions rows, with the ratings of each type and
// the mark of a type with an unknown rating (explained under the table).
// OK or a double-click chooses a row. Cancel at any time closes the dialog; a ranking still running is
// told to stop at its next step and its result is dropped. A ranking that
// fails (no simulator) says why in a message box and closes the dialog.

#include "design/DesignInputs.h"
#include "studies/Ranking.h"

#include <QDialog>
#include <QFuture>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

namespace norvane {

inline constexpr int MaxSuggestions = 20;

class CSuggestDialog : public QDialog {
    Q_OBJECT
public:
    // inputs: checked requirements; their type does not matter.
    explicit CSuggestDialog(const DesignInputs& inputs, QWidget* parent = nullptr);
    ~CSuggestDialog() override;

    // The table index of the row chosen with OK; -1 before.
    int GetSelection() const { return m_Selection; }

    // The ranking started at the opening, for the tests.
    QFuture<Expected<Ranking>> Pending() const { return m_Pending; }
    bool IsRanking() const;
    QProgressBar* ProgressBar() const { return m_pProgress; }
    QTableWidget* Table() const { return m_pTable; }
    // Under the table: what the mark of a type with an unknown rating
    // means; hidden when no row shown has it.
    QLabel* RatingNote() const { return m_pRatingNote; }
    QPushButton* OkButton() const { return m_pOk; }
    QPushButton* CancelButton() const { return m_pCancel; }

    void setVisible(bool visible) override;

public Q_SLOTS:
    void accept() override;
    void reject() override;

private:
    struct Shared;

    void Start();
    void OnFinished();
    void ShowRows(const Ranking& ranking);

    DesignInputs m_Inputs;
    std::shared_ptr<Shared> m_pShared; // with the worker
    // A default QFuture counts as started (and cancelled): the start is
    // remembered here.
    bool m_Started = false;
    QFuture<Expected<Ranking>> m_Pending;
    std::vector<int> m_RowTypes; // table index per row
    int m_Selection = -1;
    QLabel* m_pMessage = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QTableWidget* m_pTable = nullptr;
    QLabel* m_pRatingNote = nullptr;
    QPushButton* m_pOk = nullptr;
    QPushButton* m_pCancel = nullptr;
    QTimer* m_pPoll = nullptr;
};

} // namespace norvane
