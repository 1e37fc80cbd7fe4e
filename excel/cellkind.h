// The kind of a salary-table cell, fixed when a worksheet cell is read. Stored as the item type of
// table cells, so the numbers are part of what tables and saved settings hold. Only NumberCell
// counts as a number in formulas and imports.
#pragma once

enum CellKind : int
{
    NumberCell = 1001,
    TextCell = 1002,
    DateTimeCell = 1003,
    DateCell = 1004,
    TimeCell = 1005,
};
