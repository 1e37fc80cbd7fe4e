// The XML parts of an .xlsx package wrapped in a valid zip, so mutations reach the XML readers
// instead of failing the zip checksums. The input is the sheet XML, optionally followed by a NUL
// and the shared strings, and another NUL and the styles. Each input is read twice, the second time
// in inflated pieces of a few bytes (the size chosen by the input's length): the streaming reader
// must read exactly the same whatever the pieces.
#include "excel/formats.h"
#include "excel/workbook.h"
#include "fuzz/workbookwalk.h"
#include "tests/excel/testbooks.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)).split('\0');
    QList<testbooks::ZipPart> zip = testbooks::xlsxParts({}, parts.value(1), parts.value(2));
    zip[4].data = parts.value(0); // the whole sheet part
    const QByteArray file = testbooks::zip(zip);
    Workbook book(Workbook::Kind::Xlsx);
    const bool read = book.loadFromData(file);
    Workbook pieces(Workbook::Kind::Xlsx);
    const bool readInPieces = readXlsx(file, &pieces, qsizetype(1 + size % 13));
    if (read != readInPieces || (read && workbookContents(book) != workbookContents(pieces))) {
        std::fprintf(stderr, "read whole: %s\nread in pieces: %s\n", qPrintable(book.errorMessage()),
                     qPrintable(pieces.errorMessage()));
        std::abort();
    }
    if (!read)
        return 0;
    walkWorkbook(book);
    return 0;
}
