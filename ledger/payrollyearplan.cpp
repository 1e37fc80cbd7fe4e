#include "ledger/payrollyearplan.h"

#include "ledger/payrollmonth.h"

#include <QSet>

#include <algorithm>

using namespace Qt::StringLiterals;

bool runLedgerYearPlan(const PayrollLedger &ledger, PayrollSheet sheet, int year, int month,
                       LedgerYearPlanRun *out, QString *error, int threads, const RunControl &control)
{
    *out = LedgerYearPlanRun();
    out->year = year;
    out->month = month;
    if (!CurrentRules::separateBonusAllowed(year)) {
        *error = u"%1 年起全年一次性奖金不再单独计税，只能并入当月工资，无需筹划"_s.arg(year);
        return false;
    }
    QString readError;
    const QList<LedgerMonth> recorded = ledger.months(year, &readError);
    if (!readError.isEmpty()) {
        *error = readError;
        return false;
    }
    QStringList later;
    QSet<QString> separateBefore; // employees whose bonus of an earlier month was taxed separately
    for (const LedgerMonth &m : recorded) {
        if (m.month > month) {
            later << u"%1 月"_s.arg(m.month);
        } else if (m.month < month) {
            ++out->recordedMonths;
            if (m.bonusTax <= 0)
                continue;
            for (const PayrollEntry &e : ledger.entries(year, m.month, QString(), &readError))
                if (e.input.amounts[PfBonus] > 0 && e.bonusMethod == CurrentRules::BonusMethod::Separate)
                    separateBefore.insert(employeeKey(e.input.idType, e.input.idNumber));
        }
    }
    if (!readError.isEmpty()) {
        *error = readError;
        return false;
    }
    if (!later.isEmpty()) {
        *error = u"台账中 %1 年已记入 %2，晚于所属期 %3 月；筹划的所属期应是本年最后一个发薪月"_s.arg(year)
                     .arg(later.join(u"、"_s))
                     .arg(month);
        return false;
    }
    // The month's own run matches and checks the rows and gives each employee's cumulative
    // figures with the planned bonus taxed separately.
    PayrollMonthRun period;
    if (control.cancelled() ||
        !runPayrollMonth(ledger, std::move(sheet), year, month, CurrentRules::BonusMethod::Separate, &period,
                         error, SecondSeparateBonus::Kept, [&control] { return control.cancelled(); }) ||
        control.cancelled())
        return false;
    out->problems = std::move(period.problems);

    std::vector<YearPlanInput> inputs;
    std::vector<char> once(period.entries.size(), 0);
    inputs.reserve(period.entries.size());
    for (const PayrollEntry &e : period.entries) {
        once[inputs.size()] = separateBefore.contains(employeeKey(e.input.idType, e.input.idNumber));
        const PayrollAmounts &a = e.input.amounts;
        const Amount budget = a[PfIncome] + a[PfBonus];
        YearPlanInput in;
        in.annual = e.cumulativeIncome - a[PfIncome] + budget;
        in.insurance = e.cumulativeSpecial;
        in.deductions =
            e.cumulativeExempt + e.cumulativeAdditional + e.cumulativeOther + e.cumulativeDonation;
        in.plannedBonus = a[PfBonus];
        // One bonus a year may be taxed separately: after an earlier one the period's is wages.
        in.bonusLimit = once[inputs.size()] ? 0 : budget;
        in.basic = e.cumulativeBasic;
        in.relief = e.cumulativeRelief;
        inputs.push_back(in);
    }
    YearPlanRun plans = runYearPlans(inputs, threads, control);
    if (control.cancelled())
        return false;
    inputs = {};
    out->records.reserve(period.entries.size());
    for (size_t i = 0; i < period.entries.size(); ++i) {
        PayrollEntry &e = period.entries[i];
        LedgerYearPlan r;
        r.months = e.months;
        r.incomeBefore = e.cumulativeIncome - e.input.amounts[PfIncome];
        r.withheldBefore = e.withheldBefore;
        r.basic = e.cumulativeBasic;
        r.plan = plans.plans[i];
        if (once[i]) {
            r.separateBefore = true;
            r.plan.plannedTax = r.plan.mergedTax;
            r.plan.saving = 0;
            r.plan.blindZone = -1;
        }
        out->totals.add(r.plan);
        r.periodWage = e.input.amounts[PfIncome] + e.input.amounts[PfBonus] - r.plan.bestBonus;
        r.periodWithheld = std::max<Amount>(r.plan.bestTax - r.plan.bestBonusTax - r.withheldBefore, 0);
        r.bonusTax = r.plan.bestBonusTax;
        r.input = std::move(e.input);
        out->periodWithheld += r.periodWithheld;
        out->bonusTax += r.bonusTax;
        out->records.push_back(std::move(r));
    }
    return true;
}

bool runLedgerYearSheet(const SheetImport &import, const QString &ledgerPath, int year, int month,
                        LedgerYearPlanRun *out, QString *error, const RunControl &control)
{
    *out = LedgerYearPlanRun();
    QStringList formulas = import.formulas.mid(0, PfFieldCount);
    while (formulas.size() < PfFieldCount)
        formulas << QString();
    if (formulas[PfIdNumber].isEmpty() || formulas[PfName].isEmpty()) {
        *error = u"工资表没有【姓名】或【证件号码】列，不能按台账筹划。"_s;
        return false;
    }
    PayrollLedger ledger(ledgerPath);
    if (!ledger.openForReading(error))
        return false;
    LoadedSheet loaded;
    if (!loadSheetImport(import, &loaded, error, [&control] { return control.cancelled(); }) ||
        !control.reached(50))
        return false;
    PayrollSheet rows = readPayrollSheet(*loaded.book, *loaded.sheet, formulas, import.range,
                                         [&control] { return control.cancelled(); });
    loaded = LoadedSheet();
    if (!control.reached(70))
        return false;
    if (!runLedgerYearPlan(ledger, std::move(rows), year, month, out, error, 0, control.step(80, 99)))
        return false;
    return control.reached(100);
}

namespace {

enum Column : int
{
    CCode,
    CName,
    CIdNumber,
    CMonths,
    CIncomeBefore,
    CWithheldBefore,
    CIncome,
    CPlannedBonus,
    CAnnual,
    CDeductions,
    CPlannedTax,
    CBlindZone,
    CMergedTax,
    CBestBonus,
    CPeriodWage,
    CPeriodWithheld,
    CBonusTax,
    CBestTax,
    CSaving,
    kColumns
};

} // namespace

SheetLayout ledgerYearPlanLayout(const LedgerYearPlanRun &run, const QString &title)
{
    SheetLayout layout;
    layout.title = title;
    setYearPlanHeadings(&layout,
                        {{u"基础信息"_s, {u"工号"_s, u"姓名"_s, u"证件号码"_s}},
                         {u"本年已记入"_s, {u"月份数"_s, u"累计收入"_s, u"累计已预扣预缴税额"_s}},
                         {u"本期（计划）"_s, {u"本期收入"_s, u"全年一次性奖金"_s}},
                         {u"全年"_s, {u"全年应发"_s, u"全年减除"_s}},
                         {u"计划方案"_s, {u"全年税额"_s, u"奖金盲区"_s}},
                         {u"全部并入工资"_s, {u"全年税额"_s}},
                         {u"最优方案"_s,
                          {u"全年一次性奖金"_s, u"本期工资"_s, u"本期应预扣预缴税额"_s, u"奖金税额"_s,
                           u"全年税额"_s, u"节税"_s}}},
                        {CIdNumber, CWithheldBefore, CBlindZone, CPeriodWithheld});
    layout.rows.reserve(run.records.size() + 1);
    for (const LedgerYearPlan &r : run.records) {
        const YearPlan &p = r.plan;
        SheetRow row;
        row.cells.resize(kColumns);
        row.cells[CCode] = textCell(r.input.code);
        row.cells[CName] = textCell(r.input.name);
        row.cells[CIdNumber] = textCell(r.input.idNumber);
        row.cells[CMonths] = textCell(QString::number(r.months - 1), SheetCellStyle::BodyRight);
        row.cells[CIncomeBefore] = amountCell(r.incomeBefore);
        row.cells[CWithheldBefore] = amountCell(r.withheldBefore);
        row.cells[CIncome] = amountCell(r.input.amounts[PfIncome]);
        row.cells[CPlannedBonus] = amountCell(p.plannedBonus);
        row.cells[CAnnual] = amountCell(p.annual);
        row.cells[CDeductions] = amountCell(p.deductions);
        row.cells[CPlannedTax] = amountCell(p.plannedTax);
        row.cells[CBlindZone] =
            textCell(r.separateBefore ? u"本年已单独计税过"_s : blindZoneText(p.blindZone),
                     SheetCellStyle::BodyCenter);
        row.cells[CMergedTax] = amountCell(p.mergedTax);
        row.cells[CBestBonus] = amountCell(p.bestBonus);
        row.cells[CPeriodWage] = amountCell(r.periodWage);
        row.cells[CPeriodWithheld] = amountCell(r.periodWithheld);
        row.cells[CBonusTax] = amountCell(r.bonusTax);
        row.cells[CBestTax] = amountCell(p.bestTax);
        row.cells[CSaving] = amountCell(p.saving);
        layout.rows.push_back(std::move(row));
    }
    const YearPlanTotals &t = run.totals;
    SheetRow total;
    total.total = true;
    total.cells.resize(kColumns);
    total.cells[CName] = textCell(u"总计"_s, SheetCellStyle::BodyCenter);
    total.cells[CPlannedBonus] = amountCell(t.plannedBonus);
    total.cells[CAnnual] = amountCell(t.annual);
    total.cells[CPlannedTax] = amountCell(t.plannedTax);
    total.cells[CBlindZone] = textCell(u"%1 人"_s.arg(t.inBlindZone), SheetCellStyle::BodyCenter);
    total.cells[CMergedTax] = amountCell(t.mergedTax);
    total.cells[CBestBonus] = amountCell(t.bestBonus);
    total.cells[CPeriodWithheld] = amountCell(run.periodWithheld);
    total.cells[CBonusTax] = amountCell(run.bonusTax);
    total.cells[CBestTax] = amountCell(t.bestTax);
    total.cells[CSaving] = amountCell(t.saving);
    layout.rows.push_back(std::move(total));
    return layout;
}

SheetLayout ledgerYearPlanSavingLayout(const LedgerYearPlanRun &run, const QString &title)
{
    LedgerYearPlanRun kept;
    kept.year = run.year;
    kept.month = run.month;
    kept.recordedMonths = run.recordedMonths;
    for (const LedgerYearPlan &r : run.records) {
        if (r.plan.saving <= 0)
            continue;
        kept.records.push_back(r);
        kept.totals.add(r.plan);
        kept.periodWithheld += r.periodWithheld;
        kept.bonusTax += r.bonusTax;
    }
    return ledgerYearPlanLayout(kept, title);
}
