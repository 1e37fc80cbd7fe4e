#include "wizards/export/tableexport.h"

#include <QTableWidget>

int TableWidgetExport::rowCount() const
{
    return m_table ? m_table->rowCount() : 0;
}

std::optional<ExportTableCell> TableWidgetExport::cell(int row, int column) const
{
    const QTableWidgetItem *item = m_table ? m_table->item(row, column) : nullptr;
    if (!item)
        return std::nullopt;
    ExportTableCell cell;
    cell.text = item->text();
    cell.kind = item->type();
    const int align = item->textAlignment() & Qt::AlignHorizontal_Mask;
    if (align & Qt::AlignRight)
        cell.align = SheetCellStyle::BodyRight;
    else if (align & (Qt::AlignHCenter | Qt::AlignJustify))
        cell.align = SheetCellStyle::BodyCenter;
    else
        cell.align = SheetCellStyle::BodyLeft; // left, or no alignment
    return cell;
}

SheetLayout exportLayoutFromTables(int mode, const QTableWidget *base, const QTableWidget *before,
                                   const QTableWidget *after, const QList<ExportColumn> &columns, int scope,
                                   const QString &title)
{
    const TableWidgetExport baseTable(base), beforeTable(before), afterTable(after);
    ExportRequest request;
    request.mode = mode;
    request.base = base ? &baseTable : nullptr;
    request.before = before ? &beforeTable : nullptr;
    request.after = after ? &afterTable : nullptr;
    request.columns = columns;
    request.scope = scope;
    request.title = title;
    return buildExportLayout(request);
}
