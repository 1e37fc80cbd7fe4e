// Whole .xlsx files: the zip package, its relationships and its XML parts.
#include "excel/workbook.h"
#include "fuzz/workbookwalk.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Workbook book(Workbook::Kind::Xlsx);
    if (!book.loadFromData(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size))))
        return 0;
    walkWorkbook(book);
    return 0;
}
