#include "batch/batchapportion.h"

#include "batch/columncatalogue.h"
#include "engine/ratetable.h"

using namespace Qt::StringLiterals;

namespace {

void append(std::vector<ResultText> &out, int kind, int id, const QString &text)
{
    const int column = ColumnCatalogue::instance().resultColumn(TreeApportionResult, kind, id);
    if (column >= 0)
        out.push_back({column, text});
}

void appendFigure(std::vector<ResultText> &out, int kind, int id, Amount amount)
{
    append(out, kind, id, formatAmount(amount));
}

// Wage, insurance and the bonus part of the month, then the month's item when there is one.
void appendMonth(std::vector<ResultText> &out, const ApportionedRow &row, Amount bonusPart,
                 const Salary &month)
{
    appendFigure(out, GroupMonthly, ColMonthlyGross, row.wage);
    appendFigure(out, GroupMonthly, ColInsurance, row.insurance);
    appendFigure(out, GroupMonthly, ColOtherBonus, bonusPart);
    if (const TaxItem *item = month.monthly.get()) {
        appendFigure(out, GroupMonthly, ColTaxable, item->amount);
        appendFigure(out, GroupMonthly, ColTax, item->tax);
        appendFigure(out, GroupMonthly, ColNet, item->afterTax);
        if (item->bracket) {
            append(out, GroupMonthly, ColRate, QString::number(item->bracket->rate) + u'%');
            appendFigure(out, GroupMonthly, ColQuickDeduction, item->bracket->quickDeduction);
        }
    }
}

} // namespace

ApportionedRow apportionBatchRow(const TaxEngine &engine, Amount wage, Amount insurance, Amount bonus,
                                 int months)
{
    ApportionedRow row;
    row.wage = wage;
    row.insurance = insurance;
    row.bonus = bonus;
    row.result = engine.apportion(wage, insurance, bonus, std::clamp(months, 1, 12));
    return row;
}

std::vector<ResultText> apportionBeforeTexts(const ApportionedRow &row)
{
    std::vector<ResultText> out;
    out.reserve(12);
    appendFigure(out, GroupSubtotal, ColTax, row.result.taxBefore);
    appendFigure(out, GroupSubtotal, ColNet, row.result.netBefore);
    appendMonth(out, row, row.bonus, row.result.bonusMonth);
    return out;
}

std::vector<ResultText> apportionAfterTexts(const ApportionedRow &row)
{
    std::vector<ResultText> out;
    out.reserve(14);
    appendFigure(out, GroupSubtotal, ColTax, row.result.taxAfter);
    appendFigure(out, GroupSubtotal, ColNet, row.result.netAfter);
    append(out, GroupSubtotal, ColSpreadMonths, QString::number(row.result.months));
    appendFigure(out, GroupSubtotal, ColNetIncrease, row.result.netIncrease);
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
    appendFigure(out, GroupSubtotal, ColTax, m_taxBefore);
    appendFigure(out, GroupSubtotal, ColNet, m_netBefore);
    return out;
}

std::vector<ResultText> ApportionTotals::afterTexts() const
{
    std::vector<ResultText> out;
    appendFigure(out, GroupSubtotal, ColTax, m_taxAfter);
    appendFigure(out, GroupSubtotal, ColNet, m_netAfter);
    appendFigure(out, GroupSubtotal, ColNetIncrease, m_netIncrease);
    return out;
}

QString apportionCompletionMessage(int count, int unreadableCells)
{
    return u"已完成 "_s + QString::number(count) + u" 笔个税分摊计算。"_s +
           unreadableCellsSentence(unreadableCells);
}
