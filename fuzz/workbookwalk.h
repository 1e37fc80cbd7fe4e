// Everything the import page asks of a loaded workbook, for the fuzz targets to run on whatever a
// mutated input produced.
#pragma once

#include "excel/celldisplay.h"
#include "excel/workbook.h"

inline void walkWorkbook(const Workbook &book)
{
    for (int i = 0; i < book.sheetCount(); ++i) {
        const Sheet &sheet = *book.getSheet(i);
        for (const int r : sheet.rowIndexes()) {
            (void)sheet.rowHeight(r);
            for (const int c : sheet.colIndexes(r)) {
                (void)displayCell(book, sheet, r, c);
                (void)sheet.getMerge(r, c, nullptr, nullptr, nullptr, nullptr);
                (void)sheet.colWidth(c);
            }
        }
    }
}

// Every stored cell and merge, as text, to compare two reads of one input.
inline QString workbookContents(const Workbook &book)
{
    QString out;
    for (int i = 0; i < book.sheetCount(); ++i) {
        const Sheet &sheet = *book.getSheet(i);
        out += sheet.name() + QLatin1Char('\n');
        sheet.forEachCell([&](const Sheet::CellView &c) {
            out += QStringLiteral("%1,%2 %3 %4 %5 %6\n")
                       .arg(c.row)
                       .arg(c.col)
                       .arg(int(c.type))
                       .arg(int(c.origin))
                       .arg(c.num, 0, 'g', 17)
                       .arg(c.str ? *c.str : QString());
        });
        for (const CellRange &m : sheet.merges())
            out += QStringLiteral("merge %1 %2 %3 %4\n")
                       .arg(m.firstRow)
                       .arg(m.lastRow)
                       .arg(m.firstCol)
                       .arg(m.lastCol);
    }
    return out;
}
