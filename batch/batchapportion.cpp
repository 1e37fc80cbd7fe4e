#include "batch/batchapportion.h"

#include "batch/columncatalogue.h"
#include "batch/resulttexts.h"
#include "engine/ratetable.h"

using namespace Qt::StringLiterals;

namespace {

// Where the apportion rows put their texts.
constexpr CatalogueTree kTree = TreeApportionResult;

// Wage, insurance and the bonus part of the month, then the month's item when there is one.
void appendMonth(std::vector<ResultText> &out, const ApportionedRow &row, Amount bonusPart,
                 const Salary &month)
{
    appendResultFigure(out, kTree, GroupMonthly, ColMonthlyGross, row.wage);
    appendResultFigure(out, kTree, GroupMonthly, ColInsurance, row.insurance);
    appendResultFigure(out, kTree, GroupMonthly, ColOtherBonus, bonusPart);
    if (const TaxItem *item = month.monthly.get())
        appendResultItem(out, kTree, GroupMonthly, *item);
}

} // namespace

ApportionedRow apportionBatchRow(const TaxEngine &engine, Amount wage, Amount insurance, Amount bonus,
                                 int months, bool processTexts)
{
    ApportionedRow row;
    row.wage = wage;
    row.insurance = insurance;
    row.bonus = bonus;
    row.result = engine.apportion(wage, insurance, bonus, std::clamp(months, 1, 12), processTexts);
    return row;
}

std::vector<ResultText> apportionBeforeTexts(const ApportionedRow &row)
{
    std::vector<ResultText> out;
    out.reserve(12);
    appendResultFigure(out, kTree, GroupSubtotal, ColTax, row.result.taxBefore);
    appendResultFigure(out, kTree, GroupSubtotal, ColNet, row.result.netBefore);
    appendMonth(out, row, row.bonus, row.result.bonusMonth);
    return out;
}

std::vector<ResultText> apportionAfterTexts(const ApportionedRow &row)
{
    std::vector<ResultText> out;
    out.reserve(14);
    appendResultFigure(out, kTree, GroupSubtotal, ColTax, row.result.taxAfter);
    appendResultFigure(out, kTree, GroupSubtotal, ColNet, row.result.netAfter);
    appendResultText(out, kTree, GroupSubtotal, ColSpreadMonths, QString::number(row.result.months));
    appendResultFigure(out, kTree, GroupSubtotal, ColNetIncrease, row.result.netIncrease);
    appendMonth(out, row, row.result.share, row.result.after);
    return out;
}

void ApportionTotals::add(const ApportionedRow &row)
{
    m_taxBefore += row.result.taxBefore;
    m_netBefore += row.result.netBefore;
    m_taxAfter += row.result.taxAfter;
    m_netAfter += row.result.netAfter;
    m_netIncrease += row.result.netIncrease;
}

std::vector<ResultText> ApportionTotals::beforeTexts() const
{
    std::vector<ResultText> out;
    appendResultFigure(out, kTree, GroupSubtotal, ColTax, m_taxBefore);
    appendResultFigure(out, kTree, GroupSubtotal, ColNet, m_netBefore);
    return out;
}

std::vector<ResultText> ApportionTotals::afterTexts() const
{
    std::vector<ResultText> out;
    appendResultFigure(out, kTree, GroupSubtotal, ColTax, m_taxAfter);
    appendResultFigure(out, kTree, GroupSubtotal, ColNet, m_netAfter);
    appendResultFigure(out, kTree, GroupSubtotal, ColNetIncrease, m_netIncrease);
    return out;
}

QString apportionCompletionMessage(int count, int unreadableCells)
{
    return u"已完成 "_s + QString::number(count) + u" 笔个税分摊计算。"_s +
           unreadableCellsSentence(unreadableCells);
}
