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
