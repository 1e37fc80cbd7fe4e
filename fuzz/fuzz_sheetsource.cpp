// Salary sheets read into batch records: any workbook the readers accept, every sheet mapped by
// the automatic title matching and by formulas of every kind (copies, arithmetic, names of other
// target columns), with ranges taken from the input. The first byte chooses .xls or .xlsx and
// the next two the range; the rest is the file.
#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "batch/sheetsource.h"
#include "excel/workbook.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    Workbook book(data[0] & 1 ? Workbook::Kind::Xlsx : Workbook::Kind::Xls);
    const SheetRange range{int(data[1] % 8), int(data[2] % 64)};
    if (!book.loadFromData(
            QByteArray::fromRawData(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3))))
        return 0;
    QStringList targets;
    const ColumnGroup *basic = ColumnCatalogue::instance().sourceGroup(TreeCalcSource, GroupBasic);
    for (int k = 0; k < basic->itemCount(); ++k)
        targets << basic->item(k)->title;
    const QStringList formulas = {QStringLiteral("A"),      QStringLiteral("B&C"),
                                  QStringLiteral("C*1.1"),  QStringLiteral("[月应发工资]/10+D"),
                                  QStringLiteral("E-(F*2"), QStringLiteral("AB+Pi")};
    for (int s = 0; s < book.sheetCount(); ++s) {
        const Sheet &sheet = *book.getSheet(s);
        const QStringList titles = sheetTitles(book, sheet, 1 + data[1] % 4);
        readSheetRecords(book, sheet, targets, autoMatchFormulas(titles, QStringList(targets.size()), 0),
                         range);
        readSheetRecords(book, sheet, targets, formulas, range);
    }
    return 0;
}
