// The widget-free half of batch planning: the record of a source row, the planning of one record
// (the first of the engine's best splits, or the record itself when nothing is better), and the
// cell texts of the before and after rows and of the totals rows, by result-table column of the
// catalogue's planning layout. The planning page copies these texts into its tables and lumo-cli
// batch writes them to a workbook, so both show the same figures. QtCore only.
#pragma once

#include "batch/batchcalc.h"
#include "engine/taxengine.h"

#include <memory>

// The months the monthly wage of a planned record stands for: N when the bonus is balanced with N
// months of wage, else 1.
int planRecordMonths(bool balanced, int months);

// A planning record of one source row: the monthly wage for `months` months and the year-end
// bonus (the annuity plays no part in planning).
void setPlanInputs(Salary &salary, Amount monthlyGross, Amount insurance, Amount bonus, int months);

// Plans `record` (which is calculated on the way) and returns the result the page shows: the
// first of the best splits, with its process text prefixed by the method sentence, or, when no
// split is better, a copy of the record with zero differences and the note that its pay is
// already well split. `months` is what planRecordMonths gave. Without `processTexts` the record
// and the result get no text at all, for runs that never show it.
std::unique_ptr<PlanResult> planBatchRecord(const TaxEngine &engine, Salary &record, PlanGoal goal,
                                            bool balanced, int months, const QString &methodLabel,
                                            bool processTexts = true);

// Planning is effective for an employee whose employer pays less or who takes home more; a lower
// tax alone does not count.
bool isEffectivePlan(const PlanResult &result);

// The figures of a row before planning (the calculated record; its difference columns stay
// empty) and after planning (the result, with its two differences), in column order; code and
// name are the caller's.
std::vector<ResultText> planBeforeTexts(const Salary &record);
std::vector<ResultText> planAfterTexts(const PlanResult &result);

// The sums behind the four totals rows: every column summed over all employees and over the
// effective ones; the differences of the after rows over all results.
class PlanResultTotals
{
public:
    void add(const Salary &record, const PlanResult &result);
    // The rows "筹划(有效)前总计"/"筹划前总计" (before) and "筹划(有效)后总计"/"筹划后总计" (after).
    std::vector<ResultText> beforeTexts(bool effectiveOnly) const;
    std::vector<ResultText> afterTexts(bool effectiveOnly) const;
    int effectiveCount() const { return m_effective; }
    Amount taxDecrease() const { return m_taxDecrease; }
    Amount costDecrease() const { return m_costDecrease; }
    Amount netIncrease() const { return m_netIncrease; }

private:
    struct Sums
    {
        Amount gross = 0, tax = 0, net = 0;
        Amount monthlyGross = 0, insurance = 0, monthlyAmount = 0, monthlyTax = 0, monthlyNet = 0;
        Amount bonusAmount = 0, bonusTax = 0, bonusNet = 0;
        void add(const Salary &salary);
        std::vector<ResultText> texts() const;
    };
    Sums m_beforeAll, m_beforeEffective, m_afterAll, m_afterEffective;
    int m_effective = 0;
    Amount m_taxDecrease = 0, m_costDecrease = 0, m_netIncrease = 0;
};

// The totals rows' captions.
inline const QString kPlanEffectiveBeforeCaption = QStringLiteral("筹划(有效)前总计");
inline const QString kPlanBeforeCaption = QStringLiteral("筹划前总计");
inline const QString kPlanEffectiveAfterCaption = QStringLiteral("筹划(有效)后总计");
inline const QString kPlanAfterCaption = QStringLiteral("筹划后总计");

// The completion message of a batch planning of `count` records, with the sentence about
// unreadable amount cells when there were any.
QString planCompletionMessage(int count, int unreadableCells);
