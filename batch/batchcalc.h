// The widget-free half of batch tax calculation: which rows each worker takes, the Salary record
// of a source row, and the cell texts of a result row and of the totals row, by result-table
// column of the catalogue's calculation layout. The batch page copies these texts into its table
// items and lumo-cli batch writes them to a workbook, so both show the same figures. QtCore only.
#pragma once

#include "engine/amount.h"
#include "engine/salary.h"

#include <QList>
#include <QString>

#include <vector>

// Salary tables hold two title rows above the data.
inline constexpr int kTitleRows = 2;

// A batch calculation's record of one source row: the monthly wage for one month, the year-end
// bonus and the employer annuity.
void setCalcInputs(Salary &salary, Amount monthlyGross, Amount insurance, Amount bonus, Amount annuity);

// One cell of a result row: its column in the calculation result table and its text.
struct ResultText
{
    int column = -1;
    QString text;
};

// The figures of a calculated record (code and name are the caller's), in column order: the
// subtotal group, then the monthly, bonus and annuity groups when the record has that item (rate
// and quick deduction only when the item has a row of the table), then the process text.
std::vector<ResultText> calcResultTexts(const Salary &salary);

// The sums of a column set over many records: what the totals row shows.
class CalcResultTotals
{
public:
    void add(const Salary &salary);
    // The totals row's figures, in column order (no rates or quick deductions; an item no record
    // has sums to 0 and is shown as "0").
    std::vector<ResultText> texts() const;
    Amount taxTotal() const { return m_taxTotal; }
    Amount netTotal() const { return m_netTotal; }

private:
    Amount m_grossTotal = 0, m_taxTotal = 0, m_netTotal = 0;
    Amount m_monthlyGross = 0, m_insurance = 0, m_monthlyAmount = 0, m_monthlyTax = 0, m_monthlyNet = 0;
    Amount m_bonusAmount = 0, m_bonusTax = 0, m_bonusNet = 0;
    Amount m_annuityAmount = 0, m_annuityTax = 0, m_annuityNet = 0;
};

// The completion message of a batch calculation of `count` records, with the sentence about
// unreadable amount cells when there were any.
QString calcCompletionMessage(int count, int unreadableCells);
// That sentence alone ("其中 n 个金额单元格无法识别，已按 0 计算。"); empty without such cells.
QString unreadableCellsSentence(int unreadableCells);
