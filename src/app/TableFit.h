#pragma once

// A table beside a plot in a splitter stays wholly in view, at any scale:
// the table is at least as wide as its columns' contents, and the plot
// gives way.

class QSplitter;
class QTableWidget;

namespace norvane {

// Sizes the columns to their contents (the last one stretched to the
// table's edge) and widens the table in splitter when it needs to.
void FitTableBeside(QTableWidget& table, QSplitter& splitter);

} // namespace norvane
