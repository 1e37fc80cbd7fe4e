// The calculation-process text: a fixed set of templates filled with the figures of the last
// calculation. Leading blanks, full-width punctuation and the notes are part of what users read
// and compare with the tax office's forms, so they stay exactly as they are.
#include "engine/taxengine.h"

namespace {

QString rateText(const TaxBracket *row)
{
    return QString::number(row ? row->rate : 0);
}

QString deductionText(const TaxBracket *row)
{
    return formatAmount(row ? row->quickDeduction : 0);
}

QString a(Amount v)
{
    return formatAmount(v);
}

QString nonNegative(Amount v)
{
    return formatAmount(v < 0 ? 0 : v);
}

const TaxBracket *rowOf(const std::unique_ptr<TaxItem> &item)
{
    return item ? item->bracket : nullptr;
}

} // namespace

void TaxEngine::buildProcessText(Salary &s) const
{
    const Amount T = m_threshold;
    const Amount M = Salary::amountOf(s.monthly);
    const Amount B = Salary::amountOf(s.bonus);
    const Amount A = Salary::amountOf(s.annuity);
    const Amount E = M - T;
    const Amount S = M - T < 0 ? M - T : 0;
    const Amount Tb = S < 0 ? B + S : B;
    const Amount S2 = S + ((s.bonus && B > 0) ? B : 0);
    const Amount Ta = S2 < 0 ? A + S2 : A;

    QString text;
    const TaxBracket *mRow = rowOf(s.monthly);
    text += QStringLiteral("1、月应发工资\n");
    text += QStringLiteral("    【月应税收入】=月应发工资-三险一金=%1-%2=%3元\n")
                .arg(a(s.monthlyGross), a(s.insurance), a(M));
    text +=
        QStringLiteral("    【应纳税所得额】=月应税收入-免征额=%1-%2=%3元\n").arg(a(M), a(T), nonNegative(E));
    text += QStringLiteral("        适用税率%1% 速算扣除数%2\n").arg(rateText(mRow), deductionText(mRow));
    text += QStringLiteral("    【缴纳个税】=应纳税所得额×税率-速算扣除数=%1×%2%-%3=%4元\n")
                .arg(nonNegative(E), rateText(mRow), deductionText(mRow), a(Salary::taxOf(s.monthly)));

    if (s.bonus) {
        const TaxBracket *bRow = rowOf(s.bonus);
        text += QStringLiteral("2、年终奖金\n");
        if (S < 0)
            text += QStringLiteral("    【应纳税所得额】=年终奖金-(免征额-月应税收入)=%1-(%2-%3)=%4元\n")
                        .arg(a(B), a(T), a(M), nonNegative(Tb));
        else
            text += QStringLiteral("    【应纳税所得额】=年终奖金=%1=%2元\n").arg(a(B), nonNegative(Tb));
        // The twelfth shown is rounded; the row was chosen with the truncated twelfth.
        const Amount twelfth = roundHalfUp(static_cast<double>(Tb < 0 ? 0 : Tb) / 12.0);
        text += QStringLiteral("        应纳税所得额÷12=%1÷12=%2元 适用税率%3% 速算扣除数%4\n")
                    .arg(nonNegative(Tb), a(twelfth), rateText(bRow), deductionText(bRow));
        text += QStringLiteral("    【缴纳个税】=应纳税所得额×税率-速算扣除数=%1×%2%-%3=%4元\n")
                    .arg(nonNegative(Tb), rateText(bRow), deductionText(bRow), a(s.bonus->tax));
    }

    if (s.annuity) {
        const TaxBracket *aRow = rowOf(s.annuity);
        text +=
            s.bonus ? QStringLiteral("3、年金(企业缴费部分)\n") : QStringLiteral("2、年金(企业缴费部分)\n");
        if (S2 < 0)
            text += QStringLiteral(
                        "    【应纳税所得额】=企业年金-(免征额-月应税收入-年终奖金)=%1-(%2-%3-%4)=%5元\n")
                        .arg(a(A), a(T), nonNegative(M), (s.bonus && B > 0) ? a(B) : a(0), nonNegative(Ta));
        else
            text += QStringLiteral("    【应纳税所得额】=企业年金=%1元\n").arg(nonNegative(Ta));
        text += QStringLiteral("        适用税率%1% 速算扣除数%2\n").arg(rateText(aRow), deductionText(aRow));
        text += QStringLiteral("    【缴纳个税】=应纳税所得额×税率-速算扣除数=%1×%2%-%3=%4元\n")
                    .arg(nonNegative(Ta), rateText(aRow), deductionText(aRow), a(s.annuity->tax));
    }

    text += QStringLiteral("合计\n");
    text += QStringLiteral("    【应发数合计】=%1元\n").arg(a(s.grossTotal));
    text += QStringLiteral("    【缴纳个税合计】=%1元\n").arg(a(s.taxTotal));
    text += QStringLiteral("    【实发数合计】=%1元\n").arg(a(s.netTotal));

    if (s.annuity) {
        text += QStringLiteral("\n说明：\n");
        text += QStringLiteral(
            "    1、国税函[2009]694号第六条规定：企业年金是指企业及其职工按照《企业年金试行办法》的规定，"
            "在依法参加基本养老保险的基础上，自愿建立的补充养老保险。对个人取得本通知 "
            "规定之外的其他补充养老保险收"
            "入，应全额并入当月工资、薪金所得依法征收个人所得税。 \n\n");
        text += QStringLiteral(
            "    2、在雇员当月工资薪金所得低于税法规定的费用扣除额时，若同时存在年金和全年一次性奖金的情况，"
            "我们先用“全年一次性奖金”补差额，不足部分再考虑用年金方式计算。 \n\n");
        text += QStringLiteral(
            "    "
            "3、由于年金的缴费部分不计算在雇员的应发工资中，所以应发数合计和实发数合计中均不包括年金。\n\n");
    }

    s.processText = text;
}
