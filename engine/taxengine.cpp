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
    calculateFigures(salary);
    buildProcessText(salary);
}

void TaxEngine::calculateFigures(Salary &salary) const
{
    calcMonthly(salary.monthly.get());
    calcBonus(salary.bonus.get(), salary.monthly.get());
    calcAnnuity(salary.annuity.get(), salary.bonus.get(), salary.monthly.get());
    calcTotals(salary);
}

Amount TaxEngine::shortfall(const TaxItem *monthly) const
{
    const Amount monthlyAmount = monthly ? monthly->amount : 0;
    return monthlyAmount < m_threshold ? monthlyAmount - m_threshold : 0;
}

Amount TaxEngine::shortfallAfterBonus(const TaxItem *monthly, const TaxItem *bonus) const
{
    const Amount left = shortfall(monthly) + (bonus ? bonus->amount : 0);
    return left < 0 ? left : 0;
}

void TaxEngine::calcMonthly(TaxItem *item) const
{
    if (!item)
        return;
    const Amount taxable = item->amount - m_threshold;
    taxItem(*item, taxable, taxable);
}

void TaxEngine::calcBonus(TaxItem *item, const TaxItem *monthly) const
{
    if (!item)
        return;
    const Amount taxable = item->amount + shortfall(monthly);
    // The row is chosen by one twelfth truncated to the fen; the tax is taken on the whole.
    taxItem(*item, clampAtZero(taxable / 12), taxable);
}

void TaxEngine::calcAnnuity(TaxItem *item, const TaxItem *bonus, const TaxItem *monthly) const
{
    if (!item)
        return;
    // The bonus absorbs the shortfall first; only what it leaves over falls on the annuity.
    const Amount taxable = item->amount + shortfallAfterBonus(monthly, bonus);
    taxItem(*item, taxable, taxable);
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
    // What the employee takes home: what is paid, less the insurance of every month and the tax on
    // wage and bonus. A month whose insurance exceeds its wage has taxable 0, but the insurance
    // above the wage is still deducted, so the net pay always follows from pay, insurance and tax.
    s.netTotal = s.grossTotal - s.insurance * months - Salary::taxOf(s.bonus) - s.annualMonthlyTax;
}
