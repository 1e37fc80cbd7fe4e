// The kind of a salary-table cell, fixed when a worksheet cell is read. Stored as the item type of
// table cells, so the numbers are part of what tables and saved settings hold. Only NumberCell
// counts as a number in formulas and imports.
#pragma once

#include <Qt>

enum CellKind : int
{
    NumberCell = 1001,
    TextCell = 1002,
    DateTimeCell = 1003,
    DateCell = 1004,
    TimeCell = 1005,
};

// The data role under which a salary-table item keeps the number of a NumberCell beside its shown
// text ("1,234.50" shows 1234.5), so formulas and the batch pages compute with the number.
inline constexpr int kCellNumberRole = Qt::UserRole + 1;
