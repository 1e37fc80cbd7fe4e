// The individual income tax rules in force since 2019-01-01 for wages and salaries of a resident
// taxpayer with one employer: cumulative withholding month by month, the annual one-time bonus
// taxed separately or merged into the wages, the annual settlement (汇算清缴), the monthly tax of
// a non-resident (无住所个人), and the cheapest split of a year's pay between wages and a
// separately taxed bonus.
//
// Everything here is integer arithmetic in fen: a tax is amount × rate ÷ 100 rounded half up,
// minus the quick deduction, never below 0. It stands beside the 2011 engine and shares only the
// Amount type and its formatting; it depends on QtCore only.
#pragma once

#include "engine/amount.h"

#include <QList>
#include <QString>
#include <vector>

namespace CurrentRules {

inline constexpr Amount kBasicDeductionMonthly = 500000; // 5,000 yuan a month
inline constexpr Amount kBasicDeductionAnnual = 6000000; // 60,000 yuan a year
// The last year whose annual one-time bonus may still be taxed separately.
inline constexpr int kLastSeparateBonusYear = 2027;
// The annual settlement may be skipped with a payment due when the year's wage income is at most
// 120,000 yuan, or when the payment is at most 400 yuan.
inline constexpr Amount kSettlementSkipIncome = 12000000;
inline constexpr Amount kSettlementSkipPayment = 40000;

struct Bracket
{
    Amount upperBound; // fen, inclusive; the last row has no bound (-1)
    int rate;          // whole percent
    Amount quickDeduction;
};

// The annual table (cumulative withholding and the settlement) and the monthly table (the
// separately taxed bonus by its twelfth, the non-resident's month).
const std::vector<Bracket> &annualTable();
const std::vector<Bracket> &monthlyTable();

// The row of a taxable amount: the first whose bound it does not exceed (row 0 for 0 or less).
const Bracket &bracketOf(const std::vector<Bracket> &table, Amount taxable);
// The row of a separately taxed bonus: bonus ÷ 12 against the monthly bounds, compared as
// bonus ≤ 12 × bound so no division rounds.
const Bracket &bonusBracketOf(Amount bonus);

// amount × rate ÷ 100, half up, minus the quick deduction; 0 for no positive result.
Amount taxIn(const Bracket &row, Amount taxable);
Amount annualTax(Amount taxable);
Amount separateBonusTax(Amount bonus);

// A blind zone (盲区) of the separately taxed bonus: past a row bound of the separate table the
// whole bonus takes the higher rate, so every bonus in (lower, upper] leaves the employee no more
// after tax than `lower` itself would. Both ends in fen.
struct BlindZone
{
    Amount lower; // exclusive: 12 × a row bound of the monthly table
    Amount upper; // inclusive: where the after-tax amount catches up with lower's, to the fen
};
// The six zones, lowest first.
const std::vector<BlindZone> &bonusBlindZones();
// The zone `bonus` lies in, or null.
const BlindZone *bonusBlindZoneOf(Amount bonus);
Amount nonResidentMonthlyTax(Amount wage);

// Whether an annual one-time bonus paid in `year` may be taxed separately.
constexpr bool separateBonusAllowed(int year)
{
    return year <= kLastSeparateBonusYear;
}

// Whether the annual settlement may be skipped: `balance` is the year's tax less what was withheld
// (a payment when positive), `wageIncome` every wage income of the year, bonuses included. A refund
// is always worth claiming, so it is never skipped.
constexpr bool settlementMayBeSkipped(Amount wageIncome, Amount balance)
{
    return balance >= 0 && (balance <= kSettlementSkipPayment || wageIncome <= kSettlementSkipIncome);
}

enum class BonusMethod
{
    Separate,
    Merged,
    Best
};

struct YearInput
{
    bool resident = true;
    int startMonth = 1;    // 1–12, the first month of the period
    QList<Amount> gross;   // one wage a month from startMonth on, at most 13 − startMonth
    Amount insurance = 0;  // 三险一金 a month
    Amount deductions = 0; // 专项附加扣除 and other deductions a month
    Amount bonus = 0;      // the annual one-time bonus, 0 for none
    int bonusMonth = 0;    // the calendar month it is paid in; 0 for the period's last month
    BonusMethod method = BonusMethod::Best;
    int year = 2026; // decides whether separate taxation is still allowed
};

struct MonthResult
{
    int month = 0;    // calendar month
    Amount gross = 0; // the month's income: the wage, plus the bonus when it is merged in this month
    Amount insurance = 0;
    Amount deductions = 0;
    Amount cumulativeIncome = 0;
    Amount cumulativeBasic = 0;
    Amount cumulativeInsurance = 0;
    Amount cumulativeDeductions = 0;
    Amount cumulativeTaxable = 0;
    int rate = 0;
    Amount quickDeduction = 0;
    Amount cumulativeTax = 0;
    Amount withheld = 0; // this month's withholding, never negative
    Amount net = 0;      // gross − insurance − withheld
};

struct BonusResult
{
    bool present = false;
    BonusMethod method = BonusMethod::Separate; // Separate or Merged, never Best
    Amount amount = 0;
    int month = 0;
    Amount tax = 0; // the separate tax; 0 when merged (its tax is in the months)
    int rate = 0;
    Amount quickDeduction = 0;
    // For a bonus chosen by BonusMethod::Best: the year's tax had the other method been used.
    bool compared = false;
    Amount otherMethodAnnualTax = 0;
};

struct YearResult
{
    bool resident = true;
    std::vector<MonthResult> months;
    BonusResult bonus;
    Amount withheldTotal = 0; // every tax withheld in the period, a separately taxed bonus included
    Amount annualTaxable = 0; // the settlement's taxable wages (a merged bonus included)
    int annualRate = 0;
    Amount annualQuickDeduction = 0;
    Amount annualTax = 0;  // the settlement's tax, the separate bonus tax included
    Amount settlement = 0; // annualTax − withheldTotal: payable when positive, refund when negative
    Amount netTotal = 0;   // all pay less 三险一金 less withheldTotal
    QString processText;
};

// False with a Chinese message for inputs outside the rules (a period past December, separate
// taxation after the last allowed year, a bonus month outside the period, a non-resident with
// deductions or a bonus).
bool checkYearInput(const YearInput &in, QString *error);
// The period month by month and the settlement. `in` must pass checkYearInput.
YearResult calculateYear(const YearInput &in, bool withProcessText = false);

struct SplitInput
{
    Amount annual = 0;     // the year's taxable pay P, wages and bonus together
    Amount insurance = 0;  // 三险一金 for the year
    Amount deductions = 0; // 专项附加扣除 and other deductions for the year
    Amount maxBonus = -1;  // the largest bonus the split may take (a month's budget); -1: all the pay
    // The year's basic deduction: 60,000, or what the withholding months allow (5,000 for each
    // month at this employer, or a first job's months of the year).
    Amount basic = kBasicDeductionAnnual;
};

struct SplitResult
{
    Amount annual = 0;
    Amount bonus = 0; // paid separately
    Amount wages = 0;
    Amount monthly[12] = {};    // the wages in 12 amounts that differ by at most a fen
    Amount deductionsTotal = 0; // E: the basic deduction + 三险一金 + 专项附加扣除
    Amount wageTax = 0;
    Amount bonusTax = 0;
    Amount taxTotal = 0;
    Amount allWageTax = 0; // the tax of paying everything as wages (no separate bonus)
    Amount taxDecrease = 0;
    Amount netTotal = 0; // annual − 三险一金 − taxTotal
    QString processText;
};

// The year's tax when `bonus` of the pay is taxed separately and the rest as wages.
Amount splitTax(const SplitInput &in, Amount bonus);
// The cheapest bonus; on ties a row bound (or 0) before any other amount, the smaller first. Exact to the
// fen: the total is linear between the row bounds of both parts apart from rounding that repeats every 100
// fen, so the search looks at 100 fen on either side of every bound, of 0 and of the pay that leaves no
// taxable wages.
SplitResult bestSplit(const SplitInput &in, bool withProcessText = false);

// The smallest pre-tax annual pay whose best split (bestSplit) nets at least `net`, where
// net = annual − insurance − taxTotal (SplitResult::netTotal). `base` gives insurance and
// deductions for the year (its `annual` is ignored). Exact to the fen and checked forward: the
// result's netTotal >= net and the same inputs with one fen less pay net less than `net`.
struct AnnualInverseResult
{
    bool ok = false;
    QString error;     // Chinese, when !ok (negative or absurd net, above the largest pay searched)
    SplitResult split; // bestSplit of the answer (split.annual is the answer)
    QString processText;
};
// The largest pay the inverse looks at: the largest amount an input field accepts.
inline constexpr Amount kLargestInversePay = kMaxInputFen;
AnnualInverseResult annualForNet(const SplitInput &base, Amount net, bool withProcessText = false);

// One person's year with the annual bonus taxed separately and with it merged into its month, both
// month by month. `in.method` is ignored.
struct BonusMethodComparison
{
    bool ok = false;
    // Chinese: why nothing could be compared when !ok; when ok but !separateAllowed, why only the
    // merged year is shown (the bonus is paid after kLastSeparateBonusYear).
    QString error;
    YearResult separate; // valid when separateAllowed
    YearResult merged;
    bool separateAllowed = true;
    bool separateCheaper = false; // separate.annualTax < merged.annualTax (ties: not cheaper)
    Amount difference = 0;        // merged.annualTax − separate.annualTax (may be negative)
    QString processText;          // both years' process texts and the comparison, when asked for
};
BonusMethodComparison compareBonusMethods(const YearInput &in, bool withProcessText = false);

} // namespace CurrentRules
