#include "batch/batchplan.h"

#include "batch/columncatalogue.h"
#include "batch/resulttexts.h"
#include "engine/ratetable.h"

using namespace Qt::StringLiterals;

namespace {

// Where the planning rows put their texts.
constexpr CatalogueTree kTree = TreePlanResult;

// The columns both rows share: subtotal, then the monthly and bonus groups when present.
void appendFigures(std::vector<ResultText> &out, const Salary &salary)
{
    appendResultFigure(out, kTree, GroupSubtotal, ColGross, salary.grossTotal);
    appendResultFigure(out, kTree, GroupSubtotal, ColTax, salary.taxTotal);
    appendResultFigure(out, kTree, GroupSubtotal, ColNet, salary.netTotal);
    if (salary.monthly) {
        appendResultFigure(out, kTree, GroupMonthly, ColGross, salary.monthlyGross);
        appendResultFigure(out, kTree, GroupMonthly, ColInsurance, salary.insurance);
        appendResultItem(out, kTree, GroupMonthly, *salary.monthly);
    }
    if (salary.bonus)
        appendResultItem(out, kTree, GroupBonus, *salary.bonus);
}

} // namespace

int planRecordMonths(bool balanced, int months)
{
    return balanced ? std::clamp(months, 1, 12) : 1;
}

void setPlanInputs(Salary &salary, Amount monthlyGross, Amount insurance, Amount bonus, int months)
{
    salary.setMonthly(monthlyGross, insurance, months);
    salary.setBonus(bonus);
}

std::unique_ptr<PlanResult> planBatchRecord(const TaxEngine &engine, Salary &record, PlanGoal goal,
                                            bool balanced, int months, const QString &methodLabel,
                                            bool processTexts)
{
    PlanResults candidates;
    // The page shows the first of the tied results only, so only its planning text is built.
    engine.plan(record, candidates, goal, balanced, months, false);
    if (processTexts) {
        engine.buildProcessText(record);
        if (!candidates.empty())
            engine.buildPlanText(record, *candidates.front());
    }
    const QString processText =
        processTexts ? planPageProcessText(methodLabel, record, candidates) : QString();
    std::unique_ptr<PlanResult> result;
    if (candidates.empty())
        result = std::make_unique<PlanResult>(record);
    else
        result = std::move(candidates.front());
    result->processText = processText;
    return result;
}

bool isEffectivePlan(const PlanResult &result)
{
    return result.costDecrease > 0 || result.netIncrease > 0;
}

std::vector<ResultText> planBeforeTexts(const Salary &record)
{
    std::vector<ResultText> out;
    out.reserve(20);
    appendFigures(out, record);
    appendResultText(out, kTree, GroupRemark, ColProcess, record.processText);
    return out;
}

std::vector<ResultText> planAfterTexts(const PlanResult &result)
{
    std::vector<ResultText> out;
    out.reserve(22);
    appendFigures(out, result);
    appendResultFigure(out, kTree, GroupSubtotal, ColNetIncrease, result.netIncrease);
    appendResultFigure(out, kTree, GroupSubtotal, ColCostDecrease, result.costDecrease);
    appendResultText(out, kTree, GroupRemark, ColProcess, result.processText);
    return out;
}

void PlanResultTotals::Sums::add(const Salary &salary)
{
    gross += salary.grossTotal;
    tax += salary.taxTotal;
    net += salary.netTotal;
    if (salary.monthly) {
        monthlyGross += salary.monthlyGross;
        insurance += salary.insurance;
        monthlyAmount += salary.monthly->amount;
        monthlyTax += salary.monthly->tax;
        monthlyNet += salary.monthly->afterTax;
    }
    if (salary.bonus) {
        bonusAmount += salary.bonus->amount;
        bonusTax += salary.bonus->tax;
        bonusNet += salary.bonus->afterTax;
    }
}

std::vector<ResultText> PlanResultTotals::Sums::texts() const
{
    std::vector<ResultText> out;
    out.reserve(13);
    appendResultFigure(out, kTree, GroupSubtotal, ColGross, gross);
    appendResultFigure(out, kTree, GroupSubtotal, ColTax, tax);
    appendResultFigure(out, kTree, GroupSubtotal, ColNet, net);
    appendResultFigure(out, kTree, GroupMonthly, ColGross, monthlyGross);
    appendResultFigure(out, kTree, GroupMonthly, ColInsurance, insurance);
    appendResultFigure(out, kTree, GroupMonthly, ColTaxable, monthlyAmount);
    appendResultFigure(out, kTree, GroupMonthly, ColTax, monthlyTax);
    appendResultFigure(out, kTree, GroupMonthly, ColNet, monthlyNet);
    appendResultFigure(out, kTree, GroupBonus, ColTaxable, bonusAmount);
    appendResultFigure(out, kTree, GroupBonus, ColTax, bonusTax);
    appendResultFigure(out, kTree, GroupBonus, ColNet, bonusNet);
    return out;
}

void PlanResultTotals::add(const Salary &record, const PlanResult &result)
{
    m_beforeAll.add(record);
    m_afterAll.add(result);
    if (isEffectivePlan(result)) {
        ++m_effective;
        m_beforeEffective.add(record);
        m_afterEffective.add(result);
    }
    m_taxDecrease += result.taxDecrease;
    m_costDecrease += result.costDecrease;
    m_netIncrease += result.netIncrease;
}

std::vector<ResultText> PlanResultTotals::beforeTexts(bool effectiveOnly) const
{
    return (effectiveOnly ? m_beforeEffective : m_beforeAll).texts();
}

std::vector<ResultText> PlanResultTotals::afterTexts(bool effectiveOnly) const
{
    std::vector<ResultText> out = (effectiveOnly ? m_afterEffective : m_afterAll).texts();
    // Both after totals rows carry the differences of every result.
    appendResultFigure(out, kTree, GroupSubtotal, ColNetIncrease, m_netIncrease);
    appendResultFigure(out, kTree, GroupSubtotal, ColCostDecrease, m_costDecrease);
    return out;
}

QString planCompletionMessage(int count, int unreadableCells)
{
    return u"已完成 "_s + QString::number(count) + u" 笔个税筹划计算。"_s +
           unreadableCellsSentence(unreadableCells);
}
