#include "batch/batchcalc.h"

#include "batch/columncatalogue.h"
#include "engine/ratetable.h"

using namespace Qt::StringLiterals;

QList<RowRange> calcWorkerRanges(int tableRows)
{
    QList<RowRange> ranges;
    const int dataRows = tableRows - kTitleRows;
    if (dataRows <= 0)
        return ranges;
    const int workers = std::clamp(dataRows / 2, 1, kMaxCalcWorkers);
    const int chunk = dataRows / workers;
    for (int k = 0; k < workers; ++k) {
        RowRange range;
        range.first = k * chunk + kTitleRows;
        range.last = k == workers - 1 ? tableRows - 1 : (k + 1) * chunk + kTitleRows - 1;
        ranges.append(range);
    }
    return ranges;
}

void setCalcInputs(Salary &salary, Amount monthlyGross, Amount insurance, Amount bonus, Amount annuity)
{
    salary.setMonthly(monthlyGross, insurance, 1);
    salary.setBonus(bonus);
    salary.setAnnuity(annuity);
}

namespace {

void append(std::vector<ResultText> &out, int kind, int id, const QString &text)
{
    const int column = ColumnCatalogue::instance().resultColumn(TreeCalcResult, kind, id);
    if (column >= 0)
        out.push_back({column, text});
}

void appendFigure(std::vector<ResultText> &out, int kind, int id, Amount amount)
{
    append(out, kind, id, formatAmount(amount));
}

// Taxable amount, tax and after-tax of an item, and its row's rate and quick deduction.
void appendItem(std::vector<ResultText> &out, int kind, const TaxItem &item)
{
    appendFigure(out, kind, ColTaxable, item.amount);
    appendFigure(out, kind, ColTax, item.tax);
    appendFigure(out, kind, ColNet, item.afterTax);
    if (item.bracket) {
        append(out, kind, ColRate, QString::number(item.bracket->rate) + u'%');
        appendFigure(out, kind, ColQuickDeduction, item.bracket->quickDeduction);
    }
}

} // namespace

std::vector<ResultText> calcResultTexts(const Salary &salary)
{
    std::vector<ResultText> out;
    out.reserve(20);
    appendFigure(out, GroupSubtotal, ColGross, salary.grossTotal);
    appendFigure(out, GroupSubtotal, ColTax, salary.taxTotal);
    appendFigure(out, GroupSubtotal, ColNet, salary.netTotal);
    if (salary.monthly) {
        appendFigure(out, GroupMonthly, ColGross, salary.monthlyGross);
        appendFigure(out, GroupMonthly, ColInsurance, salary.insurance);
        appendItem(out, GroupMonthly, *salary.monthly);
    }
    if (salary.bonus)
        appendItem(out, GroupBonus, *salary.bonus);
    if (salary.annuity)
        appendItem(out, GroupAnnuity, *salary.annuity);
    append(out, GroupRemark, ColProcess, salary.processText);
    return out;
}

void CalcResultTotals::add(const Salary &salary)
{
    m_grossTotal += salary.grossTotal;
    m_taxTotal += salary.taxTotal;
    m_netTotal += salary.netTotal;
    if (salary.monthly) {
        m_monthlyGross += salary.monthlyGross;
        m_insurance += salary.insurance;
        m_monthlyAmount += salary.monthly->amount;
        m_monthlyTax += salary.monthly->tax;
        m_monthlyNet += salary.monthly->afterTax;
    }
    if (salary.bonus) {
        m_bonusAmount += salary.bonus->amount;
        m_bonusTax += salary.bonus->tax;
        m_bonusNet += salary.bonus->afterTax;
    }
    if (salary.annuity) {
        m_annuityAmount += salary.annuity->amount;
        m_annuityTax += salary.annuity->tax;
        m_annuityNet += salary.annuity->afterTax;
    }
}

std::vector<ResultText> CalcResultTotals::texts() const
{
    std::vector<ResultText> out;
    out.reserve(14);
    appendFigure(out, GroupSubtotal, ColGross, m_grossTotal);
    appendFigure(out, GroupSubtotal, ColTax, m_taxTotal);
    appendFigure(out, GroupSubtotal, ColNet, m_netTotal);
    appendFigure(out, GroupMonthly, ColGross, m_monthlyGross);
    appendFigure(out, GroupMonthly, ColInsurance, m_insurance);
    appendFigure(out, GroupMonthly, ColTaxable, m_monthlyAmount);
    appendFigure(out, GroupMonthly, ColTax, m_monthlyTax);
    appendFigure(out, GroupMonthly, ColNet, m_monthlyNet);
    appendFigure(out, GroupBonus, ColTaxable, m_bonusAmount);
    appendFigure(out, GroupBonus, ColTax, m_bonusTax);
    appendFigure(out, GroupBonus, ColNet, m_bonusNet);
    appendFigure(out, GroupAnnuity, ColTaxable, m_annuityAmount);
    appendFigure(out, GroupAnnuity, ColTax, m_annuityTax);
    appendFigure(out, GroupAnnuity, ColNet, m_annuityNet);
    return out;
}

QString calcCompletionMessage(int count, int unreadableCells)
{
    return u"已完成 "_s + QString::number(count) + u" 笔个税计算。"_s +
           unreadableCellsSentence(unreadableCells);
}

QString unreadableCellsSentence(int unreadableCells)
{
    if (unreadableCells <= 0)
        return QString();
    return u"其中 %1 个金额单元格无法识别，已按 0 计算。"_s.arg(unreadableCells);
}
