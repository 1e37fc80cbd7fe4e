#include "batch/batchplan.h"

#include "batch/columncatalogue.h"
#include "engine/ratetable.h"

using namespace Qt::StringLiterals;

namespace {

void append(std::vector<ResultText> &out, int kind, int id, const QString &text)
{
    const int column = ColumnCatalogue::instance().resultColumn(TreePlanResult, kind, id);
    if (column >= 0)
        out.push_back({column, text});
}

void appendFigure(std::vector<ResultText> &out, int kind, int id, Amount amount)
{
    append(out, kind, id, formatAmount(amount));
}

void appendItem(std::vector<ResultText> &out, int kind, const TaxItem &item)
{
    appendFigure(out, kind, ColTaxable, item.amount);
    appendFigure(out, kind, ColTax, item.tax);
    appendFigure(out, kind, ColNet, item.afterTax);
    if (item.bracket) {
        append(out, kind, ColRate, QString::number(item.bracket->rate) + u'%');
        appendFigure(out, kind, ColQuickDeduction, item.bracket->quickDeduction);
    }
}

// The columns both rows share: subtotal, then the monthly and bonus groups when present.
void appendFigures(std::vector<ResultText> &out, const Salary &salary)
{
    appendFigure(out, GroupSubtotal, ColGross, salary.grossTotal);
    appendFigure(out, GroupSubtotal, ColTax, salary.taxTotal);
    appendFigure(out, GroupSubtotal, ColNet, salary.netTotal);
    if (salary.monthly) {
        appendFigure(out, GroupMonthly, ColGross, salary.monthlyGross);
        appendFigure(out, GroupMonthly, ColInsurance, salary.insurance);
        appendItem(out, GroupMonthly, *salary.monthly);
    }
    if (salary.bonus)
        appendItem(out, GroupBonus, *salary.bonus);
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
                                            bool balanced, int months, const QString &methodLabel)
{
    PlanResults candidates;
    engine.plan(record, candidates, goal, balanced, months);
    const QString processText = planPageProcessText(methodLabel, record, candidates);
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
    append(out, GroupRemark, ColProcess, record.processText);
    return out;
}

std::vector<ResultText> planAfterTexts(const PlanResult &result)
{
    std::vector<ResultText> out;
    out.reserve(22);
    appendFigures(out, result);
    appendFigure(out, GroupSubtotal, ColNetIncrease, result.netIncrease);
    appendFigure(out, GroupSubtotal, ColCostDecrease, result.costDecrease);
    append(out, GroupRemark, ColProcess, result.processText);
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
    appendFigure(out, GroupSubtotal, ColGross, gross);
    appendFigure(out, GroupSubtotal, ColTax, tax);
    appendFigure(out, GroupSubtotal, ColNet, net);
    appendFigure(out, GroupMonthly, ColGross, monthlyGross);
    appendFigure(out, GroupMonthly, ColInsurance, insurance);
    appendFigure(out, GroupMonthly, ColTaxable, monthlyAmount);
    appendFigure(out, GroupMonthly, ColTax, monthlyTax);
    appendFigure(out, GroupMonthly, ColNet, monthlyNet);
    appendFigure(out, GroupBonus, ColTaxable, bonusAmount);
    appendFigure(out, GroupBonus, ColTax, bonusTax);
    appendFigure(out, GroupBonus, ColNet, bonusNet);
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
    appendFigure(out, GroupSubtotal, ColNetIncrease, m_netIncrease);
    appendFigure(out, GroupSubtotal, ColCostDecrease, m_costDecrease);
    return out;
}

QString planCompletionMessage(int count, int unreadableCells)
{
    return u"已完成 "_s + QString::number(count) + u" 笔个税筹划计算。"_s +
           unreadableCellsSentence(unreadableCells);
}
