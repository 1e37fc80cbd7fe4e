// Whole .xls files: the compound-file container and the BIFF8 records inside it.
#include "excel/workbook.h"
#include "fuzz/workbookwalk.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Workbook book(Workbook::Kind::Xls);
    if (!book.loadFromData(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size))))
        return 0;
    walkWorkbook(book);
    return 0;
}
