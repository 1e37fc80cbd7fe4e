// The layout of a result sheet and the one function that writes it to a workbook file.
//
// A SheetLayout is a plain description of what a result sheet shows: an optional title, heading
// rows with their spans, data rows with cell texts, which of them are totals, and column widths.
// The export wizard builds one from its preview and lumo-cli batch from a batch result; both hand
// it to writeSheetLayout, so a sheet from the command line and one from the wizard look the same.
// Fonts, borders, fills and number formats are fixed here, not chosen by the callers. This module
// belongs to the core: it may use the workbook layer and the engine, never widgets.
#pragma once

#include "engine/amount.h"

#include <QString>

#include <vector>

// How a cell is drawn. Headings are centred bold on a grey fill; totals are right-aligned bold on
// a yellow fill; body cells are aligned as their table cell was.
enum class SheetCellStyle
{
    BodyLeft,
    BodyCenter,
    BodyRight,
    Heading,
    Total,
};

struct SheetCell
{
    bool present = false; // a missing cell is written blank, with borders
    QString text;
    // An amount or a count: written as a number with thousands separators and two decimals when
    // the text reads as one (see amountFromText); any other text stays a text cell.
    bool numeric = false;
    SheetCellStyle style = SheetCellStyle::BodyCenter;
    int colSpan = 1;
    // With numeric: a count ("3" months), written as a whole number without decimals.
    bool whole = false;
};

// A text cell, and an amount in fen as a numeric cell (right-aligned unless said otherwise).
SheetCell textCell(const QString &text, SheetCellStyle style = SheetCellStyle::BodyLeft);
SheetCell amountCell(Amount fen, SheetCellStyle style = SheetCellStyle::BodyRight);

struct SheetRow
{
    std::vector<SheetCell> cells; // by column; a shorter row leaves the rest missing
    bool total = false;           // every cell of the row, missing or not, takes the total style
};

struct SheetLayout
{
    QString sheetName = QStringLiteral("lumo");
    QString title;     // empty: no title rows, the headings start at row 0
    int titleSpan = 1; // columns the title is merged over
    std::vector<SheetRow> headings;
    std::vector<SheetRow> rows;
    std::vector<int> columnWidths; // pixels, as the tables show them; by column

    int columnCount() const;
    // The sheet rows the layout takes: 3 for a title (empty row, title row, empty row), then the
    // headings and the data rows.
    int sheetRowCount() const;
};

// The number an amount text stands for, in yuan: digits with optional "," between groups of three,
// an optional "-" and at most two decimals, as formatAmount writes them ("1,234.5", "-20", "0.05").
// False for anything else ("20%", "", "1,2345", "1.234").
bool amountFromText(const QString &text, double *yuan);

// The width of each column as written, in character units (the width of a digit): at least the
// table's own width, and wide enough for every text and formatted number in the column (headings
// and totals in their larger bold font included), so no amount shows as "###" and no code is cut.
// A column of long texts (process texts) is widened to at most 60 units; no column exceeds 255.
std::vector<double> sheetColumnWidths(const SheetLayout &layout);

// A file name as the user typed it, with ".xlsx" appended unless it ends in ".xls" or ".xlsx"
// (in any case).
QString exportFileName(const QString &fileName);

// True when the layout fits the format the file name's suffix chooses (.xls: 65,536 rows and 256
// columns); else false with a Chinese message that suggests .xlsx. Nothing is written.
bool sheetLayoutFits(const SheetLayout &layout, const QString &fileName, QString *error);

// Texts longer than a cell holds (32,767 characters) are cut and end in this marker.
QString sheetCellMarker();

// Writes the layout as the only sheet of a new workbook at fileName, whole or nothing: the
// workbook goes to a temporary file in the same folder, which replaces the old file only after a
// complete, successful save, so on any failure an existing file is left byte for byte as it was.
// A read-only existing file is not replaced. False with a Chinese reason in *error on failure.
bool writeSheetLayout(const SheetLayout &layout, const QString &fileName, QString *error);
