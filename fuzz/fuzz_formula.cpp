// Any bytes through the import formula evaluator and the row rewriting: nothing may crash, hang,
// read past the buffer or recurse without bound, whatever a user types or a worksheet holds.
#include "formula/evaluator.h"
#include "formula/formularewrite.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Kept across inputs, as the import keeps variables across rows.
    static Evaluator evaluator;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    evaluator.setText(bytes);
    if (evaluator.error() == 0)
        evaluator.parse();
    if (evaluator.error() == 0)
        evaluator.evaluate();
    evaluator.clear();

    // The same bytes as an import formula over a small row, with a result from an earlier column.
    static const PlainWorksheetRow row({PlainWorksheetRow::numberCell(1234.5, QStringLiteral("1,234.50")),
                                        PlainWorksheetRow::textCell(QStringLiteral("张三")),
                                        PlainWorksheetRow::missingCell(),
                                        PlainWorksheetRow::numberCell(-2e300, QStringLiteral("-2E+300"))});
    const FormulaTokens tokens = tokenizeFormula(QString::fromUtf8(bytes));
    RowResults results;
    results.insert(QStringLiteral("x"), QStringLiteral("12.50"));
    const FormulaCell cell = computeFormulaCell(evaluator, tokens, row, QStringLiteral("y"), results);
    if (!cell.errorNote.isEmpty() && !cell.errorNote.startsWith(cell.text))
        __builtin_trap();
    return 0;
}
