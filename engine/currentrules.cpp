#include "engine/currentrules.h"

#include <algorithm>
#include <cmath>

namespace CurrentRules {

namespace {

constexpr Amount yuan(qint64 y)
{
    return y * 100;
}

QString money(Amount fen)
{
    return formatAmount(fen);
}

QString methodText(BonusMethod m)
{
    return m == BonusMethod::Merged ? QStringLiteral("并入当月工资") : QStringLiteral("单独计税");
}

} // namespace

const std::vector<Bracket> &annualTable()
{
    static const std::vector<Bracket> table = {
        {yuan(36000), 3, 0},
        {yuan(144000), 10, yuan(2520)},
        {yuan(300000), 20, yuan(16920)},
        {yuan(420000), 25, yuan(31920)},
        {yuan(660000), 30, yuan(52920)},
        {yuan(960000), 35, yuan(85920)},
        {-1, 45, yuan(181920)},
    };
    return table;
}

const std::vector<Bracket> &monthlyTable()
{
    static const std::vector<Bracket> table = {
        {yuan(3000), 3, 0},
        {yuan(12000), 10, yuan(210)},
        {yuan(25000), 20, yuan(1410)},
        {yuan(35000), 25, yuan(2660)},
        {yuan(55000), 30, yuan(4410)},
        {yuan(80000), 35, yuan(7160)},
        {-1, 45, yuan(15160)},
    };
    return table;
}

const Bracket &bracketOf(const std::vector<Bracket> &table, Amount taxable)
{
    for (const Bracket &row : table) {
        if (row.upperBound < 0 || taxable <= row.upperBound)
            return row;
    }
    return table.back();
}

const Bracket &bonusBracketOf(Amount bonus)
{
    for (const Bracket &row : monthlyTable()) {
        if (row.upperBound < 0 || bonus <= 12 * row.upperBound)
            return row;
    }
    return monthlyTable().back();
}

Amount taxIn(const Bracket &row, Amount taxable)
{
    if (taxable <= 0)
        return 0;
    // Amounts are at most a few times 10^13 fen, so taxable × 45 stays far inside 64 bits.
    const Amount tax = (taxable * row.rate + 50) / 100 - row.quickDeduction;
    return std::max<Amount>(tax, 0);
}

Amount annualTax(Amount taxable)
{
    return taxIn(bracketOf(annualTable(), taxable), taxable);
}

Amount separateBonusTax(Amount bonus)
{
    return taxIn(bonusBracketOf(bonus), bonus);
}

const std::vector<BlindZone> &bonusBlindZones()
{
    static const std::vector<BlindZone> zones = {
        {yuan(36000), 3856667},       {yuan(144000), yuan(160500)}, {yuan(300000), 31833333},
        {yuan(420000), yuan(447500)}, {yuan(660000), 70653846},     {yuan(960000), yuan(1120000)},
    };
    return zones;
}

const BlindZone *bonusBlindZoneOf(Amount bonus)
{
    for (const BlindZone &zone : bonusBlindZones()) {
        if (bonus > zone.lower && bonus <= zone.upper)
            return &zone;
    }
    return nullptr;
}

Amount nonResidentMonthlyTax(Amount wage)
{
    const Amount taxable = wage - kBasicDeductionMonthly;
    return taxIn(bracketOf(monthlyTable(), taxable), taxable);
}

bool checkYearInput(const YearInput &in, QString *error)
{
    const int count = int(in.gross.size());
    if (in.startMonth < 1 || in.startMonth > 12) {
        *error = QStringLiteral("起始月份应为 1 到 12");
        return false;
    }
    if (count < 1 || in.startMonth + count - 1 > 12) {
        *error = QStringLiteral("计税期间应在同一年内：从 %1 月起最多 %2 个月的工资")
                     .arg(in.startMonth)
                     .arg(13 - in.startMonth);
        return false;
    }
    for (Amount g : in.gross) {
        if (g < 0) {
            *error = QStringLiteral("工资不能为负数");
            return false;
        }
    }
    if (in.insurance < 0 || in.deductions < 0 || in.bonus < 0) {
        *error = QStringLiteral("金额不能为负数");
        return false;
    }
    if (!in.resident && (in.deductions > 0 || in.bonus > 0 || in.insurance > 0)) {
        *error = QStringLiteral("无住所个人按月计税，不减除三险一金和专项附加扣除，"
                                "也不适用全年一次性奖金的计税方法");
        return false;
    }
    if (in.bonus > 0 && in.bonusMonth != 0 &&
        (in.bonusMonth < in.startMonth || in.bonusMonth > in.startMonth + count - 1)) {
        *error = QStringLiteral("奖金发放月份 %1 不在计税期间（%2 月至 %3 月）内")
                     .arg(in.bonusMonth)
                     .arg(in.startMonth)
                     .arg(in.startMonth + count - 1);
        return false;
    }
    if (in.bonus > 0 && in.method == BonusMethod::Separate && in.year > kLastSeparateBonusYear) {
        *error = QStringLiteral("%1 年起全年一次性奖金不再单独计税，只能并入当年工资").arg(in.year);
        return false;
    }
    return true;
}

namespace {

YearResult runYear(const YearInput &in, BonusMethod method, bool withProcessText)
{
    YearResult r;
    r.resident = in.resident;
    const int count = int(in.gross.size());
    const int bonusMonth = in.bonus > 0 ? (in.bonusMonth ? in.bonusMonth : in.startMonth + count - 1) : 0;
    const bool merged = in.bonus > 0 && method == BonusMethod::Merged;

    QString text;
    if (withProcessText) {
        text.reserve(256 * count + 512);
        text += in.resident ? QStringLiteral("居民个人工资、薪金所得，按累计预扣法预扣预缴：\n")
                            : QStringLiteral("无住所个人工资、薪金所得，按月计税：\n");
        if (in.resident)
            text += QStringLiteral("累计应纳税所得额 = 累计收入 − 累计减除费用（5,000元 × 月份数）"
                                   " − 累计三险一金 − 累计专项附加扣除\n"
                                   "本月应预扣预缴税额 = 累计应纳税所得额 × 税率 − 速算扣除数"
                                   " − 累计已预扣预缴税额（为负时按 0 计算）\n");
    }

    Amount income = 0;
    Amount insurance = 0;
    Amount deductions = 0;
    Amount withheld = 0;
    for (int i = 0; i < count; ++i) {
        MonthResult m;
        m.month = in.startMonth + i;
        m.gross = in.gross.at(i) + (merged && m.month == bonusMonth ? in.bonus : 0);
        m.insurance = in.insurance;
        m.deductions = in.deductions;
        if (in.resident) {
            income += m.gross;
            insurance += m.insurance;
            deductions += m.deductions;
            m.cumulativeIncome = income;
            m.cumulativeBasic = kBasicDeductionMonthly * (i + 1);
            m.cumulativeInsurance = insurance;
            m.cumulativeDeductions = deductions;
            m.cumulativeTaxable = std::max<Amount>(income - m.cumulativeBasic - insurance - deductions, 0);
            const Bracket &row = bracketOf(annualTable(), m.cumulativeTaxable);
            m.rate = row.rate;
            m.quickDeduction = row.quickDeduction;
            m.cumulativeTax = taxIn(row, m.cumulativeTaxable);
            m.withheld = std::max<Amount>(m.cumulativeTax - withheld, 0);
        } else {
            m.cumulativeIncome = m.gross;
            m.cumulativeBasic = kBasicDeductionMonthly;
            m.cumulativeTaxable = std::max<Amount>(m.gross - kBasicDeductionMonthly, 0);
            const Bracket &row = bracketOf(monthlyTable(), m.cumulativeTaxable);
            m.rate = row.rate;
            m.quickDeduction = row.quickDeduction;
            m.cumulativeTax = taxIn(row, m.cumulativeTaxable);
            m.withheld = m.cumulativeTax;
        }
        withheld += m.withheld;
        m.net = m.gross - m.insurance - m.withheld;
        r.netTotal += m.net;
        if (withProcessText) {
            if (in.resident) {
                text += QStringLiteral(
                            "%1月：累计收入 %2 − 累计减除费用 %3 − 累计三险一金 %4 − 累计专项附加扣除 %5"
                            " = 累计应纳税所得额 %6；× %7% − %8 = 累计应纳税额 %9；本月预扣预缴 %10")
                            .arg(m.month)
                            .arg(money(m.cumulativeIncome), money(m.cumulativeBasic),
                                 money(m.cumulativeInsurance), money(m.cumulativeDeductions),
                                 money(m.cumulativeTaxable))
                            .arg(m.rate)
                            .arg(money(m.quickDeduction), money(m.cumulativeTax), money(m.withheld));
            } else {
                text += QStringLiteral("%1月：(%2 − 5,000) × %3% − %4 = %5")
                            .arg(m.month)
                            .arg(money(m.gross))
                            .arg(m.rate)
                            .arg(money(m.quickDeduction), money(m.withheld));
            }
            if (merged && m.month == bonusMonth)
                text += QStringLiteral("（含并入的年终奖金 %1）").arg(money(in.bonus));
            text += QStringLiteral("，税后 %1\n").arg(money(m.net));
        }
        r.months.push_back(m);
    }

    if (in.bonus > 0) {
        BonusResult &b = r.bonus;
        b.present = true;
        b.method = merged ? BonusMethod::Merged : BonusMethod::Separate;
        b.amount = in.bonus;
        b.month = bonusMonth;
        if (!merged) {
            const Bracket &row = bonusBracketOf(in.bonus);
            b.rate = row.rate;
            b.quickDeduction = row.quickDeduction;
            b.tax = taxIn(row, in.bonus);
            withheld += b.tax;
            r.netTotal += in.bonus - b.tax;
            if (withProcessText)
                text += QStringLiteral("全年一次性奖金单独计税：%1 ÷ 12 = %2，适用税率 %3%，速算扣除数 %4；"
                                       "%1 × %3% − %4 = %5\n")
                            .arg(money(in.bonus), money((in.bonus + 6) / 12))
                            .arg(b.rate)
                            .arg(money(b.quickDeduction), money(b.tax));
        } else if (withProcessText) {
            text += QStringLiteral("全年一次性奖金 %1 并入 %2 月工资，按累计预扣法计税。\n")
                        .arg(money(in.bonus))
                        .arg(bonusMonth);
        }
    }
    r.withheldTotal = withheld;

    if (in.resident) {
        r.annualTaxable = std::max<Amount>(income - kBasicDeductionAnnual - insurance - deductions, 0);
        const Bracket &row = bracketOf(annualTable(), r.annualTaxable);
        r.annualRate = row.rate;
        r.annualQuickDeduction = row.quickDeduction;
        r.annualTax = taxIn(row, r.annualTaxable) + r.bonus.tax;
    } else {
        r.annualTaxable = 0;
        r.annualTax = withheld;
    }
    r.settlement = r.annualTax - r.withheldTotal;
    if (withProcessText && in.resident) {
        text += QStringLiteral(
                    "年度汇算：全年收入 %1 − 60,000 − 三险一金 %2 − 专项附加扣除 %3 = 应纳税所得额 %4；"
                    "× %5% − %6 = %7")
                    .arg(money(income), money(insurance), money(deductions), money(r.annualTaxable))
                    .arg(r.annualRate)
                    .arg(money(r.annualQuickDeduction), money(r.annualTax - r.bonus.tax));
        if (r.bonus.tax > 0)
            text += QStringLiteral("，加年终奖金单独计税 %1，全年应纳税额 %2")
                        .arg(money(r.bonus.tax), money(r.annualTax));
        text += QStringLiteral("。\n已预扣预缴 %1，").arg(money(r.withheldTotal));
        if (r.settlement > 0)
            text += QStringLiteral("应补税 %1。\n").arg(money(r.settlement));
        else if (r.settlement < 0)
            text += QStringLiteral("应退税 %1。\n").arg(money(-r.settlement));
        else
            text += QStringLiteral("无需补税或退税。\n");
    }
    r.processText = text;
    return r;
}

} // namespace

YearResult calculateYear(const YearInput &in, bool withProcessText)
{
    if (in.bonus <= 0 || in.method != BonusMethod::Best)
        return runYear(in, in.method == BonusMethod::Best ? BonusMethod::Separate : in.method,
                       withProcessText);
    if (in.year > kLastSeparateBonusYear) {
        YearResult r = runYear(in, BonusMethod::Merged, withProcessText);
        if (withProcessText)
            r.processText += QStringLiteral("%1 年起全年一次性奖金只能并入当年工资计税。\n").arg(in.year);
        return r;
    }
    // The cheaper of the two by the year's tax; merged on a tie, so nothing is split off for nothing.
    YearResult separate = runYear(in, BonusMethod::Separate, withProcessText);
    YearResult merged = runYear(in, BonusMethod::Merged, withProcessText);
    const bool takeSeparate = separate.annualTax < merged.annualTax;
    YearResult &chosen = takeSeparate ? separate : merged;
    const YearResult &other = takeSeparate ? merged : separate;
    chosen.bonus.compared = true;
    chosen.bonus.otherMethodAnnualTax = other.annualTax;
    if (withProcessText)
        chosen.processText +=
            QStringLiteral("比较：单独计税全年税额 %1，并入工资全年税额 %2，选择%3。\n")
                .arg(money(separate.annualTax), money(merged.annualTax), methodText(chosen.bonus.method));
    return std::move(chosen);
}

Amount splitTax(const SplitInput &in, Amount bonus)
{
    const Amount deductions = in.basic + in.insurance + in.deductions;
    return annualTax(in.annual - bonus - deductions) + separateBonusTax(bonus);
}

namespace {

struct WindowMin
{
    Amount tax = -1;
    Amount at = -1; // the smallest bonus of that tax
};

// The cheapest bonus in [from, to] (from ≤ to): splitTax of each, with the rows of both parts
// followed as the bonus grows (the wages' row can only fall, the bonus's only rise) instead of
// being looked up again for every fen. `taxableAtZero` is the taxable wages of bonus 0.
WindowMin cheapestIn(Amount taxableAtZero, Amount from, Amount to)
{
    const Bracket *const firstWageRow = annualTable().data();
    const Bracket *wageRow = &bracketOf(annualTable(), taxableAtZero - from);
    const Bracket *bonusRow = &bonusBracketOf(from);
    WindowMin m;
    for (Amount x = from; x <= to; ++x) {
        const Amount wages = taxableAtZero - x;
        while (wageRow != firstWageRow && wages <= (wageRow - 1)->upperBound)
            --wageRow;
        while (bonusRow->upperBound >= 0 && x > 12 * bonusRow->upperBound)
            ++bonusRow;
        const Amount tax = taxIn(*wageRow, wages) + taxIn(*bonusRow, x);
        if (m.at < 0 || tax < m.tax)
            m = {tax, x};
    }
    return m;
}

} // namespace

SplitResult bestSplit(const SplitInput &in, bool withProcessText)
{
    SplitResult r;
    r.annual = in.annual;
    r.deductionsTotal = in.basic + in.insurance + in.deductions;
    const Amount pay = std::max<Amount>(in.annual, 0);
    const Amount rest = pay - r.deductionsTotal; // taxable wages when nothing is paid as bonus
    const Amount top = in.maxBonus >= 0 ? std::min(pay, in.maxBonus) : pay; // the largest bonus

    // Where either part changes its row, and the two ends.
    std::vector<Amount> bounds = {0, rest, top};
    for (const Bracket &row : monthlyTable())
        if (row.upperBound > 0)
            bounds.push_back(12 * row.upperBound);
    for (const Bracket &row : annualTable())
        if (row.upperBound > 0)
            bounds.push_back(rest - row.upperBound);

    r.allWageTax = splitTax(in, 0);
    Amount bestTax = r.allWageTax;
    std::vector<WindowMin> windows;
    windows.reserve(bounds.size());
    for (Amount b : bounds) {
        const Amount from = std::max<Amount>(b - 99, 0);
        const Amount to = std::min<Amount>(b + 99, top);
        if (from > to)
            continue;
        windows.push_back(cheapestIn(in.annual - r.deductionsTotal, from, to));
        bestTax = std::min(bestTax, windows.back().tax);
    }
    // Among splits of equal tax the bound itself (a round 36,000 rather than 35,999.96, whose
    // rounding happens to cost the same), the smaller one first; only then any other bonus.
    Amount best = -1;
    for (Amount b : bounds) {
        if (b >= 0 && b <= top && splitTax(in, b) == bestTax && (best < 0 || b < best))
            best = b;
    }
    if (best < 0) {
        for (const WindowMin &w : windows) {
            if (w.tax == bestTax && (best < 0 || w.at < best))
                best = w.at;
        }
    }

    r.bonus = best;
    r.wages = pay - best;
    for (int i = 0; i < 12; ++i)
        r.monthly[i] = r.wages / 12 + (i < r.wages % 12 ? 1 : 0);
    r.bonusTax = separateBonusTax(best);
    r.wageTax = bestTax - r.bonusTax;
    r.taxTotal = bestTax;
    r.taxDecrease = r.allWageTax - bestTax;
    r.netTotal = pay - in.insurance - bestTax;

    if (withProcessText) {
        QString &t = r.processText;
        t += QStringLiteral("全年应发 %1，全年减除 %2（减除费用 %3 + 三险一金 %4 + 专项附加扣除 %5）。\n")
                 .arg(money(pay), money(r.deductionsTotal), money(in.basic), money(in.insurance),
                      money(in.deductions));
        t += QStringLiteral("全年税额 = 综合所得税额（全年应发 − 年终奖金 − 全年减除，按年度税率表）"
                            " + 年终奖金单独计税税额（奖金 ÷ 12 按月度税率表）。\n");
        t += QStringLiteral("比较的方案（各税率表档位的边界、0 与全部工资，及其前后 1 元之内）：\n");
        std::vector<Amount> shown;
        for (Amount b : bounds)
            if (b >= 0 && b <= top)
                shown.push_back(b);
        std::sort(shown.begin(), shown.end());
        shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
        for (Amount b : shown)
            t += QStringLiteral("  年终奖金 %1：综合所得税额 %2 + 奖金税额 %3 = %4\n")
                     .arg(money(b), money(splitTax(in, b) - separateBonusTax(b)), money(separateBonusTax(b)),
                          money(splitTax(in, b)));
        t += QStringLiteral("最优：年终奖金 %1 单独计税，工资 %2（每月 %3），全年税额 %4；"
                            "全部按工资发放税额 %5，节税 %6。\n")
                 .arg(money(best), money(r.wages), money(r.monthly[0]), money(bestTax), money(r.allWageTax),
                      money(r.taxDecrease));
    }
    return r;
}

namespace {

// The net of the best split of `pay`, the rest of `base` as given.
SplitResult splitOf(const SplitInput &base, Amount pay)
{
    SplitInput in = base;
    in.annual = pay;
    return bestSplit(in);
}

} // namespace

// The net of the best split never falls as the pay grows, and grows by at most a fen a fen: one fen
// more pay adds at most a fen of tax to the split that was best before (a rate below 100% and rounding
// half up), and no split of the larger pay is cheaper than the best split of the smaller one, because
// neither part's tax falls when its amount grows. So the answer is the first pay that nets enough, and
// the search keeps a pay known to be short below it and one known to be enough above it. It steps up
// from below by what is missing, grossed up by the rate of the next fen: exact while the split stays in
// its rows. Where the best split moves its bonus to another row a step may pass the answer; the two
// pays are then narrowed by the straight line between them while that halves the gap, else by
// halving. Either way the answer is checked forward before it is returned.
AnnualInverseResult annualForNet(const SplitInput &base, Amount net, bool withProcessText)
{
    AnnualInverseResult r;
    if (net < 0 || base.insurance < 0 || base.deductions < 0) {
        r.error = net < 0 ? QStringLiteral("税后年收入不能为负数")
                          : QStringLiteral("三险一金和专项附加扣除不能为负数");
        return r;
    }
    if (base.deductions > kLargestInversePay) {
        r.error = QStringLiteral("专项附加扣除最多 %1 元").arg(money(kLargestInversePay));
        return r;
    }
    const Amount insurance = base.insurance;
    const auto tooLarge = [&](Amount largestNet) {
        r.error = QStringLiteral("税后年收入 %1 元过大：税前年收入最多 %2 元，税后最多 %3 元")
                      .arg(money(net), money(kLargestInversePay), money(std::max<Amount>(largestNet, 0)));
    };
    if (net > kLargestInversePay || insurance > kLargestInversePay - net) {
        tooLarge(splitOf(base, kLargestInversePay).netTotal);
        return r;
    }

    Amount answer = -1;
    SplitResult found;
    SplitResult fenLess; // the best split of the answer less a fen, once computed
    fenLess.annual = -1;
    if (net + insurance == 0) {
        answer = 0; // nothing to pay and no tax
        found = splitOf(base, 0);
    } else {
        // No tax at all still needs net + insurance, so a fen less is surely short.
        Amount below = net + insurance - 1;
        Amount netBelow = net - 1; // at most that
        Amount above = -1;         // the smallest pay known to net enough, once one is
        Amount p = net + insurance;
        for (int step = 0; step < 64; ++step) {
            p = std::min(p, kLargestInversePay);
            SplitResult s = splitOf(base, p);
            if (s.netTotal >= net) {
                above = p;
                found = std::move(s);
                break;
            }
            if (p == kLargestInversePay) {
                tooLarge(s.netTotal);
                return r;
            }
            below = p;
            netBelow = s.netTotal;
            // The rate of the next fen: the wages' (none while the deductions still cover them), or
            // the bonus's when that is lower and the bonus can still grow within its row.
            const Amount taxableWages = s.annual - s.bonus - s.deductionsTotal;
            int rate = taxableWages < 0 ? 0 : bracketOf(annualTable(), taxableWages + 1).rate;
            if (s.bonus > 0 && &bonusBracketOf(s.bonus) == &bonusBracketOf(s.bonus + 1))
                rate = std::min(rate, bonusBracketOf(s.bonus).rate);
            p += (net - s.netTotal) * 100 / (100 - rate);
        }
        if (above < 0) { // never expected: the largest pay bounds the bisection
            found = splitOf(base, kLargestInversePay);
            if (found.netTotal < net) {
                tooLarge(found.netTotal);
                return r;
            }
            above = kLargestInversePay;
        }
        // The pay found is the answer when a fen less is short. A step may overshoot where the best
        // split moves the bonus to another row: then narrow the two down, by the straight line between
        // them while that at least halves the gap (the net is linear between rows), else by halving.
        bool interpolate = true;
        while (above - below > 1) {
            Amount mid = below + (above - below) / 2;
            if (interpolate && found.netTotal > netBelow) {
                const double share = double(net - netBelow) / double(found.netTotal - netBelow);
                mid = std::clamp<Amount>(below + Amount(std::ceil(share * double(above - below))), below + 1,
                                         above - 1);
            }
            const Amount gap = above - below;
            SplitResult s = splitOf(base, mid);
            if (s.netTotal >= net) {
                above = mid;
                found = std::move(s);
            } else {
                below = mid;
                netBelow = s.netTotal;
                if (mid == above - 1)
                    fenLess = std::move(s);
            }
            interpolate = 2 * (above - below) <= gap;
        }
        answer = above;
    }

    // The forward check: the answer nets enough and a fen less would not.
    if (answer > 0 && fenLess.annual != answer - 1)
        fenLess = splitOf(base, answer - 1);
    if (found.annual != answer || found.netTotal < net || (answer > 0 && fenLess.netTotal >= net)) {
        r.error = QStringLiteral("税后年收入 %1 元的反算未通过验算").arg(money(net));
        return r;
    }
    r.ok = true;
    if (!withProcessText) {
        r.split = std::move(found);
    } else {
        SplitInput in = base;
        in.annual = answer;
        r.split = bestSplit(in, true);
        QString &t = r.processText;
        t += QStringLiteral("税后年收入 %1（全年三险一金 %2，专项附加扣除 %3）：按年终奖金与工资的最优分配，"
                            "所需税前年收入最少为 %4。\n")
                 .arg(money(net), money(insurance), money(base.deductions), money(answer));
        t += QStringLiteral("验算：税前 %1 − 三险一金 %2 − 全年税额 %3 = 税后 %4，不少于 %5")
                 .arg(money(answer), money(insurance), money(r.split.taxTotal), money(r.split.netTotal),
                      money(net));
        if (answer > 0)
            t += QStringLiteral("；少 1 分（%1）时税后为 %2，不足 %3")
                     .arg(money(answer - 1), money(fenLess.netTotal), money(net));
        t += QStringLiteral("。\n") + r.split.processText;
    }
    return r;
}

BonusMethodComparison compareBonusMethods(const YearInput &input, bool withProcessText)
{
    BonusMethodComparison c;
    YearInput in = input;
    in.method = BonusMethod::Merged;
    if (!checkYearInput(in, &c.error))
        return c;
    c.ok = true;
    c.merged = calculateYear(in, withProcessText);
    c.separateAllowed = separateBonusAllowed(in.year);
    if (!c.separateAllowed) {
        c.error = QStringLiteral("%1 年起全年一次性奖金不再单独计税，只能并入当年工资").arg(in.year);
        if (withProcessText)
            c.processText = QStringLiteral("【并入当月工资】\n") + c.merged.processText + c.error +
                            QStringLiteral("。\n");
        return c;
    }
    in.method = BonusMethod::Separate;
    c.separate = calculateYear(in, withProcessText);
    c.separateCheaper = c.separate.annualTax < c.merged.annualTax;
    c.difference = c.merged.annualTax - c.separate.annualTax;
    if (withProcessText) {
        QString &t = c.processText;
        t = QStringLiteral("【年终奖金单独计税】\n") + c.separate.processText +
            QStringLiteral("\n【年终奖金并入当月工资】\n") + c.merged.processText +
            QStringLiteral("\n比较：单独计税全年税额 %1，并入工资全年税额 %2，")
                .arg(money(c.separate.annualTax), money(c.merged.annualTax));
        if (c.difference > 0)
            t += QStringLiteral("单独计税少缴 %1。\n").arg(money(c.difference));
        else if (c.difference < 0)
            t += QStringLiteral("并入工资少缴 %1。\n").arg(money(-c.difference));
        else
            t += QStringLiteral("两种方式税额相同。\n");
    }
    return c;
}

} // namespace CurrentRules
