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
// batch pages have four.
SheetRecords readSheetRecords(const Workbook &book, const Sheet &sheet, const QStringList &targetNames,
                              const QStringList &formulas, SheetRange range, int amountColumns = 4);
