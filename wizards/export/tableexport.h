// The batch pages' widget tables as the export core reads them.
#pragma once

#include "batch/exporttemplate.h"

class QTableWidget;

// A widget table read as an ExportTable: its items' texts, kinds (item types) and horizontal
// alignments; a missing item is a missing cell. The table must outlive the reader.
class TableWidgetExport : public ExportTable
{
public:
    explicit TableWidgetExport(const QTableWidget *table) : m_table(table) {}

    int rowCount() const override;
    std::optional<ExportTableCell> cell(int row, int column) const override;

private:
    const QTableWidget *m_table;
};

// The sheet of an export from the page's tables (any of them may be null).
SheetLayout exportLayoutFromTables(int mode, const QTableWidget *base, const QTableWidget *before,
                                   const QTableWidget *after, const QList<ExportColumn> &columns, int scope,
                                   const QString &title);
