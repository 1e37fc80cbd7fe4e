// Whole .xlsx files: the zip package, its relationships and its XML parts.
#include "excel/celldisplay.h"
#include "excel/workbook.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Workbook book(Workbook::Kind::Xlsx);
    if (!book.loadFromData(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size))))
        return 0;
    // Everything the import page asks of a loaded workbook.
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
    return 0;
}
