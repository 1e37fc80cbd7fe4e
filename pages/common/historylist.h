// The table widget side of the history records of historyrecord.h: the page's "计算历史" list
// (fill, add with retention, path of a row) and storing a table widget in a record and back.
#pragma once

#include "pages/common/compacttable.h"
#include "pages/common/historyrecord.h"

class QFont;

class QTableWidget;

// Shows the newest kHistoryKeep files (newest at row 0) and deletes every older one from disk.
// Leaves the table alone when no file matches.
void fillHistoryList(QTableWidget *table, const QString &dir, const QString &filter);

// Inserts the entry at row 0; when that makes more than kHistoryKeep rows, deletes the file of the
// last row from disk and cuts the list back.
void addHistoryRow(QTableWidget *table, const QString &path, const QString &timeText, double value1,
                   double value2);

// The file path stored with row `row` of a history list; empty for a row without one.
QString historyPathAt(const QTableWidget *table, int row);

// Writes the table's size and every cell (see writeSnapshotCell).
void writeTableSnapshot(QDataStream &out, const QTableWidget *table);

// Replaces the table's size and every cell by the stored ones.
void applyTableSnapshot(QTableWidget *table, const TableSnapshot &snapshot);

// Writes every cell of the table in the compact form (compacttable.h). False, with nothing usable
// written, when the table is too large for a record.
bool writeCompactTable(QDataStream &out, const QTableWidget *table);

// Puts the stored cells into a table whose row and column counts the caller has already set to
// the stored ones (a salary table keeps its frozen rows in step that way). Bold cells get
// `boldFont`. Call only for a table decodeCompactCells has checked.
void fillFromCompactTable(QTableWidget *table, const CompactTable &stored, const QFont &boldFont);
