// Whole .xls files: the compound-file container and the BIFF8 records inside it.
#include "excel/workbook.h"
#include "fuzz/workbookwalk.h"

#include <cstddef>
#include <cstdint>

// libgsf loses a few bytes on some damaged compound files; that is not ours to fix, and the
// unwinder stops inside GLib, so the suppression names it.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libglib\nleak:libgsf\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Workbook book(Workbook::Kind::Xls);
    if (!book.loadFromData(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size))))
        return 0;
    walkWorkbook(book);
    return 0;
}
