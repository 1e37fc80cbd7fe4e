// The BIFF8 records of a workbook stream on their own, so mutations reach the record reader
// instead of breaking the compound file around it.
#include "excel/formats.h"
#include "excel/workbook.h"
#include "fuzz/workbookwalk.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Workbook book(Workbook::Kind::Xls);
    if (!readXlsStream(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)), &book))
        return 0;
    walkWorkbook(book);
    return 0;
}
