#include "batch/sheetsource.h"

#include "batch/amountcell.h"
#include "batch/columncatalogue.h"
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

namespace {

// Rows searched for the titles.
constexpr int kTitleSearchRows = 10;

bool isTotalsCaption(const QString &text)
{
    QString plain;
    for (QChar c : text) {
        if (!c.isSpace())
            plain.append(c);
    }
    return plain == u"合计" || plain == u"总计" || plain == u"小计";
}

} // namespace

SheetShape proposeSheetShape(int rows, int columns, const std::function<QString(int, int)> &textAt)
{
    SheetShape shape;
    int codeColumn = -1, nameColumn = -1, titleRow = -1;
    for (int r = 0; r < std::min(rows, kTitleSearchRows) && titleRow < 0; ++r) {
        int code = -1, name = -1;
        for (int c = 0; c < columns; ++c) {
            const int position = ColumnCatalogue::matchSourceTitle(textAt(r, c));
            if (position == 0 && code < 0)
                code = c;
            else if (position == 1 && name < 0)
                name = c;
        }
        if (code >= 0 && name >= 0) {
            titleRow = r;
            codeColumn = code;
            nameColumn = name;
        }
    }
    if (titleRow < 0)
        return shape;
    shape.titleRow = titleRow + 1;
    shape.firstRow = titleRow + 2;
    // From the bottom: blank rows (no code, no name) and totals rows are passed over; the last row
    // is the one before the topmost totals row of that trailing run.
    int totals = -1;
    for (int r = rows - 1; r > titleRow; --r) {
        const QString code = textAt(r, codeColumn), name = textAt(r, nameColumn);
        if (isTotalsCaption(code) || isTotalsCaption(name))
            totals = r;
        else if (!code.trimmed().isEmpty() || !name.trimmed().isEmpty())
            break;
    }
    // A totals row right under the titles leaves no data row to propose: the range stays whole.
    if (totals > titleRow + 1)
        shape.lastRow = totals; // the 0-based totals row is the 1-based row before it
    return shape;
}

SheetShape proposeSheetShape(const Workbook &book, const Sheet &sheet)
{
    SheetWorksheetRow row(book, sheet);
    return proposeSheetShape(sheet.lastRow() + 1, row.columnCount(), [&row](int r, int c) {
        if (row.row() != r)
            row.setRow(r);
        return row.cellText(c);
    });
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
                              const QStringList &formulas, SheetRange range, int amountColumns,
                              const std::function<bool()> &cancelled)
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
        if (cancelled && (sheetRow - r.first) % 512 == 0 && cancelled())
            break;
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
