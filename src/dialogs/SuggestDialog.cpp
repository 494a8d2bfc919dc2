#include "dialogs/SuggestDialog.h"

#include "dialogs/AnalysisThread.h"
#include "dialogs/DialogUnits.h"
#include "format/EngineeringFormat.h"
#include "present/RankTable.h"

#include <QFutureWatcher>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <atomic>

namespace norvane {

// What the dialog and the worker share; it outlives whichever ends first.
struct CSuggestDialog::Shared {
    std::atomic<int> m_Done{0};
    std::atomic<int> m_Total{0};
    std::atomic<bool> m_Stop{false};
};

namespace {

// How often the progress bar reads the worker's steps, in ms.
constexpr int ProgressInterval = 50;

} // namespace

CSuggestDialog::CSuggestDialog(const DesignInputs& inputs, QWidget* parent)
    : QDialog(parent), m_Inputs(inputs), m_pShared(std::make_shared<Shared>())
{
    setWindowTitle(QStringLiteral("Suggest transistor types"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    // While ranking: a small dialog with the progress and Cancel.
    const DialogUnits du(font());
    setFixedSize(du.Size(200, 58));
    m_pMessage = new QLabel(QStringLiteral("Ranking the transistor types for these requirements..."), this);
    m_pMessage->setGeometry(du.Rect(7, 7, 186, 10));
    m_pProgress = new QProgressBar(this);
    m_pProgress->setGeometry(du.Rect(7, 20, 186, 12));
    m_pProgress->setRange(0, 0); // busy until the first step
    m_pOk = new QPushButton(QStringLiteral("OK"), this);
    m_pOk->setDefault(true);
    m_pOk->hide();
    m_pCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_pCancel->setGeometry(du.Rect(143, 38, 50, 14));
    m_pCancel->setAutoDefault(false);

    m_pTable = new QTableWidget(0, int(RankColumns.size()), this);
    QStringList headings;
    for (const RankColumn& column : RankColumns) {
        headings << QString::fromLatin1(column.heading);
    }
    m_pTable->setHorizontalHeaderLabels(headings);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setWordWrap(false);
    m_pTable->hide();
    m_pRatingNote = new QLabel(QString::fromLatin1(RatingUnknownNote), this);
    m_pRatingNote->setWordWrap(true);
    m_pRatingNote->hide();

    m_pPoll = new QTimer(this);
    m_pPoll->setInterval(ProgressInterval);
    connect(m_pPoll, &QTimer::timeout, this, [this] {
        const int total = m_pShared->m_Total;
        if (total > 0) {
            m_pProgress->setRange(0, total);
            m_pProgress->setValue(m_pShared->m_Done);
        }
    });

    connect(m_pOk, &QPushButton::clicked, this, &CSuggestDialog::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CSuggestDialog::reject);
    connect(m_pTable, &QTableWidget::cellDoubleClicked, this, &CSuggestDialog::accept);
}

CSuggestDialog::~CSuggestDialog()
{
    m_pShared->m_Stop = true;
}

bool CSuggestDialog::IsRanking() const
{
    return m_Started && !m_Pending.isFinished();
}

void CSuggestDialog::setVisible(bool visible)
{
    if (visible && !isVisible() && !m_Started) {
        Start();
    }
    QDialog::setVisible(visible);
}

void CSuggestDialog::Start()
{
    m_Started = true;
    auto* watcher = new QFutureWatcher<Expected<Ranking>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, &CSuggestDialog::OnFinished);
    m_Pending = QtConcurrent::run(&AnalysisThreadPool(), [inputs = m_Inputs, shared = m_pShared] {
        return Rank(inputs, {.m_Rows = MaxSuggestions}, [shared](int done, int total) {
            shared->m_Done = done;
            shared->m_Total = total;
            return !shared->m_Stop;
        });
    });
    watcher->setFuture(m_Pending);
    m_pPoll->start();
}

void CSuggestDialog::OnFinished()
{
    m_pPoll->stop();
    if (m_pShared->m_Stop || !isVisible()) {
        return; // cancelled: the result is dropped
    }
    const Expected<Ranking> ranking = m_Pending.result();
    if (!ranking) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), QString::fromStdString(ranking.Message()),
                        QMessageBox::Ok, this);
        box.exec();
        QDialog::reject();
        return;
    }
    ShowRows(*ranking);
}

void CSuggestDialog::ShowRows(const Ranking& ranking)
{
    const int shown = std::min(int(ranking.m_Rows.size()), MaxSuggestions);
    m_pTable->setRowCount(shown);
    bool marked = false;
    for (int r = 0; r < shown; ++r) {
        const RankRow& row = ranking.m_Rows[r];
        m_RowTypes.push_back(row.m_TransistorIndex);
        marked = marked || row.m_RatingUnknown;
        const std::vector<std::string> cells = RankCells(row);
        for (int c = 0; c < int(cells.size()); ++c) {
            auto* item = new QTableWidgetItem(QString::fromStdString(cells[c]));
            item->setTextAlignment(Qt::AlignVCenter |
                                   (RankColumns[c].leftAligned ? Qt::AlignLeft : Qt::AlignRight));
            if (row.m_RatingUnknown && c + 1 == int(cells.size())) {
                item->setToolTip(m_pRatingNote->text());
            }
            m_pTable->setItem(r, c, item);
        }
    }
    // The mark's column only where a row has it.
    m_pTable->setColumnHidden(int(RankColumns.size()) - 1, !marked);
    m_pTable->resizeColumnsToContents();
    m_pTable->resizeRowsToContents();

    // Grown into the table, sized to show every row and column, with the
    // summary above and OK and Cancel below it.
    const DialogUnits du(font());
    const int frame = 2 * m_pTable->frameWidth();
    const QSize table(m_pTable->verticalHeader()->sizeHint().width() +
                          m_pTable->horizontalHeader()->length() + frame,
                      m_pTable->horizontalHeader()->height() + m_pTable->verticalHeader()->length() + frame);
    const int width = std::max(table.width() + du.X(14), du.X(240));
    const int tableBottom = du.Y(31) + table.height();
    const int noteHeight = marked ? du.Y(18) : 0; // two lines
    const int buttonTop = tableBottom + du.Y(7) + noteHeight;
    setFixedSize(width, buttonTop + du.Y(21));
    m_pMessage->setGeometry(du.X(7), du.Y(5), width - du.X(14), du.Y(20));
    m_pMessage->setWordWrap(true);
    m_pMessage->setText(QStringLiteral("%1 in %2 s. The best %3; choose one for the type field.")
                            .arg(QString::fromStdString(RankSummary(ranking)))
                            .arg(QString::fromStdString(
                                FormatFixed(ranking.m_DesignSeconds + ranking.m_SimulationSeconds, 1)))
                            .arg(shown));
    m_pProgress->hide();
    m_pTable->setGeometry(du.X(7), du.Y(31), table.width(), table.height());
    m_pTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pTable->show();
    if (marked) {
        m_pRatingNote->setGeometry(du.X(7), tableBottom + du.Y(4), width - du.X(14), noteHeight);
        m_pRatingNote->show();
    }
    m_pOk->setGeometry(width - du.X(114), buttonTop, du.X(50), du.Y(14));
    m_pOk->setEnabled(shown > 0);
    m_pOk->show();
    m_pCancel->setGeometry(width - du.X(57), buttonTop, du.X(50), du.Y(14));
    if (shown > 0) {
        m_pTable->selectRow(0);
    }
    m_pTable->setFocus();
}

void CSuggestDialog::accept()
{
    const int row = m_pTable->currentRow();
    if (IsRanking() || row < 0 || row >= int(m_RowTypes.size())) {
        return;
    }
    m_Selection = m_RowTypes[row];
    QDialog::accept();
}

void CSuggestDialog::reject()
{
    m_pShared->m_Stop = true;
    m_pPoll->stop();
    QDialog::reject();
}

} // namespace norvane
