#include "batch/sheetsource.h"

#include "batch/amountcell.h"
#include "excel/celldisplay.h"
#include "excel/columnletters.h"
#include "excel/workbook.h"

#include <algorithm>

SheetWorksheetRow::SheetWorksheetRow(const Workbook &book, const Sheet &sheet)
    : m_book(book), m_sheet(sheet), m_columns(sheet.lastCol() + 1), m_display(size_t(m_columns)),
      m_known(size_t(m_columns), 0)
{}

SheetWorksheetRow::~SheetWorksheetRow() = default;

void SheetWorksheetRow::setRow(int row)
{
    m_row = row;
    std::fill(m_known.begin(), m_known.end(), 0);
}

// The import shows every cell of the sheet's extent, an empty one as an empty text cell, so a
// formula naming an empty cell reads an empty text rather than staying unresolved.
bool SheetWorksheetRow::hasCell(int column) const
{
    return column >= 0 && column < m_columns;
}

bool SheetWorksheetRow::isEmpty(int column) const
{
    return m_sheet.cellType(m_row, column) == CellType::Empty;
}

const CellDisplay &SheetWorksheetRow::display(int column) const
{
    if (!m_known[size_t(column)]) {
        m_display[size_t(column)] = displayCell(m_book, m_sheet, m_row, column);
        m_known[size_t(column)] = 1;
    }
    return m_display[size_t(column)];
}

QString SheetWorksheetRow::cellText(int column) const
{
    return hasCell(column) && !isEmpty(column) ? display(column).text : QString();
}

CellKind SheetWorksheetRow::cellKind(int column) const
{
    return hasCell(column) && !isEmpty(column) ? display(column).kind : TextCell;
}

double SheetWorksheetRow::cellNumber(int column) const
{
    return m_sheet.cellType(m_row, column) == CellType::Number ? m_sheet.readNum(m_row, column) : 0;
}

QStringList sheetTitles(const Workbook &book, const Sheet &sheet, int titleRow)
{
    QStringList titles;
    SheetWorksheetRow row(book, sheet);
    row.setRow(titleRow - 1);
    const bool inside = titleRow >= 1 && titleRow - 1 <= sheet.lastRow();
    for (int c = 0; c < row.columnCount(); ++c)
        titles << (inside ? row.cellText(c) : QString());
    return titles;
}

SheetRange resolveSheetRange(const Sheet &sheet, SheetRange range)
{
    const int sheetLast = sheet.lastRow() + 1; // 1-based; 0 for an empty sheet
    if (range.last != 0 && range.last < range.first)
        std::swap(range.first, range.last);
    if (range.last == 0 || range.last > sheetLast)
        range.last = sheetLast;
    range.first = std::max(range.first, 1);
    return range;
}

namespace {

// A formula that only names one worksheet column, blanks around it aside: its column, or -1.
int singleColumn(const FormulaTokens &tokens)
{
    int column = -1;
    for (const FormulaToken &t : tokens) {
        if (t.kind == FormulaToken::ColumnRef && column < 0)
            column = formulaColumnIndex(t.text);
        else if (t.kind != FormulaToken::Literal || !t.text.trimmed().isEmpty())
            return -1;
    }
    return column;
}

// A formula that is exactly one reference to a column of the row, nothing around it: its column,
// or -1. Such a formula gives the cell's own text and kind, so the row need not be substituted.
int copiedColumn(const FormulaTokens &tokens, const WorksheetRow &row)
{
    if (tokens.size() != 1 || tokens.front().kind != FormulaToken::ColumnRef)
        return -1;
    const int column = formulaColumnIndex(tokens.front().text);
    return column >= 0 && column < row.columnCount() && row.hasCell(column) ? column : -1;
}

} // namespace

SheetRecords readSheetRecords(const Workbook &book, const Sheet &sheet, const QStringList &targetNames,
                              const QStringList &formulas, SheetRange range, int amountColumns)
{
    amountColumns = std::clamp(amountColumns, 0, kSheetAmounts);
    SheetRecords out;
    const SheetRange r = resolveSheetRange(sheet, range);
    if (r.first > r.last)
        return out;

    const QStringList &names = targetNames;
    const FormulaSheet formulaSheet(names, formulas);
    SheetWorksheetRow row(book, sheet);
    std::vector<int> direct, copied;
    for (int k = 0; k < formulaSheet.columnCount(); ++k) {
        direct.push_back(singleColumn(formulaSheet.tokens(k)));
        copied.push_back(copiedColumn(formulaSheet.tokens(k), row));
    }

    Evaluator evaluator;
    evaluator.reset();
    out.records.reserve(size_t(r.last - r.first + 1));
    QList<FormulaCell> cells;
    RowResults results;
    for (int sheetRow = r.first; sheetRow <= r.last; ++sheetRow) {
        ++out.rowsRead;
        row.setRow(sheetRow - 1);
        // As the formula sheet computes a row, in column order, with the copies taken directly.
        cells.clear();
        results.clear();
        for (int k = 0; k < formulaSheet.columnCount(); ++k) {
            const int column = copied[size_t(k)];
            if (column >= 0) {
                FormulaCell cell;
                cell.text = row.cellText(column);
                cell.kind = row.cellKind(column) == NumberCell ? NumberCell : TextCell;
                cells.append(std::move(cell));
            } else {
                cells.append(
                    computeFormulaCell(evaluator, formulaSheet.tokens(k), row, names.at(k), results));
            }
        }
        SheetRecord record;
        record.sheetRow = sheetRow;
        record.code = cells.size() > 0 ? cells[0].text : QString();
        record.name = cells.size() > 1 ? cells[1].text : QString();
        if (record.code.isEmpty() && record.name.isEmpty()) {
            ++out.rowsSkipped;
            continue;
        }
        for (const FormulaCell &cell : cells)
            record.texts << cell.text;
        for (int k = 2; k < cells.size() && k < 2 + amountColumns; ++k) {
            AmountReading reading;
            QString column, text;
            if (direct[size_t(k)] >= 0) {
                reading = readAmountCell(row, direct[size_t(k)]);
                column = columnLetters(direct[size_t(k)]);
                text = row.cellText(direct[size_t(k)]);
            } else if (!cells[k].errorNote.isEmpty()) {
                reading.problem = AmountProblem::NotANumber;
                column = names[k];
                text = cells[k].text;
            } else {
                reading = readAmountCell(cells[k].kind, cells[k].text, false, 0);
                column = names[k];
                text = cells[k].text;
            }
            if (!reading.ok())
                out.unreadable.push_back({sheetRow, column, text, amountProblemText(reading.problem, text)});
            record.amounts[size_t(k - 2)] = reading.fen;
        }
        out.records.push_back(std::move(record));
    }
    return out;
}

int formulaSingleColumn(const QString &formula)
{
    return singleColumn(tokenizeFormula(formula));
}
