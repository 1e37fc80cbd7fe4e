#include "wizards/import/sheettargets.h"

#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "batch/yearplan.h"
#include "engine/amount.h"
#include "ledger/payrollsheet.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString rowNumber(int sheetRow)
{
    return QString::number(sheetRow);
}

QString problemText(int sheetRow, const QString &column, const QString &text, const QString &reason)
{
    return u"第 %1 行 %2 列“%3”：%4"_s.arg(sheetRow).arg(column, text, reason);
}

QString payrollValue(const PayrollInput &in, int field)
{
    if (isPayrollAmount(field))
        return formatAmount(in.amounts[size_t(field)]);
    switch (field) {
    case PfCode:
        return in.code;
    case PfName:
        return in.name;
    case PfIdType:
        return in.idType;
    case PfIdNumber:
        return in.idNumber;
    case PfRemark:
        return in.remark;
    case PfFirstJob:
        return in.firstJob ? u"是"_s : QString();
    case PfSixty:
        return in.sixty == 1 ? u"是"_s : in.sixty == 0 ? u"否"_s : QString();
    default:
        return {};
    }
}

} // namespace

bool isSheetImportMode(int mode)
{
    return mode == PayrollMonthPage || mode == YearSheetPage;
}

QList<SheetTarget> sheetTargets(int mode)
{
    QList<SheetTarget> targets;
    if (mode == PayrollMonthPage) {
        for (int f = 0; f < PfFieldCount; ++f)
            targets.append({payrollFieldTitle(f, false), f == PfName || f == PfIdNumber});
    } else if (mode == YearSheetPage) {
        const QStringList titles = yearPlanSourceTitles();
        for (qsizetype k = 0; k < titles.size(); ++k)
            targets.append({titles[k], k == YearCode || k == YearName});
    }
    return targets;
}

QStringList sheetAutoMatch(int mode, const QStringList &sheetTitles, const QStringList &formulas)
{
    QStringList result = formulas;
    const QStringList matched = mode == PayrollMonthPage ? payrollAutoFormulas(sheetTitles)
                                : mode == YearSheetPage  ? yearPlanFormulas(sheetTitles, nullptr)
                                                         : QStringList();
    for (qsizetype k = 0; k < std::min(result.size(), matched.size()); ++k) {
        if (!matched[k].isEmpty())
            result[k] = matched[k];
    }
    return result;
}

QStringList sheetSettingFormulas(int mode, const ImportSetting &setting)
{
    if (mode == PayrollMonthPage)
        return payrollSettingFormulas(setting);
    if (mode == YearSheetPage)
        return yearPlanFormulas({}, &setting);
    return {};
}

QString sheetMappingError(int mode, const QStringList &formulas)
{
    const auto empty = [&](int k) { return formulas.value(k).trimmed().isEmpty(); };
    if (mode == PayrollMonthPage && (empty(PfName) || empty(PfIdNumber)))
        return u"没有【姓名】或【证件号码】列，不能执行导入！"_s;
    if (mode == YearSheetPage && empty(YearCode) && empty(YearName))
        return u"没有【编码】和【姓名】列，不能执行导入！"_s;
    return {};
}

SheetPreview previewSheetImport(int mode, const Workbook &book, const Sheet &sheet,
                                const QStringList &formulas, SheetRange range, int rows)
{
    SheetPreview out;
    const SheetRange whole = resolveSheetRange(sheet, range);
    if (whole.first > whole.last || rows <= 0)
        return out;
    const SheetRange shown{whole.first, int(std::min<qint64>(whole.last, qint64(whole.first) + rows - 1))};
    out.more = shown.last < whole.last;
    const QList<SheetTarget> targets = sheetTargets(mode);
    QList<int> mapped;
    out.headings << u"行号"_s;
    for (int k = 0; k < targets.size(); ++k) {
        if (!formulas.value(k).trimmed().isEmpty()) {
            mapped << k;
            out.headings << targets[k].title;
        }
    }
    if (mode == PayrollMonthPage) {
        const PayrollSheet read = readPayrollSheet(book, sheet, formulas, shown);
        out.rowsRead = read.rowsRead;
        for (const PayrollInput &in : read.rows) {
            QStringList cells{rowNumber(in.sheetRow)};
            for (const int f : mapped)
                cells << payrollValue(in, f);
            out.rows.push_back(cells);
        }
        for (const PayrollProblem &p : read.problems)
            out.problems << problemText(p.sheetRow, p.column, p.text, p.reason);
    } else if (mode == YearSheetPage) {
        const SheetRecords read =
            readSheetRecords(book, sheet, yearPlanSourceTitles(), formulas, shown, kSheetAmounts);
        out.rowsRead = read.rowsRead;
        for (const SheetRecord &r : read.records) {
            QStringList cells{rowNumber(r.sheetRow)};
            for (const int k : mapped) {
                cells << (k == YearCode   ? r.code
                          : k == YearName ? r.name
                                          : formatAmount(r.amounts[size_t(k - YearMonthlyGross)]));
            }
            out.rows.push_back(cells);
        }
        for (const UnreadableCell &c : read.unreadable)
            out.problems << problemText(c.sheetRow, c.column, c.text, c.reason);
    }
    return out;
}
