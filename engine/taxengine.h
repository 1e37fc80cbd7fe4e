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

#include <memory>
#include <vector>

// Planning and inverse results, owned by the list until a page or batch row takes them.
using PlanResults = std::vector<std::unique_ptr<PlanResult>>;

// What planning keeps fixed and what it improves.
enum PlanGoal : int
{
    RaiseNet = 0,  // 增加员工税后收入（单位不多开支）: employer cost may not rise
    LowerCost = 1, // 减少单位开支（员工税后收入不变）: employee net stays as it was
};

// A bonus that is not the annual one-time bonus, paid in one month or spread over N months. The N
// shares add up to the bonus exactly: each month gets the bonus ÷ N rounded down to the fen, and the
// fen left over go to the bonus's own month. What is paid is the same before and after, so the net
// increase is the tax decrease.
struct Apportionment
{
    int months = 1;            // N
    Amount share = 0;          // bonus ÷ N, rounded down to the fen
    Amount remainder = 0;      // bonus − N × share (fewer than N fen), paid in the bonus's own month
    Amount monthlyTaxable = 0; // wage − insurance, at least 0
    Amount taxBefore = 0;
    Amount netBefore = 0;
    Amount taxAfter = 0;
    Amount netAfter = 0;
    Amount taxDecrease = 0;
    Amount netIncrease = 0;
    Salary bonusMonth;  // the month the bonus is paid in, wage and bonus together
    Salary otherMonths; // the other N − 1 months (empty for N = 1)
    // Spread: the months paid their share alone, wage and share (months = N, or N − 1 when there
    // is a remainder), and the bonus's own month with share and remainder (empty without one).
    Salary after;
    Salary afterBonusMonth;
    // The whole calculation step by step, before and after (empty without texts).
    QString processText;
};

class TaxEngine
{
public:
    explicit TaxEngine(qint32 threshold);

    Amount threshold() const { return m_threshold; }

    // The unused-threshold shortfall: how much of the threshold a month's taxable wage leaves
    // unused, as a negative amount (monthly − threshold), or 0 when the wage reaches the threshold.
    // An absent monthly item is a wage of 0, so the whole threshold is unused. The bonus is taxed on
    // its amount plus this shortfall.
    Amount shortfall(const TaxItem *monthly) const;
    // What the bonus leaves of the shortfall for the annuity: the shortfall plus the bonus amount,
    // never above 0. Without a bonus it is the shortfall itself.
    Amount shortfallAfterBonus(const TaxItem *monthly, const TaxItem *bonus) const;

    // Monthly, bonus, annuity, totals and process text, in that order (each step needs the ones
    // before it). Every result is recomputed from the inputs.
    void calculate(Salary &salary) const;
    // The same figures without the process text, which is most of a calculation's cost: for runs
    // whose texts are never shown. salary.processText is left as it was.
    void calculateFigures(Salary &salary) const;

    // Each fills its item's bracket, tax and after-tax, and does nothing for an absent item.
    // An absent monthly or bonus argument counts as amount 0.
    void calcMonthly(TaxItem *item) const;
    void calcBonus(TaxItem *item, const TaxItem *monthly) const;
    void calcAnnuity(TaxItem *item, const TaxItem *bonus, const TaxItem *monthly) const;

    // Fields annualGross … netTotal from the items.
    void calcTotals(Salary &salary) const;

    // The step-by-step explanation of the last calculation, written into salary.processText.
    void buildProcessText(Salary &salary) const;

    // Planning: calculates `salary`, then fills `results` with every split that ties for the best
    // improvement of the goal (in the order found), each with its planning text. Empty when no
    // better split exists. `balanced` spreads pay over `months` monthly wages and a bonus; otherwise
    // only the bonus is moved out of its blind zone. Returns !results.empty(). Without `texts`
    // neither the input nor the results get a process or planning text.
    bool plan(Salary &salary, PlanResults &results, PlanGoal goal, bool balanced, int months,
              bool texts = true) const;

    // The gross monthly taxable wage that leaves the employee at least `net` after tax. The item
    // holds the forward calculation of that gross (its tax is what a payroll withholds), so its
    // after-tax amount may exceed `net` by a fen. False when net <= 0.
    bool grossFromNetMonthly(Amount net, TaxItem &item) const;
    // The gross bonus that leaves at least `net` after tax when the month leaves `shortfall` (<= 0)
    // of the threshold unused, forward-calculated as above. False when net <= 0.
    bool grossFromNetBonus(Amount net, Amount shortfall, TaxItem &item) const;

    // Keeps the candidate if it is at least as good as the best so far for the goal. A candidate
    // that gains nothing, or that breaks what the goal keeps fixed (it costs the employer more for
    // goal 0, pays the employee less for goal 1), is dropped.
    static void offer(PlanResults &results, std::unique_ptr<PlanResult> candidate, PlanGoal goal);
    // Whether the candidate keeps what its goal fixes: the employer's cost for goal 0 never above
    // the input's, the employee's net for goal 1 never below it (its differences must be set).
    static bool keepsFixed(const PlanResult &candidate, PlanGoal goal);

    // The planning text of a result: the input's process text, the result's, and the three effects.
    void buildPlanText(const Salary &input, PlanResult &result) const;

    // Inverse calculation over a year of 12 monthly wages. Each returns true when it added a result.
    bool planFromNetAnnual(Amount netAnnual, Amount annualInsurance, PlanResults &results) const;
    bool planFromGrossAnnual(Amount grossAnnual, Amount annualInsurance, PlanResults &results) const;
    bool grossFromNetMonthAndBonus(Amount netMonthly, Amount netBonus, Amount annualInsurance,
                                   PlanResults &results) const;

    // A non-annual bonus paid in the month of `wage` versus spread evenly over `months` months.
    // Without `texts` the three months get no process text.
    Apportionment apportion(Amount wage, Amount insurance, Amount bonus, int months, bool texts = true) const;

private:
    void keepCostBonusOnly(const Salary &input, PlanResults &results) const;
    void keepNetBonusOnly(const Salary &input, PlanResults &results) const;
    void balancedSweeps(const Salary &input, PlanResults &results, PlanGoal goal, int months) const;
    std::unique_ptr<PlanResult> candidate(const Salary &input, std::unique_ptr<TaxItem> monthly,
                                          std::unique_ptr<TaxItem> bonus) const;
    // Taxes the candidate's items forward, adds them up and sets the differences to the input.
    void settle(const Salary &input, PlanResult &c) const;
    // Settles the candidate and moves `derived`, one of its items, a fen at a time until the
    // goal's fixed quantity holds. False when it cannot be made to hold.
    bool holdFixed(const Salary &input, PlanResult &c, PlanGoal goal, TaxItem *derived) const;
    std::unique_ptr<TaxItem> monthlyAt(Amount amount, const TaxBracket *row) const;
    static std::unique_ptr<TaxItem> bonusAt(Amount amount, const TaxBracket *row);

    Amount m_threshold;
};

// The three figures an inverse calculation is summed up by, as the inverse page and the command
// line show them.
struct InverseTotals
{
    Amount annualTax = 0;         // 全年个税总计: the result's tax total
    Amount employerInsurance = 0; // 单位年承担三险一金总额: as entered
    Amount employerExpense = 0; // 单位支出总额: the employer's contributions plus the result's gross total
};

// The totals of the result shown (the first of a tie). Without a result (there was nothing to work
// back from) every figure is 0, the employer's contributions included, so that no expense is
// reported for a payroll that does not exist.
InverseTotals inverseTotals(const PlanResult *result, Amount employerInsurance);

// Whether the balanced sweeps that raise the bonus (and lower the wage) can help: the wage is
// taxed, and the bonus is absent, untaxed, or in a row no dearer than the wage's and not the top.
bool canRaiseBonus(const TaxItem *monthly, const TaxItem *bonus);

// The sentence that names the chosen goal and method, as the planning pages show it.
QString planMethodLabel(PlanGoal goal, bool balanced, int months);

// The process text a planning page shows: "筹划方法：" and the method, then the planning text of
// the first result, or the input's text with the note that the pay is already well split.
QString planPageProcessText(const QString &methodLabel, const Salary &input, const PlanResults &results);
