#include "engine/salary.h"

const TaxBracket *nextBracket(const TaxItem *item)
{
    return item ? nextBracket(item->bracket) : nextBracket(static_cast<const TaxBracket *>(nullptr));
}

const TaxBracket *previousBracket(const TaxItem *item)
{
    return item ? previousBracket(item->bracket) : nullptr;
}

std::unique_ptr<TaxItem> copyItem(const std::unique_ptr<TaxItem> &item)
{
    return item ? std::make_unique<TaxItem>(*item) : nullptr;
}

Salary::Salary(const Salary &other)
{
    copyFigures(other);
    processText = other.processText;
}

Salary &Salary::operator=(const Salary &other)
{
    if (this != &other) {
        copyFigures(other);
        processText = other.processText;
    }
    return *this;
}

void Salary::copyFigures(const Salary &other)
{
    monthly = copyItem(other.monthly);
    monthlyGross = other.monthlyGross;
    insurance = other.insurance;
    bonus = copyItem(other.bonus);
    annuity = copyItem(other.annuity);
    months = other.months;
    annualGross = other.annualGross;
    annualMonthlyTax = other.annualMonthlyTax;
    annualMonthlyAfterTax = other.annualMonthlyAfterTax;
    grossTotal = other.grossTotal;
    taxableTotal = other.taxableTotal;
    taxTotal = other.taxTotal;
    netTotal = other.netTotal;
}

static void setItemAmount(std::unique_ptr<TaxItem> &item, Amount amount)
{
    if (amount == 0) {
        item.reset();
        return;
    }
    if (!item)
        item = std::make_unique<TaxItem>();
    item->amount = amount < 0 ? 0 : amount;
}

void Salary::setMonthly(Amount gross, Amount insurance_, qint32 months_)
{
    monthlyGross = gross;
    insurance = insurance_;
    months = months_;
    if (gross == 0 && insurance_ == 0) {
        monthly.reset();
        return;
    }
    if (!monthly)
        monthly = std::make_unique<TaxItem>();
    const Amount taxable = gross - insurance_;
    monthly->amount = taxable < 0 ? 0 : taxable;
}

void Salary::setBonus(Amount amount)
{
    setItemAmount(bonus, amount);
}

void Salary::setAnnuity(Amount amount)
{
    setItemAmount(annuity, amount);
}

void Salary::keepNetRecomputeTax()
{
    taxTotal = grossTotal - insurance * months + taxOf(annuity) - netTotal;
}

void Salary::keepCostRecomputeNet()
{
    netTotal = grossTotal - insurance * months - (taxOf(bonus) + annualMonthlyTax);
}

PlanResult::PlanResult(const Salary &salary)
{
    copyFigures(salary);
}

void setDifferences(const Salary &input, PlanResult &result)
{
    result.taxDecrease = input.taxTotal - result.taxTotal;
    // The employer's cost is what it pays, wages and bonus; the taxable total is not, as it counts a
    // month whose insurance exceeds its wage as 0.
    result.costDecrease = input.grossTotal - result.grossTotal;
    result.netIncrease = result.netTotal - input.netTotal;
}
