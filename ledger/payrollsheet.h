// Reading a month's salary sheet for the payroll ledger.
//
// The titles of the withholding client's wage template are recognised as they stand, with or
// without the "*" that marks its required columns, and so are this program's own titles (编码,
// 月应发工资, 年终奖金, 企业年金, 三险一金). Rows are read through the batch import
// (readSheetRecords, the formula rewriting and the amount-cell rule), so --map formulas and saved
// import settings work as in lumo-cli batch. A row whose amount cell cannot be read is reported and
// left out rather than taxed as 0, since its month would be kept in the ledger. QtCore only.
#pragma once

#include "batch/sheetsource.h"
#include "ledger/payrollrules.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class Workbook;
class Sheet;
struct ImportSetting;

// A row or cell left out of the month, and why.
struct PayrollProblem
{
    int sheetRow = 0;
    QString column; // the worksheet column's letters, or the field's title
    QString text;
    QString reason; // Chinese
};

// The title of a field as the template writes it ("*姓名"), and without the mark ("姓名").
QString payrollFieldTitle(int field, bool marked = true);
// The field a worksheet title names (blanks around it and a leading "*" ignored), or -1.
int payrollFieldOfTitle(const QString &title);
// The import formula of each field (PfFieldCount texts, empty for a column the sheet lacks), from
// the titles of the title row. One 三险一金 column stands for the four 专项扣除 columns and is
// read as 基本养老保险费 when the sheet has none of the four.
QStringList payrollAutoFormulas(const QStringList &titles);
// The import formula of each field from a saved import setting's columns, by their titles (a
// 三险一金 column as 基本养老保险费); a field the setting does not name stays empty.
QStringList payrollSettingFormulas(const ImportSetting &setting);

struct PayrollSheet
{
    std::vector<PayrollInput> rows;
    int rowsRead = 0;
    int rowsSkipped = 0; // 工号 and 姓名 both empty
    std::vector<PayrollProblem> problems;
};

// Reads the rows of `range` with one formula per field. A read that `cancelled` stops is
// incomplete: the caller drops it.
PayrollSheet readPayrollSheet(const Workbook &book, const Sheet &sheet, const QStringList &formulas,
                              SheetRange range, const std::function<bool()> &cancelled = {});

// The workbook at `path` loaded whole, or null with the Chinese reason in *error (a cancelled read
// says Workbook::cancelledMessage()). What reading had to leave out goes to *warnings.
// `cancelled` is asked between pieces of the file, from the reading thread.
std::unique_ptr<Workbook> loadPayrollWorkbook(const QString &path, QString *error, QStringList *warnings,
                                              const std::function<bool()> &cancelled = {});
// Empty when the formulas map 姓名 and 证件号码, which every month needs; else the reason.
QString payrollMappingProblem(const QStringList &formulas);

// Reads the sheet an import settled (its formulas one per PayrollField) from its file, as
// lumo-cli month reads one: false with a Chinese message when the file cannot be read (or the
// read was cancelled), the worksheet is missing or 姓名 / 证件号码 is not mapped. The workbook
// is released before it returns. Safe on any thread.
bool readPayrollImport(const SheetImport &import, PayrollSheet *out, QString *error,
                       QStringList *warnings = nullptr, const std::function<bool()> &cancelled = {});
