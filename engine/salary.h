// One person's pay for a period and its tax results.
//
// A Salary owns its three tax items (monthly wage, annual one-time bonus, employer annuity); an
// absent item counts as 0 everywhere. The pages fill the inputs through the three setters and hand
// the record to TaxEngine::calculate, which fills every result. PlanResult adds the three
// differences a planning or inverse result is judged by. Employee identity is not kept here.
#pragma once

#include "engine/ratetable.h"

#include <QString>
#include <memory>

struct TaxItem
{
    Amount amount = 0;                   // the amount being taxed
    const TaxBracket *bracket = nullptr; // row of the shared table found by the last calculation
    Amount tax = 0;                      // never negative
    Amount afterTax = 0;                 // amount − tax, never negative
};

// A copy of the item, or none for an absent item.
std::unique_ptr<TaxItem> copyItem(const std::unique_ptr<TaxItem> &item);

// The row after the item's row; row 0 for an absent item.
const TaxBracket *nextBracket(const TaxItem *item);
// The row before the item's row; no bracket for an absent item, no row or row 0.
const TaxBracket *previousBracket(const TaxItem *item);

class Salary
{
public:
    Salary() = default;
    Salary(const Salary &other);
    Salary &operator=(const Salary &other);
    Salary(Salary &&) noexcept = default;
    Salary &operator=(Salary &&) noexcept = default;
    virtual ~Salary() = default;

    // Stores gross, insurance and months. The monthly item holds gross − insurance (0 when
    // negative); it is removed when both are 0 and otherwise kept with its earlier results.
    void setMonthly(Amount gross, Amount insurance, qint32 months);
    // Amount 0 removes the item; negative amounts become 0.
    void setBonus(Amount amount);
    void setAnnuity(Amount amount);

    // Used by the planning engine after it has moved pay between wage and bonus.
    // Both take what is paid net of insurance (grossTotal − insurance × months) as the base.
    void keepNetRecomputeTax();  // taxTotal = paid net of insurance + annuity tax − netTotal
    void keepCostRecomputeNet(); // netTotal = paid net of insurance − (bonus tax + annualMonthlyTax)

    // Amount, tax and after-tax of an item, 0 when the item is absent.
    static Amount amountOf(const std::unique_ptr<TaxItem> &item) { return item ? item->amount : 0; }
    static Amount taxOf(const std::unique_ptr<TaxItem> &item) { return item ? item->tax : 0; }
    static Amount afterTaxOf(const std::unique_ptr<TaxItem> &item) { return item ? item->afterTax : 0; }
    // The row of the item's last calculation, none when the item is absent.
    static const TaxBracket *rowOf(const std::unique_ptr<TaxItem> &item)
    {
        return item ? item->bracket : nullptr;
    }

    std::unique_ptr<TaxItem> monthly; // 月应税收入 = 月应发工资 − 三险一金
    Amount monthlyGross = 0;          // 月应发工资
    Amount insurance = 0;             // 三险一金
    std::unique_ptr<TaxItem> bonus;   // 全年一次性奖金
    std::unique_ptr<TaxItem> annuity; // 年金(企业缴费部分)
    qint32 months = 1;
    Amount annualGross = 0;           // monthlyGross × months
    Amount annualMonthlyTax = 0;      // monthly tax × months
    Amount annualMonthlyAfterTax = 0; // monthly after-tax × months
    Amount grossTotal = 0;            // 应发数合计
    Amount taxableTotal = 0;          // monthly amount × months + bonus (a month never below 0)
    Amount taxTotal = 0;              // 缴纳个税合计, annuity tax included
    Amount netTotal = 0; // 实发数合计 = grossTotal − insurance × months − wage and bonus tax
    QString processText;

protected:
    // Copies items and fields 2, 3 and 6–13; the process text is left alone.
    void copyFigures(const Salary &other);
};

class PlanResult : public Salary
{
public:
    PlanResult() = default;
    // A result built from a calculated salary: items and figures copied, no process text,
    // differences 0.
    explicit PlanResult(const Salary &salary);

    Amount taxDecrease = 0;  // 缴纳个税减少: input taxTotal − this taxTotal
    Amount costDecrease = 0; // 单位开支减少: input grossTotal − this grossTotal (what is paid)
    Amount netIncrease = 0;  // 税后收入增加: this netTotal − input netTotal
};

void setDifferences(const Salary &input, PlanResult &result);
