// The BIFF8 records of a workbook stream on their own, so mutations reach the record reader
// instead of breaking the compound file around it.
#include "excel/celldisplay.h"
#include "excel/formats.h"
#include "excel/workbook.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Workbook book(Workbook::Kind::Xls);
    if (!readXlsStream(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)), &book))
        return 0;
    for (int i = 0; i < book.sheetCount(); ++i) {
        const Sheet &sheet = *book.getSheet(i);
        for (const int r : sheet.rowIndexes()) {
            for (const int c : sheet.colIndexes(r)) {
                (void)displayCell(book, sheet, r, c);
                (void)sheet.getMerge(r, c, nullptr, nullptr, nullptr, nullptr);
            }
        }
    }
    return 0;
}
