#include "ledger/payrollmonth.h"

#include <QHash>

#include <algorithm>
#include <map>

using CurrentRules::BonusMethod;

bool runPayrollMonth(const PayrollLedger &ledger, PayrollSheet sheet, int year, int month,
                     BonusMethod bonusMethod, PayrollMonthRun *out, QString *error,
                     SecondSeparateBonus second, const std::function<bool()> &cancelled)
{
    // Asked every few hundred rows; a stopped run is false with no message.
    const auto stopped = [&cancelled](size_t i) { return cancelled && i % 512 == 0 && cancelled(); };
    out->year = year;
    out->month = month;
    out->bonusMethod = bonusMethod;
    out->entries.clear();
    out->withheld = out->bonusTax = out->net = 0;
    out->problems = std::move(sheet.problems);
    if (bonusMethod == BonusMethod::Best) {
        *error = QStringLiteral("全年一次性奖金的计税方式只能是单独计税或并入综合所得");
        return false;
    }
    if (bonusMethod == BonusMethod::Separate && !CurrentRules::separateBonusAllowed(year)) {
        *error = QStringLiteral("%1 年起全年一次性奖金不再单独计税，只能并入当月工资").arg(year);
        return false;
    }
    QString readError;
    const QHash<QString, PayrollState> states = ledger.statesBefore(year, month, &readError);
    const QHash<QString, LedgerEmployee> known = ledger.employees(&readError);
    QHash<QString, bool> sixty;
    if (ledger.hasYear(year - 1, &readError))
        sixty = ledger.sixtyRuleAfter(year - 1, &readError);
    if (!readError.isEmpty()) {
        *error = readError;
        return false;
    }
    if (stopped(0))
        return false;

    // Identity numbers first: a number given twice is left out in every row that gives it.
    QHash<QString, int> seen;
    seen.reserve(qsizetype(sheet.rows.size()));
    std::vector<char> valid(sheet.rows.size(), 1);
    std::vector<QString> keys(sheet.rows.size());
    for (size_t i = 0; i < sheet.rows.size(); ++i) {
        if (stopped(i))
            return false;
        PayrollInput &in = sheet.rows[i];
        const QString given = in.idNumber;
        const QString reason = checkIdNumber(in.idType, &in.idNumber, year, month);
        if (!reason.isEmpty()) {
            out->problems.push_back({in.sheetRow, payrollFieldTitle(PfIdNumber), given, reason});
            valid[i] = 0;
        } else if (in.name.isEmpty()) {
            out->problems.push_back(
                {in.sheetRow, payrollFieldTitle(PfName), in.name, QStringLiteral("缺少姓名")});
            valid[i] = 0;
        } else {
            keys[i] = employeeKey(in.idType, in.idNumber);
            ++seen[keys[i]];
        }
    }
    out->entries.reserve(sheet.rows.size());
    for (size_t i = 0; i < sheet.rows.size(); ++i) {
        if (stopped(i))
            return false;
        if (!valid[i])
            continue;
        const PayrollInput &in = sheet.rows[i];
        const QString &key = keys[i];
        if (seen.value(key) > 1) {
            out->problems.push_back(
                {in.sheetRow, payrollFieldTitle(PfIdNumber), in.idNumber,
                 QStringLiteral("同一证件号码在本表中出现了 %1 次").arg(seen.value(key))});
            continue;
        }
        const auto person = known.constFind(key);
        if (person != known.constEnd() && person->name != in.name) {
            out->problems.push_back({in.sheetRow, payrollFieldTitle(PfName), in.name,
                                     QStringLiteral("台账中该证件号码的姓名是“%1”").arg(person->name)});
            continue;
        }
        const PayrollState before = states.value(key);
        if (second == SecondSeparateBonus::Refused && bonusMethod == BonusMethod::Separate &&
            in.amounts[PfBonus] > 0 && before.separateBonusMonth > 0) {
            out->problems.push_back(
                {in.sheetRow, payrollFieldTitle(PfBonus), formatAmount(in.amounts[PfBonus]),
                 QStringLiteral("该员工本年 %1 月的全年一次性奖金已单独计税；单独计税每个纳税年度只能用一次，"
                                "这笔奖金应并入当月工资计税")
                     .arg(before.separateBonusMonth)});
            continue;
        }
        PayrollEntry e = computePayrollMonth(in, before, year, month, bonusMethod, sixty.value(key));
        out->withheld += e.withheld;
        out->bonusTax += e.bonusTax;
        out->net += e.net;
        out->entries.push_back(std::move(e));
    }
    std::stable_sort(
        out->problems.begin(), out->problems.end(),
        [](const PayrollProblem &a, const PayrollProblem &b) { return a.sheetRow < b.sheetRow; });
    return true;
}

QString payrollTemplateName()
{
    return QStringLiteral("扣缴申报");
}

namespace {

SheetCell cell(const QString &text, SheetCellStyle style = SheetCellStyle::BodyLeft, bool numeric = false)
{
    SheetCell c;
    c.present = true;
    c.text = text;
    c.style = style;
    c.numeric = numeric;
    return c;
}

// The employee and the month's amounts, in the template's order.
void appendInputCells(SheetRow *row, const PayrollInput &in)
{
    for (const QString *text : {&in.code, &in.name, &in.idType, &in.idNumber})
        row->cells.push_back(cell(*text));
    for (int f = PfIncome; f <= PfTreatyRelief; ++f)
        row->cells.push_back(amountCell(in.amounts[size_t(f)]));
}

SheetRow headingRow(const QStringList &titles)
{
    SheetRow row;
    for (const QString &t : titles)
        row.cells.push_back(cell(t, SheetCellStyle::Heading));
    return row;
}

std::vector<int> widths(const QStringList &titles)
{
    std::vector<int> w;
    for (const QString &t : titles)
        w.push_back(std::max(80, int(t.size()) * 16 + 16));
    return w;
}

// The result columns after the inputs, with their figures.
struct Figure
{
    const char *title;
    Amount PayrollEntry::*member;
};
const Figure kFigures[] = {
    {"累计收入", &PayrollEntry::cumulativeIncome},
    {"累计免税收入", &PayrollEntry::cumulativeExempt},
    {"累计减除费用", &PayrollEntry::cumulativeBasic},
    {"累计专项扣除", &PayrollEntry::cumulativeSpecial},
    {"累计专项附加扣除", &PayrollEntry::cumulativeAdditional},
    {"累计其他扣除", &PayrollEntry::cumulativeOther},
    {"累计准予扣除的捐赠额", &PayrollEntry::cumulativeDonation},
    {"累计应纳税所得额", &PayrollEntry::cumulativeTaxable},
    {"税率", nullptr},
    {"速算扣除数", &PayrollEntry::quickDeduction},
    {"累计应纳税额", &PayrollEntry::cumulativeTax},
    {"累计减免税额", &PayrollEntry::cumulativeRelief},
    {"累计已预扣预缴税额", &PayrollEntry::withheldBefore},
    {"本期应预扣预缴税额", &PayrollEntry::withheld},
    {"全年一次性奖金", nullptr},
    {"全年一次性奖金应纳税额", &PayrollEntry::bonusTax},
    {"实发数", &PayrollEntry::net},
};
// Figures a totals row adds up (a month's sums; cumulative figures are not summed).
bool summed(const Figure &f)
{
    return f.member == &PayrollEntry::withheld || f.member == &PayrollEntry::bonusTax ||
           f.member == &PayrollEntry::net;
}

} // namespace

QStringList payrollResultTitles(bool withMonth)
{
    QStringList titles;
    if (withMonth)
        titles << QStringLiteral("所属月份");
    for (int f = PfCode; f <= PfTreatyRelief; ++f)
        titles << payrollFieldTitle(f, false);
    titles << QStringLiteral("月份数");
    for (const Figure &f : kFigures)
        titles << QString::fromUtf8(f.title);
    return titles;
}

SheetRow payrollResultRow(const PayrollEntry &e, bool withMonth)
{
    SheetRow row;
    row.cells.reserve(size_t(kTemplateFieldCount + std::size(kFigures) + 1));
    if (withMonth)
        row.cells.push_back(cell(QStringLiteral("%1-%2").arg(e.year).arg(e.month, 2, 10, QLatin1Char('0')),
                                 SheetCellStyle::BodyCenter));
    appendInputCells(&row, e.input);
    row.cells.push_back(cell(QString::number(e.months), SheetCellStyle::BodyRight));
    for (size_t k = 0; k < std::size(kFigures); ++k) {
        const Figure &f = kFigures[k];
        if (f.member)
            row.cells.push_back(amountCell(e.*f.member));
        else if (k == 8)
            row.cells.push_back(cell(QStringLiteral("%1%").arg(e.rate), SheetCellStyle::BodyRight));
        else
            row.cells.push_back(amountCell(e.input.amounts[PfBonus]));
    }
    return row;
}

SheetRow payrollResultTotals(const std::vector<PayrollEntry> &entries, bool withMonth)
{
    PayrollAmounts inputTotals{};
    std::vector<Amount> figureTotals(std::size(kFigures), 0);
    Amount bonusTotal = 0;
    for (const PayrollEntry &e : entries) {
        for (int f = PfIncome; f <= PfTreatyRelief; ++f)
            inputTotals[size_t(f)] += e.input.amounts[size_t(f)];
        for (size_t k = 0; k < std::size(kFigures); ++k)
            if (kFigures[k].member)
                figureTotals[k] += e.*kFigures[k].member;
        bonusTotal += e.input.amounts[PfBonus];
    }
    SheetRow total;
    total.total = true;
    if (withMonth)
        total.cells.push_back(cell(QString(), SheetCellStyle::Total));
    total.cells.push_back(cell(QStringLiteral("合计"), SheetCellStyle::Total));
    total.cells.push_back(cell(QStringLiteral("%1 人次").arg(entries.size()), SheetCellStyle::Total));
    total.cells.push_back(cell(QString(), SheetCellStyle::Total));
    total.cells.push_back(cell(QString(), SheetCellStyle::Total));
    for (int f = PfIncome; f <= PfTreatyRelief; ++f)
        total.cells.push_back(cell(formatAmount(inputTotals[size_t(f)]), SheetCellStyle::Total, true));
    total.cells.push_back(cell(QString(), SheetCellStyle::Total));
    for (size_t k = 0; k < std::size(kFigures); ++k) {
        if (kFigures[k].member && summed(kFigures[k]))
            total.cells.push_back(cell(formatAmount(figureTotals[k]), SheetCellStyle::Total, true));
        else if (k == 14)
            total.cells.push_back(cell(formatAmount(bonusTotal), SheetCellStyle::Total, true));
        else
            total.cells.push_back(cell(QString(), SheetCellStyle::Total));
    }
    return total;
}

SheetLayout payrollResultLayout(const std::vector<PayrollEntry> &entries, const QString &title,
                                bool withMonth)
{
    SheetLayout layout;
    const QStringList titles = payrollResultTitles(withMonth);
    layout.title = title;
    layout.titleSpan = int(titles.size());
    layout.headings.push_back(headingRow(titles));
    layout.columnWidths = widths(titles);
    layout.rows.reserve(entries.size() + 1);
    for (const PayrollEntry &e : entries)
        layout.rows.push_back(payrollResultRow(e, withMonth));
    layout.rows.push_back(payrollResultTotals(entries, withMonth));
    return layout;
}

SheetLayout payrollTemplateLayout(const std::vector<PayrollEntry> &entries)
{
    SheetLayout layout;
    layout.sheetName = QStringLiteral("正常工资薪金所得");
    QStringList titles;
    for (int f = 0; f < kTemplateFieldCount; ++f)
        titles << payrollFieldTitle(f, true);
    layout.headings.push_back(headingRow(titles));
    layout.columnWidths = widths(titles);
    layout.rows.reserve(entries.size());
    for (const PayrollEntry &e : entries) {
        SheetRow row;
        row.cells.reserve(kTemplateFieldCount);
        appendInputCells(&row, e.input);
        row.cells.push_back(cell(e.input.remark));
        layout.rows.push_back(std::move(row));
    }
    return layout;
}

std::vector<PayrollSettlement> settlePayrollYear(const std::vector<PayrollEntry> &entries)
{
    // The latest entry of each employee holds the year's cumulative figures.
    std::vector<PayrollSettlement> list;
    QHash<QString, size_t> index;
    std::vector<const PayrollEntry *> latest;
    for (const PayrollEntry &e : entries) {
        const QString key = employeeKey(e.input.idType, e.input.idNumber);
        auto at = index.constFind(key);
        if (at == index.constEnd()) {
            at = index.insert(key, list.size());
            PayrollSettlement s;
            s.idType = e.input.idType;
            s.idNumber = e.input.idNumber;
            list.push_back(s);
            latest.push_back(&e);
        }
        PayrollSettlement &s = list[*at];
        s.code = e.input.code;
        s.name = e.input.name;
        s.wageIncome += e.input.amounts[PfIncome] + e.input.amounts[PfBonus];
        s.bonusTax += e.bonusTax;
        s.withheld += e.withheld + e.bonusTax;
        if (e.month >= latest[*at]->month)
            latest[*at] = &e;
    }
    for (size_t i = 0; i < list.size(); ++i) {
        PayrollSettlement &s = list[i];
        const PayrollEntry &e = *latest[i];
        s.months = e.months;
        s.income = e.cumulativeIncome;
        s.deductions = e.cumulativeExempt + CurrentRules::kBasicDeductionAnnual + e.cumulativeSpecial +
                       e.cumulativeAdditional + e.cumulativeOther + e.cumulativeDonation;
        s.taxable = std::max<Amount>(s.income - s.deductions, 0);
        const CurrentRules::Bracket &row = CurrentRules::bracketOf(CurrentRules::annualTable(), s.taxable);
        s.rate = row.rate;
        s.quickDeduction = row.quickDeduction;
        s.relief = e.cumulativeRelief;
        s.wageTax = std::max<Amount>(CurrentRules::taxIn(row, s.taxable) - s.relief, 0);
        s.annualTax = s.wageTax + s.bonusTax;
        s.balance = s.annualTax - s.withheld;
        s.mayBeSkipped = CurrentRules::settlementMayBeSkipped(s.wageIncome, s.balance);
    }
    return list;
}

QString settlementText(const PayrollSettlement &s)
{
    QString text = s.balance > 0   ? QStringLiteral("应补税 %1").arg(formatAmount(s.balance))
                   : s.balance < 0 ? QStringLiteral("应退税 %1").arg(formatAmount(-s.balance))
                                   : QStringLiteral("无需补退");
    if (s.mayBeSkipped)
        text += QStringLiteral("，无需办理汇算");
    return text;
}

QStringList settlementTitles()
{
    return {
        QStringLiteral("工号"),           QStringLiteral("姓名"),         QStringLiteral("证件类型"),
        QStringLiteral("证件号码"),       QStringLiteral("月份数"),       QStringLiteral("全年工资薪金收入"),
        QStringLiteral("综合所得收入"),   QStringLiteral("全年减除合计"), QStringLiteral("应纳税所得额"),
        QStringLiteral("税率"),           QStringLiteral("速算扣除数"),   QStringLiteral("减免税额"),
        QStringLiteral("综合所得税额"),   QStringLiteral("年终奖金税额"), QStringLiteral("全年应纳税额"),
        QStringLiteral("已预扣预缴税额"), QStringLiteral("应补(退)税额"), QStringLiteral("汇算结论"),
    };
}

SheetRow settlementRow(const PayrollSettlement &s)
{
    SheetRow row;
    row.cells = {cell(s.code),
                 cell(s.name),
                 cell(s.idType),
                 cell(s.idNumber),
                 cell(QString::number(s.months), SheetCellStyle::BodyRight),
                 amountCell(s.wageIncome),
                 amountCell(s.income),
                 amountCell(s.deductions),
                 amountCell(s.taxable),
                 cell(QStringLiteral("%1%").arg(s.rate), SheetCellStyle::BodyRight),
                 amountCell(s.quickDeduction),
                 amountCell(s.relief),
                 amountCell(s.wageTax),
                 amountCell(s.bonusTax),
                 amountCell(s.annualTax),
                 amountCell(s.withheld),
                 amountCell(s.balance),
                 cell(settlementText(s))};
    return row;
}

SheetRow settlementTotals(const std::vector<PayrollSettlement> &list)
{
    Amount totals[4] = {};
    for (const PayrollSettlement &s : list) {
        totals[0] += s.wageIncome;
        totals[1] += s.annualTax;
        totals[2] += s.withheld;
        totals[3] += s.balance;
    }
    SheetRow total;
    total.total = true;
    total.cells.resize(size_t(settlementTitles().size()), cell(QString(), SheetCellStyle::Total));
    total.cells[0] = cell(QStringLiteral("合计"), SheetCellStyle::Total);
    total.cells[1] = cell(QStringLiteral("%1 人").arg(list.size()), SheetCellStyle::Total);
    total.cells[5] = cell(formatAmount(totals[0]), SheetCellStyle::Total, true);
    total.cells[14] = cell(formatAmount(totals[1]), SheetCellStyle::Total, true);
    total.cells[15] = cell(formatAmount(totals[2]), SheetCellStyle::Total, true);
    total.cells[16] = cell(formatAmount(totals[3]), SheetCellStyle::Total, true);
    return total;
}

SheetLayout settlementLayout(const std::vector<PayrollSettlement> &list, const QString &title)
{
    SheetLayout layout;
    const QStringList titles = settlementTitles();
    layout.title = title;
    layout.titleSpan = int(titles.size());
    layout.headings.push_back(headingRow(titles));
    layout.columnWidths = widths(titles);
    layout.rows.reserve(list.size() + 1);
    for (const PayrollSettlement &s : list)
        layout.rows.push_back(settlementRow(s));
    layout.rows.push_back(settlementTotals(list));
    return layout;
}

std::vector<PayrollEntry> employeeYearSoFar(const std::vector<PayrollEntry> &recorded,
                                            const PayrollEntry &current)
{
    std::vector<PayrollEntry> year;
    for (const PayrollEntry &e : recorded)
        if (e.year == current.year && e.month < current.month)
            year.push_back(e);
    year.push_back(current);
    std::stable_sort(year.begin(), year.end(),
                     [](const PayrollEntry &a, const PayrollEntry &b) { return a.month < b.month; });
    return year;
}
