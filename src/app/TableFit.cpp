#include "app/TableFit.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>

#include <algorithm>

namespace norvane {

void FitTableBeside(QTableWidget& table, QSplitter& splitter)
{
    // Measured without the stretch: a stretched last column would count
    // the room it was given as room it needs.
    QHeaderView& header = *table.horizontalHeader();
    header.setStretchLastSection(false);
    table.resizeColumnsToContents();
    const int needed =
        header.length() + 2 * table.frameWidth() + table.verticalScrollBar()->sizeHint().width();
    header.setStretchLastSection(true);
    table.setMinimumWidth(needed);
    const int index = splitter.indexOf(&table);
    QList<int> sizes = splitter.sizes();
    if (index >= 0 && sizes.size() == 2 && sizes[index] < needed) {
        const int total = sizes[0] + sizes[1];
        sizes[index] = needed;
        sizes[1 - index] = std::max(0, total - needed);
        splitter.setSizes(sizes);
    }
}

} // namespace norvane
