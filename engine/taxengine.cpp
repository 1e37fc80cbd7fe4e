#include "engine/taxengine.h"

TaxEngine::TaxEngine(qint32 threshold) : m_threshold(threshold) {}

namespace {

Amount clampAtZero(Amount v)
{
    return v < 0 ? 0 : v;
}

// Tax and after-tax of an item whose row is looked up by `lookupValue` and taxed on `taxable`.
void taxItem(TaxItem &item, Amount lookupValue, Amount taxable)
{
    item.bracket = lookupBracket(lookupValue);
    if (item.bracket) {
        item.tax = clampAtZero(bracketTax(item.bracket, taxable));
        item.afterTax = clampAtZero(item.amount - item.tax);
    } else {
        item.tax = 0;
        item.afterTax = item.amount;
    }
}

} // namespace

void TaxEngine::calculate(Salary &salary) const
{
    calcMonthly(salary.monthly.get());
    calcBonus(salary.bonus.get(), salary.monthly.get());
    calcAnnuity(salary.annuity.get(), salary.bonus.get(), salary.monthly.get());
    calcTotals(salary);
    buildProcessText(salary);
}

void TaxEngine::calcMonthly(TaxItem *item) const
{
    if (!item)
        return;
    const Amount v = item->amount - m_threshold;
    taxItem(*item, v, v);
}

void TaxEngine::calcBonus(TaxItem *item, const TaxItem *monthly) const
{
    if (!item)
        return;
    const Amount monthlyAmount = monthly ? monthly->amount : 0;
    const Amount shortfall = monthlyAmount < m_threshold ? monthlyAmount - m_threshold : 0;
    const Amount t = item->amount + shortfall;
    // The row is chosen by one twelfth truncated to the fen; the tax is taken on the whole.
    const Amount m = clampAtZero(t / 12);
    taxItem(*item, m, t);
}

void TaxEngine::calcAnnuity(TaxItem *item, const TaxItem *bonus, const TaxItem *monthly) const
{
    if (!item)
        return;
    const Amount monthlyAmount = monthly ? monthly->amount : 0;
    Amount s = monthlyAmount < m_threshold ? monthlyAmount - m_threshold : 0;
    if (bonus) {
        // The bonus absorbs the shortfall first; only what it leaves over falls on the annuity.
        s += bonus->amount;
        if (s > 0)
            s = 0;
    }
    const Amount t = item->amount + s;
    taxItem(*item, t, t);
}

void TaxEngine::calcTotals(Salary &s) const
{
    const Amount months = s.months;
    s.annualGross = s.monthlyGross * months;
    s.annualMonthlyTax = Salary::taxOf(s.monthly) * months;
    s.annualMonthlyAfterTax = Salary::afterTaxOf(s.monthly) * months;
    s.grossTotal = Salary::amountOf(s.bonus) + s.annualGross;
    s.taxableTotal = Salary::amountOf(s.monthly) * months + Salary::amountOf(s.bonus);
    s.taxTotal = Salary::taxOf(s.bonus) + s.annualMonthlyTax + Salary::taxOf(s.annuity);
    s.netTotal = s.taxableTotal - Salary::taxOf(s.bonus) - s.annualMonthlyTax;
}
