#include "batch/yearplan.h"

#include "batch/batchrun.h"
#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "engine/currentrules.h"
#include "excel/columnletters.h"

#include <thread>

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

YearPlan planYear(const YearPlanInput &in)
{
    CurrentRules::SplitInput split;
    split.annual = in.annual;
    split.insurance = in.insurance;
    split.deductions = in.deductions;
    split.maxBonus = in.bonusLimit;
    const CurrentRules::SplitResult best = CurrentRules::bestSplit(split);
    YearPlan p;
    p.annual = in.annual;
    p.deductions = best.deductionsTotal;
    p.plannedBonus = in.plannedBonus;
    p.plannedTax = CurrentRules::splitTax(split, in.plannedBonus);
    p.mergedTax = best.allWageTax;
    p.bestBonus = best.bonus;
    p.bestWages = best.wages;
    p.bestMonthly = best.monthly[0];
    p.bestTax = best.taxTotal;
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

YearPlanRun runYearPlans(const std::vector<YearPlanInput> &inputs, int threads)
{
    YearPlanRun run;
    run.plans.resize(inputs.size());
    const auto work = [&](RunSlice slice) {
        for (qsizetype i = slice.first; i < slice.last; ++i)
            run.plans[size_t(i)] = planYear(inputs[size_t(i)]);
    };
    const std::vector<RunSlice> slices = runSlices(qsizetype(inputs.size()), threads);
    std::vector<std::thread> others;
    for (size_t k = 1; k < slices.size(); ++k)
        others.emplace_back(work, slices[k]);
    if (!slices.empty())
        work(slices.front());
    for (std::thread &t : others)
        t.join();
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

struct LayoutGroup
{
    const char16_t *title;
    std::initializer_list<const char16_t *> columns;
};

const LayoutGroup kLayoutGroups[] = {
    {u"基础信息", {u"编码", u"姓名"}},
    {u"工资表（每月）", {u"月应发工资", u"三险一金", u"专项附加扣除", u"其他扣除"}},
    {u"全年", {u"全年应发", u"全年减除"}},
    {u"计划方案", {u"全年一次性奖金", u"全年税额", u"奖金盲区"}},
    {u"全部并入工资", {u"全年税额"}},
    {u"最优方案", {u"全年一次性奖金", u"每月工资", u"全年税额", u"节税"}},
};

SheetCell textCell(const QString &text, SheetCellStyle style)
{
    return {true, text, false, style, 1};
}

SheetCell amountCell(Amount fen)
{
    return {true, formatAmount(fen), true, SheetCellStyle::BodyRight, 1};
}

} // namespace

SheetLayout yearPlanLayout(const std::vector<SheetRecord> &records, const std::vector<YearPlan> &plans,
                           const YearPlanTotals &totals, const QString &title)
{
    SheetLayout layout;
    layout.title = title;
    SheetRow groups, titles;
    for (const LayoutGroup &group : kLayoutGroups) {
        groups.cells.push_back({true, QString::fromUtf16(group.title), false, SheetCellStyle::Heading,
                                int(group.columns.size())});
        groups.cells.resize(groups.cells.size() + group.columns.size() - 1);
        for (const char16_t *column : group.columns)
            titles.cells.push_back(textCell(QString::fromUtf16(column), SheetCellStyle::Heading));
    }
    for (int c = 0; c < kLayoutColumns; ++c)
        layout.columnWidths.push_back(c == LCode ? 40 : c == LBlindZone ? 140 : 110);
    layout.titleSpan = kLayoutColumns;
    layout.headings.push_back(std::move(groups));
    layout.headings.push_back(std::move(titles));

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
