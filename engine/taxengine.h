// The tax calculator for one threshold.
//
// Computes the individual income tax of a Salary: the monthly wage, the annual one-time bonus
// (row chosen by one twelfth of its taxable amount, quick deduction subtracted once), the employer
// annuity (taxed whole as wage income of the month), the totals and the calculation-process text.
// A month below the threshold lets the bonus, and then the annuity, absorb the shortfall.
//
// An engine keeps nothing between calls but its threshold: each page action and each worker thread
// makes its own. It reads the shared rate table and never touches widgets.
#pragma once

#include "engine/salary.h"

class TaxEngine
{
public:
    explicit TaxEngine(qint32 threshold);

    Amount threshold() const { return m_threshold; }

    // Monthly, bonus, annuity, totals and process text, in that order (each step needs the ones
    // before it). Every result is recomputed from the inputs.
    void calculate(Salary &salary) const;

    // Each fills its item's bracket, tax and after-tax, and does nothing for an absent item.
    // An absent monthly or bonus argument counts as amount 0.
    void calcMonthly(TaxItem *item) const;
    void calcBonus(TaxItem *item, const TaxItem *monthly) const;
    void calcAnnuity(TaxItem *item, const TaxItem *bonus, const TaxItem *monthly) const;

    // Fields annualGross … netTotal from the items.
    void calcTotals(Salary &salary) const;

    // The step-by-step explanation of the last calculation, written into salary.processText.
    void buildProcessText(Salary &salary) const;

private:
    Amount m_threshold;
};
