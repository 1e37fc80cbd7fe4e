// The XML parts of an .xlsx package wrapped in a valid zip, so mutations reach the XML readers
// instead of failing the zip checksums. The input is the sheet XML, optionally followed by a NUL
// and the shared strings, and another NUL and the styles.
#include "excel/workbook.h"
#include "fuzz/workbookwalk.h"
#include "tests/excel/testbooks.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0');
    QList<testbooks::ZipPart> zip = testbooks::xlsxParts({}, parts.value(1), parts.value(2));
    zip[4].data = parts.value(0); // the whole sheet part
    Workbook book(Workbook::Kind::Xlsx);
    if (!book.loadFromData(testbooks::zip(zip)))
        return 0;
    walkWorkbook(book);
    return 0;
}
