#include "ledger/payrollrules.h"

#include <QDate>

#include <algorithm>

using CurrentRules::BonusMethod;

QString residentIdType()
{
    return QStringLiteral("居民身份证");
}

CurrentRules::BonusMethod defaultBonusMethod(int year)
{
    return CurrentRules::separateBonusAllowed(year) ? BonusMethod::Separate : BonusMethod::Merged;
}

namespace {

Amount sum(const PayrollAmounts &a, std::initializer_list<int> fields)
{
    Amount total = 0;
    for (int f : fields)
        total += a[size_t(f)];
    return total;
}

} // namespace

PayrollEntry computePayrollMonth(const PayrollInput &in, const PayrollState &before, int year, int month,
                                 BonusMethod bonusMethod, bool sixtyFromLastYear)
{
    PayrollEntry e;
    e.input = in;
    e.year = year;
    e.month = month;
    e.months = before.months + 1;
    e.firstJob = in.firstJob || before.firstJob;
    e.sixty = in.sixty >= 0 ? in.sixty == 1 : before.sixty >= 0 ? before.sixty == 1 : sixtyFromLastYear;
    const PayrollAmounts &a = in.amounts;
    const Amount bonus = a[PfBonus];
    const bool merged = bonus > 0 && bonusMethod == BonusMethod::Merged;
    e.bonusMethod = bonusMethod;

    e.special = sum(a, {PfPension, PfMedical, PfUnemployment, PfHousingFund});
    e.additional =
        sum(a, {PfChildEdu, PfContinuingEdu, PfLoanInterest, PfRent, PfElderly, PfInfant, PfPrivatePension});
    e.other =
        sum(a, {PfAnnuity, PfHealth, PfTaxDeferred, PfTransport, PfTelecom, PfLawyer, PfTibet, PfOther});
    e.relief = a[PfRelief] + a[PfTreatyRelief];

    e.cumulativeIncome = before.income + a[PfIncome] + (merged ? bonus : 0);
    e.cumulativeExempt = before.exempt + a[PfExempt];
    if (e.sixty)
        e.cumulativeBasic = CurrentRules::kBasicDeductionAnnual;
    else if (e.firstJob)
        e.cumulativeBasic = CurrentRules::kBasicDeductionMonthly * month;
    else
        e.cumulativeBasic = CurrentRules::kBasicDeductionMonthly * e.months;
    e.cumulativeSpecial = before.special + e.special;
    e.cumulativeAdditional = e.additional;
    e.cumulativeOther = before.other + e.other;
    e.cumulativeDonation = before.donation + a[PfDonation];
    e.cumulativeTaxable =
        std::max<Amount>(e.cumulativeIncome - e.cumulativeExempt - e.cumulativeBasic - e.cumulativeSpecial -
                             e.cumulativeAdditional - e.cumulativeOther - e.cumulativeDonation,
                         0);
    const CurrentRules::Bracket &row =
        CurrentRules::bracketOf(CurrentRules::annualTable(), e.cumulativeTaxable);
    e.rate = row.rate;
    e.quickDeduction = row.quickDeduction;
    e.cumulativeTax = CurrentRules::taxIn(row, e.cumulativeTaxable);
    e.cumulativeRelief = before.relief + e.relief;
    e.withheldBefore = before.withheld;
    e.withheld = std::max<Amount>(e.cumulativeTax - e.cumulativeRelief - e.withheldBefore, 0);
    if (bonus > 0 && !merged)
        e.bonusTax = CurrentRules::separateBonusTax(bonus);
    e.net = a[PfIncome] + bonus - e.special - a[PfAnnuity] - e.withheld - e.bonusTax;
    return e;
}

PayrollState stateAfter(const PayrollState &before, const PayrollEntry &e)
{
    PayrollState s = before;
    s.months = e.months;
    s.income = e.cumulativeIncome;
    s.exempt = e.cumulativeExempt;
    s.special = e.cumulativeSpecial;
    s.other = e.cumulativeOther;
    s.donation = e.cumulativeDonation;
    s.relief = e.cumulativeRelief;
    s.withheld = e.withheldBefore + e.withheld;
    s.firstJob = e.firstJob;
    s.sixty = e.sixty ? 1 : 0;
    if (s.separateBonusMonth == 0 && e.input.amounts[PfBonus] > 0 && e.bonusMethod == BonusMethod::Separate)
        s.separateBonusMonth = e.month;
    return s;
}

QChar idCheckCharacter(QStringView first17)
{
    static constexpr int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static constexpr char characters[] = "10X98765432";
    if (first17.size() != 17)
        return {};
    int total = 0;
    for (int i = 0; i < 17; ++i) {
        const QChar c = first17[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return {};
        total += (c.unicode() - '0') * weights[i];
    }
    return QLatin1Char(characters[total % 11]);
}

QString checkIdNumber(const QString &idType, QString *number, int year, int month)
{
    QString n = number->trimmed();
    if (n.isEmpty())
        return QStringLiteral("缺少证件号码");
    if (idType == residentIdType()) {
        if (n.size() == 18 && n.back() == QLatin1Char('x'))
            n.back() = QLatin1Char('X');
        *number = n;
        if (n.size() != 18)
            return QStringLiteral("居民身份证号码应为 18 位，这里是 %1 位").arg(n.size());
        const QChar check = idCheckCharacter(QStringView(n).left(17));
        if (check.isNull())
            return QStringLiteral("居民身份证号码的前 17 位应全为数字");
        if (check != n.back())
            return QStringLiteral("居民身份证号码的校验码不对（按前 17 位应为 %1）").arg(check);
        const QDate born(n.mid(6, 4).toInt(), n.mid(10, 2).toInt(), n.mid(12, 2).toInt());
        if (!born.isValid())
            return QStringLiteral("居民身份证号码中的出生日期 %1 不存在").arg(n.mid(6, 8));
        if (born > QDate(year, month, 1).addMonths(1).addDays(-1))
            return QStringLiteral("居民身份证号码中的出生日期 %1 晚于所属期").arg(n.mid(6, 8));
        return {};
    }
    *number = n;
    for (const QChar c : std::as_const(n)) {
        const bool ok = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                        (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
                        (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c == QLatin1Char('-');
        if (!ok)
            return QStringLiteral("证件号码只能由字母、数字和连字符组成");
    }
    return {};
}
