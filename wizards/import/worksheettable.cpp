#include "wizards/import/worksheettable.h"

#include "excel/celldisplay.h"
#include "excel/columnletters.h"
#include "excel/workbook.h"

#include <QHeaderView>
#include <QTableWidget>

#include <algorithm>

namespace {

// Sizes from a file are bounded: a hostile width must not make a table miles wide.
constexpr double kMaxSectionSize = 4096;

int sectionSize(double value)
{
    return int(std::clamp(value, 0.0, kMaxSectionSize));
}

} // namespace

SheetTableFiller::SheetTableFiller(const Workbook &book, const Sheet &sheet, QTableWidget *table)
    : m_book(book), m_sheet(sheet), m_table(table), m_rows(sheet.lastRow() + 1), m_cols(sheet.lastCol() + 1)
{}

void SheetTableFiller::prepare()
{
    m_table->setColumnCount(m_cols);
    QStringList letters;
    letters.reserve(m_cols);
    for (int c = 0; c < m_cols; ++c)
        letters << columnLetters(c);
    m_table->setHorizontalHeaderLabels(letters);
    const int point = m_table->font().pointSize() > 0 ? m_table->font().pointSize() : 9;
    QHeaderView *columns = m_table->horizontalHeader();
    QHeaderView *rows = m_table->verticalHeader();
    // Sheet defaults first, then the columns and rows the sheet sizes itself.
    columns->setDefaultSectionSize(sectionSize(m_sheet.colWidth(-1) * point));
    rows->setDefaultSectionSize(std::max(1, sectionSize(m_sheet.rowHeight(-1) * 1.3)));
    m_table->setRowCount(m_rows);
    for (const auto &[col, width] : m_sheet.colWidths()) {
        if (col >= 0 && col < m_cols)
            m_table->setColumnWidth(col, sectionSize(width * point));
    }
    for (const auto &[row, height] : m_sheet.rowHeights()) {
        if (row >= 0 && row < m_rows)
            m_table->setRowHeight(row, sectionSize(height * 1.3));
    }
    m_storedRows = m_sheet.rowIndexes();
}

void SheetTableFiller::fillRow(int r)
{
    for (const int c : m_sheet.colIndexes(r)) {
        if (c < 0 || c >= m_cols)
            continue;
        const CellType type = m_sheet.cellType(r, c);
        if (type == CellType::Empty)
            continue; // a formatted blank shows nothing and reads as an empty text cell
        const CellDisplay d = displayCell(m_book, m_sheet, r, c);
        auto *item = new QTableWidgetItem(d.text, d.kind);
        item->setTextAlignment(Qt::Alignment(d.alignment));
        if (d.kind == NumberCell && type == CellType::Number)
            item->setData(kCellNumberRole, m_sheet.readNum(r, c));
        if (d.hasFont) {
            const QString key = QStringLiteral("%1|%2|%3%4%5%6")
                                    .arg(d.font.family)
                                    .arg(d.font.pointSize)
                                    .arg(int(d.font.bold))
                                    .arg(int(d.font.italic))
                                    .arg(int(d.font.underline))
                                    .arg(int(d.font.strikeOut));
            auto it = m_fonts.find(key);
            if (it == m_fonts.end()) {
                QFont font(d.font.family);
                if (d.font.pointSize > 0)
                    font.setPointSizeF(std::min(d.font.pointSize, 409.0));
                font.setBold(d.font.bold);
                font.setItalic(d.font.italic);
                font.setUnderline(d.font.underline);
                font.setStrikeOut(d.font.strikeOut);
                it = m_fonts.insert(key, font);
            }
            item->setFont(*it);
        }
        m_table->setItem(r, c, item);
    }
}

void SheetTableFiller::finish()
{
    for (const CellRange &m : m_sheet.merges()) {
        if (m.firstRow < 0 || m.firstCol < 0 || m.firstRow >= m_rows || m.firstCol >= m_cols)
            continue;
        const int rows = std::min(m.lastRow, m_rows - 1) - m.firstRow + 1;
        const int cols = std::min(m.lastCol, m_cols - 1) - m.firstCol + 1;
        if (rows > 1 || cols > 1)
            m_table->setSpan(m.firstRow, m.firstCol, rows, cols);
    }
}

int TableWorksheetRow::columnCountOf(const QTableWidget *table)
{
    return table ? table->columnCount() : 0;
}

const QTableWidgetItem *TableWorksheetRow::item(int column) const
{
    if (!m_table || column < 0 || column >= m_columns)
        return nullptr;
    return m_table->item(m_row, column);
}

QString TableWorksheetRow::cellText(int column) const
{
    const QTableWidgetItem *i = item(column);
    return i ? i->text() : QString();
}

CellKind TableWorksheetRow::cellKind(int column) const
{
    return itemCellKind(item(column));
}

double TableWorksheetRow::cellNumber(int column) const
{
    const QTableWidgetItem *i = item(column);
    if (!i)
        return 0;
    const QVariant v = i->data(kCellNumberRole);
    if (v.isValid())
        return v.toDouble();
    // A number cell without its value (typed in by hand) has only its text.
    QString text = i->text();
    text.remove(QLatin1Char(','));
    return text.toDouble();
}

CellKind itemCellKind(const QTableWidgetItem *item)
{
    if (!item)
        return TextCell;
    const int type = item->type();
    return type >= NumberCell && type <= TimeCell ? CellKind(type) : TextCell;
}
