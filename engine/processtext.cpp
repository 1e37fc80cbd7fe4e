// The calculation-process text: a fixed set of templates filled with the figures of the last
// calculation. Leading blanks, full-width punctuation and the notes are part of what users read
// and compare with the tax office's forms, so they stay exactly as they are.
#include "engine/taxengine.h"

namespace {

// Appends the pieces of the text to one buffer: literals as they stand, amounts through the one
// amount formatting, rates as whole percent. No intermediate string per figure.
class TextOut
{
public:
    explicit TextOut(QString &text) : m_text(text) {}
    TextOut &operator<<(QStringView piece)
    {
        m_text.append(piece);
        return *this;
    }
    TextOut &operator<<(Amount amount)
    {
        appendAmount(m_text, amount);
        return *this;
    }

private:
    QString &m_text;
};

// The rate is a whole percent (0 for no row); as a count of fen it would print as yuan, so it is
// written apart.
void appendRate(QString &text, const TaxBracket *row)
{
    const int rate = row ? row->rate : 0;
    if (rate >= 10)
        text.append(QChar(char16_t(u'0' + rate / 10)));
    text.append(QChar(char16_t(u'0' + rate % 10)));
}

Amount deductionOf(const TaxBracket *row)
{
    return row ? row->quickDeduction : 0;
}

Amount nonNegative(Amount amount)
{
    return amount < 0 ? 0 : amount;
}

// "适用税率{rate}% 速算扣除数{deduction}\n" after the given indent text.
void appendRow(QString &text, const TaxBracket *row)
{
    TextOut(text) << u"适用税率";
    appendRate(text, row);
    TextOut(text) << u"% 速算扣除数" << deductionOf(row) << u"\n";
}

// "    【缴纳个税】=应纳税所得额×税率-速算扣除数={taxable}×{rate}%-{deduction}={tax}元\n"
void appendTaxLine(QString &text, Amount taxable, const TaxBracket *row, Amount tax)
{
    TextOut(text) << u"    【缴纳个税】=应纳税所得额×税率-速算扣除数=" << taxable << u"×";
    appendRate(text, row);
    TextOut(text) << u"%-" << deductionOf(row) << u"=" << tax << u"元\n";
}

} // namespace

void TaxEngine::buildProcessText(Salary &salary) const
{
    const Amount threshold = m_threshold;
    const Amount monthlyTaxable = Salary::amountOf(salary.monthly);
    const Amount bonus = Salary::amountOf(salary.bonus);
    const Amount annuity = Salary::amountOf(salary.annuity);
    const Amount aboveThreshold = monthlyTaxable - threshold;
    // The part of the threshold the wage leaves unused (negative), absorbed by the bonus first,
    // then by the annuity.
    const Amount unused = shortfall(salary.monthly.get());
    const Amount bonusTaxable = bonus + unused;
    const Amount unusedAfterBonus = shortfallAfterBonus(salary.monthly.get(), salary.bonus.get());
    const Amount annuityTaxable = annuity + unusedAfterBonus;

    // Built in a buffer of the thread's that only grows, then copied out at its exact size: a
    // batch keeps one text per person, and growing each one left it both copied and half empty.
    thread_local QString buffer;
    QString &text = buffer;
    text.resize(0);
    text.reserve(4096);
    TextOut out(text);
    const TaxBracket *monthlyRow = Salary::rowOf(salary.monthly);
    out << u"1、月应发工资\n";
    out << u"    【月应税收入】=月应发工资-三险一金=" << salary.monthlyGross << u"-" << salary.insurance;
    // A wage below its insurance leaves nothing to tax, and that is what the line says.
    const bool belowInsurance = salary.monthlyGross < salary.insurance;
    if (belowInsurance)
        out << u"<0，按0计算\n";
    else
        out << u"=" << monthlyTaxable << u"元\n";
    out << u"    【应纳税所得额】=月应税收入-免征额=" << monthlyTaxable << u"-" << threshold << u"="
        << nonNegative(aboveThreshold) << u"元\n";
    out << u"        ";
    appendRow(text, monthlyRow);
    appendTaxLine(text, nonNegative(aboveThreshold), monthlyRow, Salary::taxOf(salary.monthly));

    if (salary.bonus) {
        const TaxBracket *bonusRow = Salary::rowOf(salary.bonus);
        out << u"2、年终奖金\n";
        if (unused < 0)
            out << u"    【应纳税所得额】=年终奖金-(免征额-月应税收入)=" << bonus << u"-(" << threshold
                << u"-" << monthlyTaxable << u")=" << nonNegative(bonusTaxable) << u"元\n";
        else
            out << u"    【应纳税所得额】=年终奖金=" << bonus << u"=" << nonNegative(bonusTaxable) << u"元\n";
        // The twelfth shown is rounded; the row was chosen with the truncated twelfth.
        const Amount twelfth = roundHalfUp(static_cast<double>(nonNegative(bonusTaxable)) / 12.0);
        out << u"        应纳税所得额÷12=" << nonNegative(bonusTaxable) << u"÷12=" << twelfth << u"元 ";
        appendRow(text, bonusRow);
        appendTaxLine(text, nonNegative(bonusTaxable), bonusRow, salary.bonus->tax);
    }

    if (salary.annuity) {
        const TaxBracket *annuityRow = Salary::rowOf(salary.annuity);
        out << (salary.bonus ? u"3、年金(企业缴费部分)\n" : u"2、年金(企业缴费部分)\n");
        if (unusedAfterBonus < 0)
            out << u"    【应纳税所得额】=企业年金-(免征额-月应税收入-年终奖金)=" << annuity << u"-("
                << threshold << u"-" << nonNegative(monthlyTaxable) << u"-"
                << ((salary.bonus && bonus > 0) ? bonus : Amount(0)) << u")=" << nonNegative(annuityTaxable)
                << u"元\n";
        else
            out << u"    【应纳税所得额】=企业年金=" << nonNegative(annuityTaxable) << u"元\n";
        out << u"        ";
        appendRow(text, annuityRow);
        appendTaxLine(text, nonNegative(annuityTaxable), annuityRow, salary.annuity->tax);
    }

    out << u"合计\n";
    out << u"    【应发数合计】=" << salary.grossTotal << u"元\n";
    out << u"    【缴纳个税合计】=" << salary.taxTotal << u"元\n";
    if (belowInsurance) {
        // The insurance above the wage is deducted all the same: the net pay is not the sum of the
        // taxed items, so the line shows what it is made of.
        out << u"    【实发数合计】=应发数合计-三险一金";
        if (salary.months > 1)
            out << u"×" << QString::number(salary.months) << u"个月";
        out << u"-工资和奖金个税=" << salary.grossTotal << u"-" << salary.insurance * salary.months << u"-"
            << Salary::taxOf(salary.bonus) + salary.annualMonthlyTax << u"=" << salary.netTotal << u"元\n";
        out << u"    （三险一金超出月应发工资的部分由个人负担：各月应税收入和实发数按0计算，"
               u"实发数合计已扣除这部分，因此小于各项实发数之和。）\n";
    } else {
        out << u"    【实发数合计】=" << salary.netTotal << u"元\n";
    }

    if (salary.annuity) {
        out << u"\n说明：\n";
        out << u"    1、国税函[2009]694号第六条规定：企业年金是指企业及其职工按照《企业年金试行办法》的规定，"
               u"在依法参加基本养老保险的基础上，自愿建立的补充养老保险。对个人取得本通知 "
               u"规定之外的其他补充养老保险收"
               u"入，应全额并入当月工资、薪金所得依法征收个人所得税。 \n\n";
        out << u"    "
               u"2、在雇员当月工资薪金所得低于税法规定的费用扣除额时，若同时存在年金和全年一次性奖金的情况，"
               u"我们先用“全年一次性奖金”补差额，不足部分再考虑用年金方式计算。 \n\n";
        out << u"    "
               u"3、由于年金的缴费部分不计算在雇员的应发工资中，所以应发数合计和实发数合计中均不包括年金。\n"
               u"\n";
    }

    salary.processText = QString(text.constData(), text.size());
}
