#include "batch/yearplan.h"

#include "batch/batchrun.h"
#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "engine/currentrules.h"
#include "excel/columnletters.h"
#include "excel/workbook.h"

#include <algorithm>

using namespace Qt::StringLiterals;

QStringList yearPlanSourceTitles()
{
    return {u"编码"_s,         u"姓名"_s,     u"月应发工资"_s,    u"三险一金"_s,
            u"专项附加扣除"_s, u"其他扣除"_s, u"全年一次性奖金"_s};
}

int matchYearPlanTitle(const QString &title)
{
    const int own = int(yearPlanSourceTitles().indexOf(title));
    if (own >= 0)
        return own;
    static const struct
    {
        int column;
        const char16_t *title;
    } synonyms[] = {
        {YearSpecial, u"专项附加扣除合计"}, {YearOther, u"其它扣除"},
        {YearBonus, u"年终奖金"},           {YearBonus, u"年终奖"},
        {YearBonus, u"年终一次性奖金"},
    };
    for (const auto &s : synonyms) {
        if (title == QStringView(s.title))
            return s.column;
    }
    // Code, name, wage and insurance as every batch page recognises them; the pages' bonus column
    // also takes the non-annual bonuses, so it is not asked.
    const int position = ColumnCatalogue::matchSourceTitle(title);
    return position >= 0 && position <= YearInsurance ? position : -1;
}

QStringList yearPlanFormulas(const QStringList &sheetTitles, const ImportSetting *setting)
{
    QStringList formulas(kYearPlanSourceColumns);
    if (setting) {
        for (const ImportSettingColumn &column : setting->columns) {
            const int k = matchYearPlanTitle(column.title);
            if (k >= 0)
                formulas[k] = column.formula;
        }
        return formulas;
    }
    for (qsizetype i = 0; i < sheetTitles.size(); ++i) {
        const int k = matchYearPlanTitle(sheetTitles[i]);
        if (k >= 0)
            formulas[k] = columnLetters(int(i));
    }
    return formulas;
}

YearPlanInput yearPlanInputOf(const SheetRecord &record)
{
    const auto amount = [&record](int column) { return record.amounts[size_t(column - YearMonthlyGross)]; };
    YearPlanInput in;
    in.plannedBonus = amount(YearBonus);
    in.annual = 12 * amount(YearMonthlyGross) + in.plannedBonus;
    in.insurance = 12 * amount(YearInsurance);
    in.deductions = 12 * (amount(YearSpecial) + amount(YearOther));
    return in;
}

namespace {

// The wages' tax less the relief (never below 0) plus the bonus's separate tax.
Amount taxWithRelief(const CurrentRules::SplitInput &split, Amount relief, Amount bonus)
{
    const Amount bonusTax = CurrentRules::separateBonusTax(bonus);
    return std::max<Amount>(CurrentRules::splitTax(split, bonus) - bonusTax - relief, 0) + bonusTax;
}

// The cheapest bonus when relief is taken off the wages' tax. The wages' tax only falls as the bonus
// grows, so the bonuses below t, the first whose wages' tax is under the relief, cost their split's
// tax less the relief (bestSplit over them finds the cheapest), and from t on only the bonus's own
// tax is left, which is smallest at t itself.
Amount bestBonusWithRelief(CurrentRules::SplitInput split, Amount relief)
{
    using CurrentRules::separateBonusTax;
    using CurrentRules::splitTax;
    const Amount pay = std::max<Amount>(split.annual, 0);
    const Amount top = split.maxBonus >= 0 ? std::min(pay, split.maxBonus) : pay;
    const auto wageTax = [&](Amount b) { return splitTax(split, b) - separateBonusTax(b); };
    if (wageTax(top) >= relief)
        return CurrentRules::bestSplit(split).bonus;
    Amount lo = 0, hi = top; // wageTax(hi) < relief; t lies in [lo, hi]
    while (lo < hi) {
        const Amount mid = lo + (hi - lo) / 2;
        if (wageTax(mid) < relief)
            hi = mid;
        else
            lo = mid + 1;
    }
    const Amount t = lo;
    if (t == 0)
        return 0;
    split.maxBonus = t - 1;
    Amount best = CurrentRules::bestSplit(split).bonus;
    if (taxWithRelief(split, relief, best) > separateBonusTax(t))
        best = t;
    // t and the bound t − 1 fall where rounding puts them, between whole yuan; a whole yuan of the
    // same tax just below reads better (10,800 rather than 10,800.05).
    const Amount whole = best - best % 100;
    return taxWithRelief(split, relief, whole) == taxWithRelief(split, relief, best) ? whole : best;
}

} // namespace

YearPlan planYear(const YearPlanInput &in)
{
    CurrentRules::SplitInput split;
    split.annual = in.annual;
    split.insurance = in.insurance;
    split.deductions = in.deductions;
    split.maxBonus = in.bonusLimit;
    split.basic = in.basic;
    YearPlan p;
    p.annual = in.annual;
    p.deductions = in.basic + in.insurance + in.deductions;
    p.plannedBonus = in.plannedBonus;
    if (in.relief <= 0) {
        const CurrentRules::SplitResult best = CurrentRules::bestSplit(split);
        p.plannedTax = CurrentRules::splitTax(split, in.plannedBonus);
        p.mergedTax = best.allWageTax;
        p.bestBonus = best.bonus;
        p.bestTax = best.taxTotal;
    } else {
        p.plannedTax = taxWithRelief(split, in.relief, in.plannedBonus);
        p.mergedTax = taxWithRelief(split, in.relief, 0);
        p.bestBonus = bestBonusWithRelief(split, in.relief);
        p.bestTax = taxWithRelief(split, in.relief, p.bestBonus);
    }
    p.bestBonusTax = CurrentRules::separateBonusTax(p.bestBonus);
    p.bestWages = std::max<Amount>(in.annual, 0) - p.bestBonus;
    p.bestMonthly = p.bestWages / 12 + (p.bestWages % 12 ? 1 : 0);
    p.saving = p.plannedTax - p.bestTax;
    if (const CurrentRules::BlindZone *zone = CurrentRules::bonusBlindZoneOf(in.plannedBonus))
        p.blindZone = int(zone - CurrentRules::bonusBlindZones().data());
    return p;
}

void YearPlanTotals::add(const YearPlan &plan)
{
    annual += plan.annual;
    plannedBonus += plan.plannedBonus;
    plannedTax += plan.plannedTax;
    mergedTax += plan.mergedTax;
    bestBonus += plan.bestBonus;
    bestTax += plan.bestTax;
    saving += plan.saving;
    if (plan.blindZone >= 0)
        ++inBlindZone;
}

YearPlanRun runYearPlans(const std::vector<YearPlanInput> &inputs, int threads, const RunControl &control)
{
    YearPlanRun run;
    run.plans.resize(inputs.size());
    runInParallel(
        qsizetype(inputs.size()),
        [&](qsizetype first, qsizetype last) {
            for (qsizetype i = first; i < last; ++i)
                run.plans[size_t(i)] = planYear(inputs[size_t(i)]);
        },
        threads, control);
    if (control.cancelled())
        return run; // plans left undone have nothing to add up
    for (const YearPlan &p : run.plans)
        run.totals.add(p);
    return run;
}

QString blindZoneText(int zone)
{
    const auto &zones = CurrentRules::bonusBlindZones();
    if (zone < 0 || size_t(zone) >= zones.size())
        return QString();
    return formatAmount(zones[size_t(zone)].lower) + u'–' + formatAmount(zones[size_t(zone)].upper);
}

namespace {

// The result sheet's columns.
enum LayoutColumn : int
{
    LCode,
    LName,
    LMonthlyGross,
    LInsurance,
    LSpecial,
    LOther,
    LAnnual,
    LDeductions,
    LPlannedBonus,
    LPlannedTax,
    LBlindZone,
    LMergedTax,
    LBestBonus,
    LBestMonthly,
    LBestTax,
    LSaving,
    kLayoutColumns
};

} // namespace

void setYearPlanHeadings(SheetLayout *layout, const std::vector<YearPlanColumnGroup> &groups,
                         const std::vector<int> &wide)
{
    SheetRow top, titles;
    for (const YearPlanColumnGroup &group : groups) {
        top.cells.push_back({true, group.title, false, SheetCellStyle::Heading, int(group.columns.size())});
        top.cells.resize(top.cells.size() + size_t(group.columns.size()) - 1);
        for (const QString &column : group.columns)
            titles.cells.push_back(textCell(column, SheetCellStyle::Heading));
    }
    const int count = int(titles.cells.size());
    layout->columnWidths.clear();
    for (int c = 0; c < count; ++c)
        layout->columnWidths.push_back(c == 0                                                 ? 40
                                       : std::find(wide.begin(), wide.end(), c) != wide.end() ? 140
                                                                                              : 110);
    layout->titleSpan = count;
    layout->headings = {std::move(top), std::move(titles)};
}

SheetLayout yearPlanLayout(const std::vector<SheetRecord> &records, const std::vector<YearPlan> &plans,
                           const YearPlanTotals &totals, const QString &title)
{
    SheetLayout layout;
    layout.title = title;
    setYearPlanHeadings(
        &layout,
        {{u"基础信息"_s, {u"编码"_s, u"姓名"_s}},
         {u"工资表（每月）"_s, {u"月应发工资"_s, u"三险一金"_s, u"专项附加扣除"_s, u"其他扣除"_s}},
         {u"全年"_s, {u"全年应发"_s, u"全年减除"_s}},
         {u"计划方案"_s, {u"全年一次性奖金"_s, u"全年税额"_s, u"奖金盲区"_s}},
         {u"全部并入工资"_s, {u"全年税额"_s}},
         {u"最优方案"_s, {u"全年一次性奖金"_s, u"每月工资"_s, u"全年税额"_s, u"节税"_s}}},
        {LBlindZone});

    const size_t n = std::min(records.size(), plans.size());
    layout.rows.reserve(n + 1);
    for (size_t i = 0; i < n; ++i) {
        const SheetRecord &r = records[i];
        const YearPlan &p = plans[i];
        const auto amount = [&r](int column) {
            return amountCell(r.amounts[size_t(column - YearMonthlyGross)]);
        };
        SheetRow row;
        row.cells.resize(kLayoutColumns);
        row.cells[LCode] = textCell(r.code, SheetCellStyle::BodyLeft);
        row.cells[LName] = textCell(r.name, SheetCellStyle::BodyLeft);
        row.cells[LMonthlyGross] = amount(YearMonthlyGross);
        row.cells[LInsurance] = amount(YearInsurance);
        row.cells[LSpecial] = amount(YearSpecial);
        row.cells[LOther] = amount(YearOther);
        row.cells[LAnnual] = amountCell(p.annual);
        row.cells[LDeductions] = amountCell(p.deductions);
        row.cells[LPlannedBonus] = amountCell(p.plannedBonus);
        row.cells[LPlannedTax] = amountCell(p.plannedTax);
        row.cells[LBlindZone] = textCell(blindZoneText(p.blindZone), SheetCellStyle::BodyCenter);
        row.cells[LMergedTax] = amountCell(p.mergedTax);
        row.cells[LBestBonus] = amountCell(p.bestBonus);
        row.cells[LBestMonthly] = amountCell(p.bestMonthly);
        row.cells[LBestTax] = amountCell(p.bestTax);
        row.cells[LSaving] = amountCell(p.saving);
        layout.rows.push_back(std::move(row));
    }
    SheetRow total;
    total.total = true;
    total.cells.resize(kLayoutColumns);
    total.cells[LName] = textCell(u"总计"_s, SheetCellStyle::BodyCenter);
    total.cells[LAnnual] = amountCell(totals.annual);
    total.cells[LPlannedBonus] = amountCell(totals.plannedBonus);
    total.cells[LPlannedTax] = amountCell(totals.plannedTax);
    total.cells[LBlindZone] = textCell(u"%1 人"_s.arg(totals.inBlindZone), SheetCellStyle::BodyCenter);
    total.cells[LMergedTax] = amountCell(totals.mergedTax);
    total.cells[LBestBonus] = amountCell(totals.bestBonus);
    total.cells[LBestTax] = amountCell(totals.bestTax);
    total.cells[LSaving] = amountCell(totals.saving);
    layout.rows.push_back(std::move(total));
    return layout;
}

QString yearPlanCompletionMessage(int count, int inBlindZone, int unreadableCells)
{
    QString text =
        u"年终奖金筹划完成：共 %1 人，计划的年终奖金落在盲区的 %2 人。"_s.arg(count).arg(inBlindZone);
    if (unreadableCells > 0)
        text += u"其中 %1 个金额单元格无法识别，已按 0 计算。"_s.arg(unreadableCells);
    return text;
}

LoadedSheet::LoadedSheet() = default;
LoadedSheet::LoadedSheet(LoadedSheet &&) noexcept = default;
LoadedSheet &LoadedSheet::operator=(LoadedSheet &&) noexcept = default;
LoadedSheet::~LoadedSheet() = default;

bool loadSheetImport(const SheetImport &import, LoadedSheet *out, QString *error,
                     const std::function<bool()> &cancelled)
{
    *out = LoadedSheet();
    std::unique_ptr<Workbook> book = Workbook::create(import.file);
    if (!book->load(import.file, cancelled)) {
        *error = u"无法读取工作簿 %1：%2"_s.arg(import.file, book->errorMessage());
        return false;
    }
    const Sheet *sheet = book->getSheet(import.sheetIndex);
    if (!sheet) {
        *error = u"工作簿 %1 中没有第 %2 个工作表"_s.arg(import.file).arg(import.sheetIndex + 1);
        return false;
    }
    out->book = std::move(book);
    out->sheet = sheet;
    return true;
}

SheetRecords readYearSheet(const LoadedSheet &loaded, const SheetImport &import)
{
    QStringList formulas = import.formulas.mid(0, kYearPlanSourceColumns);
    while (formulas.size() < kYearPlanSourceColumns)
        formulas << QString();
    return readSheetRecords(*loaded.book, *loaded.sheet, yearPlanSourceTitles(), formulas, import.range,
                            kSheetAmounts);
}

bool runYearSheet(const SheetImport &import, YearSheetRun *out, QString *error, const RunControl &control)
{
    *out = YearSheetRun();
    if (import.formulas.value(YearCode).isEmpty() && import.formulas.value(YearName).isEmpty()) {
        *error = u"没有【编码】和【姓名】列，不能执行导入！"_s;
        return false;
    }
    LoadedSheet loaded;
    if (!loadSheetImport(import, &loaded, error, [&control] { return control.cancelled(); }))
        return false;
    if (!control.reached(50))
        return false;
    SheetRecords source = readYearSheet(loaded, import);
    loaded = LoadedSheet();
    if (!control.reached(80))
        return false;
    std::vector<YearPlanInput> inputs;
    inputs.reserve(source.records.size());
    for (const SheetRecord &r : source.records)
        inputs.push_back(yearPlanInputOf(r));
    YearPlanRun run = runYearPlans(inputs, 0, control.step(80, 99));
    if (control.cancelled())
        return false;
    out->records = std::move(source.records);
    out->plans = std::move(run.plans);
    out->totals = run.totals;
    out->rowsRead = source.rowsRead;
    out->rowsSkipped = source.rowsSkipped;
    out->unreadable = std::move(source.unreadable);
    return control.reached(100);
}

QString yearPlanScopeName(YearPlanScope scope)
{
    switch (scope) {
    case YearPlanScope::Compare:
        return u"筹划比对结果（全部员工）"_s;
    case YearPlanScope::Planned:
        return u"计划方案"_s;
    case YearPlanScope::Best:
        return u"最优方案"_s;
    case YearPlanScope::Saving:
        return u"有效筹划比对结果（仅节税的员工）"_s;
    }
    return QString();
}

namespace {

// The larger of 12 monthly wages that add up to `wages` and differ by a fen at most.
Amount monthlyOf(Amount wages)
{
    wages = std::max<Amount>(wages, 0);
    return wages / 12 + (wages % 12 ? 1 : 0);
}

// The planned or the best split alone: code, name, the year, and the split's bonus, monthly wage
// and tax (with the blind zone for the plan, the saving for the best).
SheetLayout splitLayout(const std::vector<SheetRecord> &records, const std::vector<YearPlan> &plans,
                        const QString &title, bool best)
{
    SheetLayout layout;
    layout.title = title;
    setYearPlanHeadings(
        &layout,
        {{u"基础信息"_s, {u"编码"_s, u"姓名"_s}},
         {u"全年"_s, {u"全年应发"_s, u"全年减除"_s}},
         {best ? u"最优方案"_s : u"计划方案"_s,
          {u"全年一次性奖金"_s, u"每月工资"_s, u"全年税额"_s, best ? u"节税"_s : u"奖金盲区"_s}}},
        best ? std::vector<int>{} : std::vector<int>{7});
    const size_t n = std::min(records.size(), plans.size());
    Amount annual = 0, deductions = 0, bonus = 0, tax = 0, saving = 0;
    int inZone = 0;
    layout.rows.reserve(n + 1);
    for (size_t i = 0; i < n; ++i) {
        const YearPlan &p = plans[i];
        const Amount b = best ? p.bestBonus : p.plannedBonus;
        const Amount t = best ? p.bestTax : p.plannedTax;
        SheetRow row;
        row.cells = {textCell(records[i].code),
                     textCell(records[i].name),
                     amountCell(p.annual),
                     amountCell(p.deductions),
                     amountCell(b),
                     amountCell(monthlyOf(p.annual - b)),
                     amountCell(t),
                     best ? amountCell(p.saving)
                          : textCell(blindZoneText(p.blindZone), SheetCellStyle::BodyCenter)};
        layout.rows.push_back(std::move(row));
        annual += p.annual;
        deductions += p.deductions;
        bonus += b;
        tax += t;
        saving += p.saving;
        inZone += p.blindZone >= 0 ? 1 : 0;
    }
    SheetRow total;
    total.total = true;
    total.cells = {SheetCell(),
                   textCell(u"总计"_s, SheetCellStyle::BodyCenter),
                   amountCell(annual),
                   amountCell(deductions),
                   amountCell(bonus),
                   SheetCell(),
                   amountCell(tax),
                   best ? amountCell(saving) : textCell(u"%1 人"_s.arg(inZone), SheetCellStyle::BodyCenter)};
    layout.rows.push_back(std::move(total));
    return layout;
}

} // namespace

SheetLayout yearPlanLayout(const std::vector<SheetRecord> &records, const std::vector<YearPlan> &plans,
                           const QString &title, YearPlanScope scope)
{
    if (scope == YearPlanScope::Planned || scope == YearPlanScope::Best)
        return splitLayout(records, plans, title, scope == YearPlanScope::Best);
    const size_t n = std::min(records.size(), plans.size());
    std::vector<SheetRecord> keptRecords;
    std::vector<YearPlan> keptPlans;
    const bool all = scope == YearPlanScope::Compare;
    YearPlanTotals totals;
    for (size_t i = 0; i < n; ++i) {
        if (!all && plans[i].saving <= 0)
            continue;
        totals.add(plans[i]);
        if (!all) {
            keptRecords.push_back(records[i]);
            keptPlans.push_back(plans[i]);
        }
    }
    return all ? yearPlanLayout(records, plans, totals, title)
               : yearPlanLayout(keptRecords, keptPlans, totals, title);
}

bool separateCheaper(const YearPlan &plan, bool separateAllowed)
{
    return separateAllowed && plan.plannedTax < plan.mergedTax;
}

Amount cheaperTax(const YearPlan &plan, bool separateAllowed)
{
    return separateCheaper(plan, separateAllowed) ? plan.plannedTax : plan.mergedTax;
}

void BonusMethodTotals::add(const YearPlan &plan, bool separateAllowed)
{
    annual += plan.annual;
    bonus += plan.plannedBonus;
    separate += plan.plannedTax;
    merged += plan.mergedTax;
    cheaper += cheaperTax(plan, separateAllowed);
    separateCount += ::separateCheaper(plan, separateAllowed) ? 1 : 0;
}

SheetLayout bonusMethodLayout(const std::vector<SheetRecord> &records, const std::vector<YearPlan> &plans,
                              const QString &title, bool separateAllowed)
{
    SheetLayout layout;
    layout.title = title;
    setYearPlanHeadings(&layout,
                        {{u"基础信息"_s, {u"编码"_s, u"姓名"_s}},
                         {u"全年"_s, {u"全年应发"_s, u"全年减除"_s, u"全年一次性奖金"_s}},
                         {u"全年税额"_s, {u"奖金单独计税"_s, u"奖金并入工资"_s}},
                         {u"较省税的方式"_s, {u"计税方式"_s, u"全年税额"_s, u"少缴税额"_s}}},
                        {7});
    const size_t n = std::min(records.size(), plans.size());
    BonusMethodTotals t;
    Amount less = 0, deductions = 0;
    layout.rows.reserve(n + 1);
    for (size_t i = 0; i < n; ++i) {
        const YearPlan &p = plans[i];
        t.add(p, separateAllowed);
        const Amount difference = separateAllowed ? std::abs(p.mergedTax - p.plannedTax) : 0;
        less += difference;
        deductions += p.deductions;
        SheetRow row;
        row.cells = {textCell(records[i].code),
                     textCell(records[i].name),
                     amountCell(p.annual),
                     amountCell(p.deductions),
                     amountCell(p.plannedBonus),
                     separateAllowed ? amountCell(p.plannedTax)
                                     : textCell(u"不适用"_s, SheetCellStyle::BodyCenter),
                     amountCell(p.mergedTax),
                     textCell(separateCheaper(p, separateAllowed) ? u"单独计税"_s : u"并入工资"_s,
                              SheetCellStyle::BodyCenter),
                     amountCell(cheaperTax(p, separateAllowed)),
                     amountCell(difference)};
        layout.rows.push_back(std::move(row));
    }
    SheetRow total;
    total.total = true;
    total.cells = {
        SheetCell(),           textCell(u"总计"_s, SheetCellStyle::BodyCenter),
        amountCell(t.annual),  amountCell(deductions),
        amountCell(t.bonus),   separateAllowed ? amountCell(t.separate) : SheetCell(),
        amountCell(t.merged),  textCell(u"单独计税 %1 人"_s.arg(t.separateCount), SheetCellStyle::BodyCenter),
        amountCell(t.cheaper), amountCell(less)};
    layout.rows.push_back(std::move(total));
    return layout;
}
