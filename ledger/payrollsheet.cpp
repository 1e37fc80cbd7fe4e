#include "ledger/payrollsheet.h"

#include "batch/amountcell.h"
#include "batch/importsetting.h"
#include "excel/columnletters.h"
#include "excel/workbook.h"

#include <algorithm>

namespace {

struct FieldTitle
{
    const char *title;   // as the template writes it
    const char *synonym; // this program's own title, or null
};

// By PayrollField.
const FieldTitle kTitles[PfFieldCount] = {
    {"工号", "编码"},
    {"*姓名", nullptr},
    {"*证件类型", nullptr},
    {"*证件号码", nullptr},
    {"本期收入", "月应发工资"},
    {"本期免税收入", nullptr},
    {"基本养老保险费", nullptr},
    {"基本医疗保险费", nullptr},
    {"失业保险费", nullptr},
    {"住房公积金", nullptr},
    {"累计子女教育", nullptr},
    {"累计继续教育", nullptr},
    {"累计住房贷款利息", nullptr},
    {"累计住房租金", nullptr},
    {"累计赡养老人", nullptr},
    {"累计3岁以下婴幼儿照护", nullptr},
    {"累计个人养老金", nullptr},
    {"企业(职业)年金", "企业年金"},
    {"商业健康保险", nullptr},
    {"税延养老保险", nullptr},
    {"公务交通费用", nullptr},
    {"通讯费用", nullptr},
    {"律师办案费用", nullptr},
    {"西藏附加减除费用", nullptr},
    {"其他", nullptr},
    {"准予扣除的捐赠额", nullptr},
    {"减免税额", nullptr},
    {"协定减免", nullptr},
    {"备注", nullptr},
    {"全年一次性奖金", "年终奖金"},
    {"入职年度就业情形", nullptr},
    {"全年减除费用6万元", nullptr},
};

QString unmarked(const QString &title)
{
    const QString t = title.trimmed();
    return t.startsWith(QLatin1Char('*')) ? t.mid(1).trimmed() : t;
}

// The fields in the order readSheetRecords takes them: 工号 and 姓名 first, then four amounts
// (positions 2–5, which it reads as amounts itself), then the rest.
const std::array<int, PfFieldCount> &readOrder()
{
    static const std::array<int, PfFieldCount> order = [] {
        std::array<int, PfFieldCount> o{};
        int k = 0;
        for (int f : {int(PfCode), int(PfName), int(PfIncome), int(PfExempt), int(PfPension), int(PfMedical)})
            o[size_t(k++)] = f;
        for (int f = 0; f < PfFieldCount; ++f)
            if (f != PfCode && f != PfName && (f < PfIncome || f > PfMedical))
                o[size_t(k++)] = f;
        return o;
    }();
    return order;
}

// The amount rule's reason, saying that the row is left out rather than read as 0.
QString leftOut(QString reason)
{
    reason.replace(QStringLiteral("已按 0 计算。"), QString());
    return reason + QStringLiteral("本行未计算，也不记入台账。");
}

} // namespace

QString payrollFieldTitle(int field, bool marked)
{
    if (field < 0 || field >= PfFieldCount)
        return {};
    const QString title = QString::fromUtf8(kTitles[field].title);
    return marked ? title : unmarked(title);
}

int payrollFieldOfTitle(const QString &title)
{
    const QString t = unmarked(title);
    if (t.isEmpty())
        return -1;
    for (int f = 0; f < PfFieldCount; ++f) {
        if (t == unmarked(QString::fromUtf8(kTitles[f].title)) ||
            (kTitles[f].synonym && t == QString::fromUtf8(kTitles[f].synonym)))
            return f;
    }
    return -1;
}

QStringList payrollAutoFormulas(const QStringList &titles)
{
    QStringList formulas(PfFieldCount);
    int insuranceTotal = -1;
    for (qsizetype c = 0; c < titles.size(); ++c) {
        const int f = payrollFieldOfTitle(titles[c]);
        if (f >= 0 && formulas[f].isEmpty())
            formulas[f] = columnLetters(int(c));
        else if (f < 0 && insuranceTotal < 0 && unmarked(titles[c]) == QStringLiteral("三险一金"))
            insuranceTotal = int(c);
    }
    if (insuranceTotal >= 0 && formulas[PfPension].isEmpty() && formulas[PfMedical].isEmpty() &&
        formulas[PfUnemployment].isEmpty() && formulas[PfHousingFund].isEmpty())
        formulas[PfPension] = columnLetters(insuranceTotal);
    return formulas;
}

QStringList payrollSettingFormulas(const ImportSetting &setting)
{
    QStringList formulas(PfFieldCount);
    for (const ImportSettingColumn &column : setting.columns) {
        const int f = unmarked(column.title) == QStringLiteral("三险一金")
                          ? int(PfPension)
                          : payrollFieldOfTitle(column.title);
        if (f >= 0)
            formulas[f] = column.formula;
    }
    return formulas;
}

PayrollSheet readPayrollSheet(const Workbook &book, const Sheet &sheet, const QStringList &formulas,
                              SheetRange range, const std::function<bool()> &cancelled)
{
    PayrollSheet out;
    const auto &order = readOrder();
    // Amount columns beyond position 5 that name one worksheet column are read from the cell, which
    // keeps a number cell's own number; the import is not asked for their texts.
    std::array<int, PfFieldCount> direct;
    direct.fill(-1);
    QStringList names, readFormulas;
    for (int k = 0; k < PfFieldCount; ++k) {
        const int f = order[size_t(k)];
        names << payrollFieldTitle(f, false);
        QString formula = formulas.value(f);
        if (isPayrollAmount(f) && k >= 6 && !formula.trimmed().isEmpty()) {
            direct[size_t(f)] = formulaSingleColumn(formula);
            if (direct[size_t(f)] >= 0)
                formula.clear();
        }
        readFormulas << formula;
    }
    SheetRecords source = readSheetRecords(book, sheet, names, readFormulas, range, 4, cancelled);
    if (cancelled && cancelled())
        return out;
    out.rowsRead = source.rowsRead;
    out.rowsSkipped = source.rowsSkipped;

    // Rows with an unreadable amount are left out; their cells say why.
    QHash<int, int> unreadableRows;
    for (const UnreadableCell &c : source.unreadable) {
        out.problems.push_back({c.sheetRow, c.column, c.text, leftOut(c.reason)});
        unreadableRows.insert(c.sheetRow, 1);
    }
    SheetWorksheetRow row(book, sheet);
    out.rows.reserve(source.records.size());
    for (SheetRecord &r : source.records) {
        if (cancelled && out.rows.size() % 512 == 0 && cancelled())
            return out;
        PayrollInput in;
        in.sheetRow = r.sheetRow;
        QString texts[PfFieldCount];
        for (int k = 0; k < PfFieldCount && k < r.texts.size(); ++k)
            texts[order[size_t(k)]] = r.texts[k].trimmed();
        in.code = texts[PfCode];
        in.name = texts[PfName];
        in.idType = texts[PfIdType].isEmpty() ? residentIdType() : texts[PfIdType];
        in.idNumber = texts[PfIdNumber];
        in.remark = texts[PfRemark];
        for (int k = 0; k < 4; ++k)
            in.amounts[size_t(order[size_t(k + 2)])] = r.amounts[size_t(k)];
        bool bad = unreadableRows.contains(r.sheetRow);
        row.setRow(r.sheetRow - 1);
        for (int k = 6; k < PfFieldCount; ++k) {
            const int f = order[size_t(k)];
            if (!isPayrollAmount(f))
                continue;
            AmountReading reading;
            QString column, text;
            if (const int c = direct[size_t(f)]; c >= 0) {
                reading = readAmountCell(row, c);
                column = columnLetters(c);
                text = reading.ok() ? QString() : row.cellText(c);
            } else {
                reading = amountFromCellText(texts[f]);
                column = payrollFieldTitle(f, false);
                text = texts[f];
            }
            if (!reading.ok()) {
                out.problems.push_back(
                    {r.sheetRow, column, text, leftOut(amountProblemText(reading.problem, text))});
                bad = true;
            }
            in.amounts[size_t(f)] = reading.fen;
        }
        const QString &firstJob = texts[PfFirstJob];
        in.firstJob = firstJob == QStringLiteral("当年首次入职学生") ||
                      firstJob == QStringLiteral("当年首次入职其他人员");
        const QString &sixty = texts[PfSixty];
        if (sixty == QStringLiteral("是"))
            in.sixty = 1;
        else if (sixty == QStringLiteral("否"))
            in.sixty = 0;
        else if (!sixty.isEmpty()) {
            out.problems.push_back(
                {r.sheetRow, payrollFieldTitle(PfSixty), sixty,
                 QStringLiteral("全年减除费用6万元只能填“是”或“否”。本行未计算，也不记入台账。")});
            bad = true;
        }
        if (!bad)
            out.rows.push_back(std::move(in));
        r.texts.clear();
    }
    std::stable_sort(
        out.problems.begin(), out.problems.end(),
        [](const PayrollProblem &a, const PayrollProblem &b) { return a.sheetRow < b.sheetRow; });
    return out;
}

std::unique_ptr<Workbook> loadPayrollWorkbook(const QString &path, QString *error, QStringList *warnings,
                                              const std::function<bool()> &cancelled)
{
    std::unique_ptr<Workbook> book = Workbook::create(path);
    if (!book->load(path, cancelled)) {
        *error = cancelled && cancelled()
                     ? Workbook::cancelledMessage()
                     : QStringLiteral("无法读取工作簿 %1：%2").arg(path, book->errorMessage());
        return nullptr;
    }
    if (warnings)
        *warnings = book->loadWarnings();
    return book;
}

QString payrollMappingProblem(const QStringList &formulas)
{
    if (formulas.value(PfIdNumber).trimmed().isEmpty() || formulas.value(PfName).trimmed().isEmpty())
        return QStringLiteral("工资表没有【姓名】或【证件号码】列");
    return {};
}

bool readPayrollImport(const SheetImport &import, PayrollSheet *out, QString *error, QStringList *warnings,
                       const std::function<bool()> &cancelled)
{
    QStringList formulas = import.formulas;
    while (formulas.size() < PfFieldCount)
        formulas << QString();
    if (const QString problem = payrollMappingProblem(formulas); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    const std::unique_ptr<Workbook> book = loadPayrollWorkbook(import.file, error, warnings, cancelled);
    if (!book)
        return false;
    const Sheet *sheet = import.sheetIndex >= 0 && import.sheetIndex < book->sheetCount()
                             ? book->getSheet(import.sheetIndex)
                             : nullptr;
    if (!sheet) {
        *error = QStringLiteral("工作簿 %1 中没有第 %2 个工作表").arg(import.file).arg(import.sheetIndex + 1);
        return false;
    }
    *out = readPayrollSheet(*book, *sheet, formulas, import.range, cancelled);
    return !(cancelled && cancelled());
}
