// Inverse calculation (from what the employee receives back to what is paid) and bonus
// apportionment. Both only combine the primitives of the tax and planning code.
#include "engine/taxengine.h"

using namespace Qt::StringLiterals;

namespace {

// A year of 12 monthly wages whose monthly taxable income is `monthlyAmount`. The monthly item
// exists even for an amount of 0, so the result shows a wage row of zeros rather than none.
Salary yearOfWages(Amount monthlyAmount, Amount annualInsurance)
{
    Salary s;
    const Amount insurance = roundHalfUp(static_cast<double>(annualInsurance) / 12.0);
    s.setMonthly(monthlyAmount + insurance, insurance, 12);
    if (!s.monthly)
        s.monthly = std::make_unique<TaxItem>();
    return s;
}

QString yuan(Amount amount)
{
    return formatAmount(amount) + u"元"_s;
}

// The apportionment step by step: the months before, how the bonus is split, the months after and
// the two effects. The months' own process texts carry the figures.
QString apportionProcessText(const Apportionment &a, Amount wage, Amount bonus)
{
    QString text = u"一、分摊前\n发放奖金的当月（月应发工资"_s + yuan(wage) + u"+奖金"_s + yuan(bonus) +
                   u"）：\n"_s + a.bonusMonth.processText;
    if (a.months > 1)
        text += u"其余 %1 个月：\n"_s.arg(a.months - 1) + a.otherMonths.processText;
    text += u"\n二、分摊后\n奖金"_s + yuan(bonus) + u"分摊到 %1 个月，每月"_s.arg(a.months) + yuan(a.share);
    if (a.remainder > 0) {
        text += u"，除不尽的"_s + yuan(a.remainder) + u"计入发放奖金的当月，该月奖金"_s +
                yuan(a.share + a.remainder) + u"。\n发放奖金的当月：\n"_s + a.afterBonusMonth.processText +
                u"其余 %1 个月：\n"_s.arg(a.after.months) + a.after.processText;
    } else {
        text += u"。\n%1 个月：\n"_s.arg(a.months) + a.after.processText;
    }
    text += u"\n三、分摊效果\n    个人所得税减少="_s + yuan(a.taxDecrease) + u"\n    税后收入增加="_s +
            yuan(a.netIncrease) + u"\n"_s;
    return text;
}

} // namespace

bool TaxEngine::planFromNetAnnual(Amount netAnnual, Amount annualInsurance, PlanResults &results) const
{
    // Each month pays at least a twelfth of the year's net, rounded up to the fen, so that the
    // twelve months never add up to less than was asked for.
    const Amount netMonthly = netAnnual > 0 ? (netAnnual + 11) / 12 : 0;
    TaxItem monthly;
    if (!grossFromNetMonthly(netMonthly, monthly))
        return false;
    Salary salary = yearOfWages(monthly.amount, annualInsurance);
    plan(salary, results, LowerCost, true, 12);
    if (results.empty())
        results.push_back(std::make_unique<PlanResult>(salary));
    return true;
}

bool TaxEngine::planFromGrossAnnual(Amount grossAnnual, Amount annualInsurance, PlanResults &results) const
{
    Salary salary = yearOfWages(roundHalfUp(static_cast<double>(grossAnnual) / 12.0), annualInsurance);
    plan(salary, results, RaiseNet, true, 12); // calculates the salary first
    if (results.empty())
        results.push_back(std::make_unique<PlanResult>(salary));
    return true;
}

bool TaxEngine::grossFromNetMonthAndBonus(Amount netMonthly, Amount netBonus, Amount annualInsurance,
                                          PlanResults &results) const
{
    auto monthly = std::make_unique<TaxItem>();
    const bool monthlyOk = grossFromNetMonthly(netMonthly, *monthly);
    if (!monthlyOk)
        *monthly = TaxItem();
    auto bonus = std::make_unique<TaxItem>();
    const bool bonusOk = grossFromNetBonus(netBonus, shortfall(monthly.get()), *bonus);
    if (!bonusOk)
        *bonus = TaxItem();
    if (!monthlyOk && !bonusOk)
        return false;

    // The inversion already taxed both items forward, the bonus against this month's wage; the
    // totals are what they add up to. No process text is built here.
    auto r = std::make_unique<PlanResult>();
    r->insurance = roundHalfUp(static_cast<double>(annualInsurance) / 12.0);
    r->monthlyGross = monthly->amount + r->insurance;
    r->months = 12;
    r->monthly = std::move(monthly);
    r->bonus = std::move(bonus);
    calcTotals(*r);
    results.push_back(std::move(r));
    return true;
}

InverseTotals inverseTotals(const PlanResult *result, Amount employerInsurance)
{
    InverseTotals totals;
    if (!result)
        return totals;
    totals.annualTax = result->taxTotal;
    totals.employerInsurance = employerInsurance;
    totals.employerExpense = employerInsurance + result->grossTotal;
    return totals;
}

Apportionment TaxEngine::apportion(Amount wage, Amount insurance, Amount bonus, int months, bool texts) const
{
    const auto calculateMonth = [this, texts](Salary &month) {
        if (texts)
            calculate(month);
        else
            calculateFigures(month);
    };
    Apportionment a;
    a.months = months < 1 ? 1 : months;
    a.monthlyTaxable = wage - insurance < 0 ? 0 : wage - insurance;

    a.bonusMonth.setMonthly(wage + bonus, insurance, 1);
    calculateMonth(a.bonusMonth);
    if (a.months > 1) {
        a.otherMonths.setMonthly(wage, insurance, a.months - 1);
        calculateMonth(a.otherMonths);
    }
    a.taxBefore = a.bonusMonth.taxTotal + a.otherMonths.taxTotal;
    a.netBefore = a.bonusMonth.netTotal + a.otherMonths.netTotal;

    // Whole fen each month; what N does not divide goes to the bonus's own month, so the shares
    // add up to the bonus and nothing is paid or lost by spreading it.
    const Amount bonusPaid = bonus < 0 ? 0 : bonus;
    a.share = bonusPaid / a.months;
    a.remainder = bonusPaid - a.share * a.months;
    a.after.setMonthly(wage + a.share, insurance, a.remainder > 0 ? a.months - 1 : a.months);
    calculateMonth(a.after);
    if (a.remainder > 0) {
        a.afterBonusMonth.setMonthly(wage + a.share + a.remainder, insurance, 1);
        calculateMonth(a.afterBonusMonth);
    }
    a.taxAfter = a.after.taxTotal + a.afterBonusMonth.taxTotal;
    a.netAfter = a.after.netTotal + a.afterBonusMonth.netTotal;

    a.taxDecrease = a.taxBefore - a.taxAfter;
    a.netIncrease = a.netAfter - a.netBefore;
    if (texts)
        a.processText = apportionProcessText(a, wage, bonusPaid);
    return a;
}
