// Reading a salary sheet of the workbook layer into batch records, without a window.
//
// SheetWorksheetRow shows one row of a loaded worksheet to the formula rewriting and to
// readAmountCell: the cell's text as the worksheet shows it (the display rules of the workbook
// layer), its kind, and for number cells the number itself. readSheetRecords maps every row of a
// range through the import formulas of the basic source columns of a batch page (code, name and
// the amounts), skips rows whose code and name are both empty as the import does, and reads the
// amounts by the one amount-cell rule, collecting every cell it had to read as 0 with its position.
// QtCore only; the workbook must outlive the row.
#pragma once

#include "engine/amount.h"
#include "formula/formularewrite.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <vector>

class Workbook;
class Sheet;
struct CellDisplay;

class SheetWorksheetRow : public WorksheetRow
{
public:
    SheetWorksheetRow(const Workbook &book, const Sheet &sheet);
    ~SheetWorksheetRow() override;

    // The 0-based sheet row shown from now on.
    void setRow(int row);
    int row() const { return m_row; }

    int columnCount() const override { return m_columns; }
    bool hasCell(int column) const override;
    QString cellText(int column) const override;
    CellKind cellKind(int column) const override;
    double cellNumber(int column) const override;

private:
    const CellDisplay &display(int column) const;
    bool isEmpty(int column) const;

    const Workbook &m_book;
    const Sheet &m_sheet;
    int m_row = 0;
    int m_columns = 0;
    // The display of the current row's cells, worked out once per cell.
    mutable std::vector<CellDisplay> m_display;
    mutable std::vector<char> m_known;
};

// The titles of the title row (1-based; a row past the sheet gives empty titles), one per column.
QStringList sheetTitles(const Workbook &book, const Sheet &sheet, int titleRow);

// The rows of a range as the import reads them (1-based, inclusive; a last row of 0 means the
// sheet's last row, a last row before the first swaps them). Rows past the sheet's end are not
// read.
struct SheetRange
{
    int first = 2;
    int last = 0;
};
// The range as it will be read, both ends 1-based; first > last when no row is read.
SheetRange resolveSheetRange(const Sheet &sheet, SheetRange range);

// What the import wizard settles for a sheet that the core reads itself (the payroll month and the
// year sheet): the file, the worksheet, the rows and one import formula per target field. The
// page hands it to the core's reader for its kind of sheet, on a worker thread.
struct SheetImport
{
    QString file;
    int sheetIndex = 0; // 0-based, in the workbook's order
    int titleRow = 1;   // 1-based
    SheetRange range;
    QStringList formulas; // one per target field, in the field order of the reader
};

// The rows of a salary sheet as the import proposes them (1-based, as the range page numbers
// them). A real sheet often has a title merged over its columns above the header and a totals row
// at the bottom: the title row proposed is the first of the first ten rows in which the titles of
// 编码 and 姓名 (or their synonyms, as 自动匹配 recognises them) both appear, the first data row
// the next one; the last row is the one before the trailing totals rows (blank rows skipped),
// whose code or name cell reads 合计, 总计 or 小计 (blanks inside ignored). A sheet where no
// such row is found keeps the plain shape: titles in row 1, data from row 2 to the end (0).
struct SheetShape
{
    int titleRow = 1;
    int firstRow = 2;
    int lastRow = 0;
};
// `textAt(row, column)` is the shown text of a cell, both 0-based; `rows` and `columns` the extent.
// Reads at most the first ten rows and the trailing totals rows.
SheetShape proposeSheetShape(int rows, int columns, const std::function<QString(int, int)> &textAt);
SheetShape proposeSheetShape(const Workbook &book, const Sheet &sheet);

// The worksheet column of an import formula that only names one column (blanks around it aside),
// or -1; such a column is read from its cell directly.
int formulaSingleColumn(const QString &formula);

// One amount cell read as 0 for a reason.
struct UnreadableCell
{
    int sheetRow = 0; // 1-based
    QString column;   // the worksheet column's letters, or the target column's title for a formula
    QString text;     // what the cell or the formula gave
    QString reason;   // a Chinese sentence
};

// The amount columns a record holds at most: target columns 2 to 2 + kSheetAmounts − 1.
inline constexpr int kSheetAmounts = 5;

// A record read from a row: code, name and the amounts by target column from 2 on (for the batch
// pages' basic source positions 2–5: monthly wage, insurance, bonus, annuity; the bonus is the
// non-annual bonus on the apportionment page).
struct SheetRecord
{
    int sheetRow = 0; // 1-based
    QString code;
    QString name;
    std::array<Amount, kSheetAmounts> amounts{};
    QStringList texts; // every target column's text as the import would copy it
};

struct SheetRecords
{
    std::vector<SheetRecord> records;
    int rowsRead = 0;
    int rowsSkipped = 0;
    std::vector<UnreadableCell> unreadable;
};

// `targetNames` are the titles of the page's basic source columns (0 code, 1 name, …), which
// formulas may name in brackets; `formulas` holds one import formula per column (an empty formula
// leaves the column empty, reading as 0 for an amount). A formula that is exactly
// one column reference reads that worksheet cell directly, so a number cell gives its number and
// not its shown text; any other formula goes through the formula rewriting and its result text.
// Target columns 2 to 2 + amountColumns − 1 (at most kSheetAmounts) are read as amounts; the
// batch pages have four. When `cancelled` answers true (it is asked every few hundred rows) the
// read stops where it is, and the caller drops what it got.
SheetRecords readSheetRecords(const Workbook &book, const Sheet &sheet, const QStringList &targetNames,
                              const QStringList &formulas, SheetRange range, int amountColumns = 4,
                              const std::function<bool()> &cancelled = {});
