#include "batch/batchcalc.h"

#include "batch/columncatalogue.h"
#include "batch/resulttexts.h"
#include "engine/ratetable.h"

using namespace Qt::StringLiterals;

void setCalcInputs(Salary &salary, Amount monthlyGross, Amount insurance, Amount bonus, Amount annuity)
{
    salary.setMonthly(monthlyGross, insurance, 1);
    salary.setBonus(bonus);
    salary.setAnnuity(annuity);
}

namespace {

// Where the calculation rows put their texts.
constexpr CatalogueTree kTree = TreeCalcResult;

} // namespace

std::vector<ResultText> calcResultTexts(const Salary &salary)
{
    std::vector<ResultText> out;
    out.reserve(20);
    appendResultFigure(out, kTree, GroupSubtotal, ColGross, salary.grossTotal);
    appendResultFigure(out, kTree, GroupSubtotal, ColTax, salary.taxTotal);
    appendResultFigure(out, kTree, GroupSubtotal, ColNet, salary.netTotal);
    if (salary.monthly) {
        appendResultFigure(out, kTree, GroupMonthly, ColGross, salary.monthlyGross);
        appendResultFigure(out, kTree, GroupMonthly, ColInsurance, salary.insurance);
        appendResultItem(out, kTree, GroupMonthly, *salary.monthly);
    }
    if (salary.bonus)
        appendResultItem(out, kTree, GroupBonus, *salary.bonus);
    if (salary.annuity)
        appendResultItem(out, kTree, GroupAnnuity, *salary.annuity);
    appendResultText(out, kTree, GroupRemark, ColProcess, salary.processText);
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
    appendResultFigure(out, kTree, GroupSubtotal, ColGross, m_grossTotal);
    appendResultFigure(out, kTree, GroupSubtotal, ColTax, m_taxTotal);
    appendResultFigure(out, kTree, GroupSubtotal, ColNet, m_netTotal);
    appendResultFigure(out, kTree, GroupMonthly, ColGross, m_monthlyGross);
    appendResultFigure(out, kTree, GroupMonthly, ColInsurance, m_insurance);
    appendResultFigure(out, kTree, GroupMonthly, ColTaxable, m_monthlyAmount);
    appendResultFigure(out, kTree, GroupMonthly, ColTax, m_monthlyTax);
    appendResultFigure(out, kTree, GroupMonthly, ColNet, m_monthlyNet);
    appendResultFigure(out, kTree, GroupBonus, ColTaxable, m_bonusAmount);
    appendResultFigure(out, kTree, GroupBonus, ColTax, m_bonusTax);
    appendResultFigure(out, kTree, GroupBonus, ColNet, m_bonusNet);
    appendResultFigure(out, kTree, GroupAnnuity, ColTaxable, m_annuityAmount);
    appendResultFigure(out, kTree, GroupAnnuity, ColTax, m_annuityTax);
    appendResultFigure(out, kTree, GroupAnnuity, ColNet, m_annuityNet);
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
