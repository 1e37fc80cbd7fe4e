// The widget-free half of batch apportionment: the cell texts of an employee's row before and
// after spreading the non-annual bonus, and of the two totals rows, by result-table column of the
// catalogue's apportionment layout. The apportionment page copies these texts into its tables and
// lumo-cli batch writes them to a workbook, so both show the same figures. QtCore only.
//
// The subtotal "个人所得税" column shows the tax of the row (before: the bonus month's and the
// other months' tax; after: the spread months' tax), "实发数" the net pay of the N months and
// "税后收入增加" the gain of the after row. Each totals row sums exactly those subtotal columns of
// the rows above it: tax and net pay for "分摊前总计", tax, net pay and gain for "分摊后总计".
#pragma once

#include "batch/batchcalc.h"
#include "engine/taxengine.h"

// The apportionment of one employee and the inputs it was made from.
struct ApportionedRow
{
    Amount wage = 0;
    Amount insurance = 0;
    Amount bonus = 0;
    Apportionment result;
};

// Spreads the bonus of one source row over `months` months (1–12). Without `processTexts` the
// months get no process text, which the result rows do not show.
ApportionedRow apportionBatchRow(const TaxEngine &engine, Amount wage, Amount insurance, Amount bonus,
                                 int months, bool processTexts = true);

// The figures of the before and the after row, in column order; code and name are the caller's.
std::vector<ResultText> apportionBeforeTexts(const ApportionedRow &row);
std::vector<ResultText> apportionAfterTexts(const ApportionedRow &row);

class ApportionTotals
{
public:
    void add(const ApportionedRow &row);
    // The figures of the rows "分摊前总计" and "分摊后总计".
    std::vector<ResultText> beforeTexts() const;
    std::vector<ResultText> afterTexts() const;
    Amount taxDecrease() const { return m_taxBefore - m_taxAfter; }
    Amount netIncrease() const { return m_netIncrease; }

private:
    Amount m_taxBefore = 0, m_netBefore = 0, m_taxAfter = 0, m_netAfter = 0, m_netIncrease = 0;
};

inline const QString kApportionBeforeCaption = QStringLiteral("分摊前总计");
inline const QString kApportionAfterCaption = QStringLiteral("分摊后总计");

// The completion message of a batch apportionment of `count` rows, with the sentence about
// unreadable amount cells when there were any.
QString apportionCompletionMessage(int count, int unreadableCells);
