// Worksheet cells in salary tables, for the import wizard's range page and the formula preview.
//
// A worksheet becomes a read-only table: columns titled by their letters, widths and heights from
// the sheet, one item per stored cell with the text, kind, alignment and font of the display rules
// (excel/celldisplay.h) and, for a number cell, its number under kCellNumberRole. Cells the sheet
// does not store get no item: a table position without an item reads as an empty text cell, so a
// sheet whose one stray cell lies at row one million costs one item, not millions.
#pragma once

#include "formula/formularewrite.h"

#include <QFont>
#include <QHash>

class QTableWidget;
class QTableWidgetItem;
class Sheet;
class Workbook;

// Fills a table from one worksheet, row by row, so the caller can show progress and stop.
class SheetTableFiller
{
public:
    SheetTableFiller(const Workbook &book, const Sheet &sheet, QTableWidget *table);

    // The table's rows: the sheet's last row index + 1 (0 for an empty sheet).
    int rowCount() const { return m_rows; }
    // Columns, rows, widths and heights; call once before the rows.
    void prepare();
    // The rows holding cells, ascending; fillRow each of them.
    const std::vector<int> &storedRows() const { return m_storedRows; }
    void fillRow(int row);
    // The merged ranges as spans; call after the last row.
    void finish();

private:
    const Workbook &m_book;
    const Sheet &m_sheet;
    QTableWidget *m_table;
    int m_rows;
    int m_cols;
    std::vector<int> m_storedRows;
    QHash<QString, QFont> m_fonts;
};

// The text a table item of a worksheet holds as a row of the formula rewriting. Every position
// inside the table is a cell; one without an item is an empty text cell.
class TableWorksheetRow : public WorksheetRow
{
public:
    TableWorksheetRow(const QTableWidget *table, int row) : m_table(table), m_row(row) {}

    int columnCount() const override { return m_columns; }
    bool hasCell(int column) const override { return column >= 0 && column < m_columns; }
    QString cellText(int column) const override;
    CellKind cellKind(int column) const override;
    double cellNumber(int column) const override;

    void setRow(int row) { m_row = row; }

private:
    const QTableWidgetItem *item(int column) const;
    const QTableWidget *m_table;
    int m_row;
    int m_columns = columnCountOf(m_table);
    static int columnCountOf(const QTableWidget *table);
};

// The kind of a table item (its type when that is a cell kind, else TextCell).
CellKind itemCellKind(const QTableWidgetItem *item);
