// Tax-saving planning: re-splitting pay between monthly wage and bonus.
//
// Candidates are never searched amount by amount. The tax jumps at the row bounds (the bonus blind
// zones), so every candidate puts either the monthly taxable wage or the bonus exactly at the top
// of a row, and derives the other part so that what the goal keeps fixed (the employee's net, or
// the employer's cost) stays as it was, to the fen in the goal's favour: the net never below, the
// cost never above. Every candidate is a payroll someone can pay: its items taxed as a payroll
// withholds them, its totals the sums of its rows. At most one step per row and sweep: a few dozen
// tax evaluations per plan.
#include "engine/taxengine.h"

namespace {

Amount twelveTimesBound(const TaxBracket *row)
{
    return 12 * static_cast<Amount>(row->lowerBound);
}

const TaxBracket *lastRow()
{
    return &rateTable().back();
}

// The gross from an inverted net is rounded to the fen, and the tax of that gross is rounded again,
// so the forward calculation can give a fen less than asked. Raises the gross a fen at a time until
// what the payroll withholds leaves at least `net`. Within a row the after-tax amount never falls as
// the gross rises, so this takes a step or two; the bound only guards the blind zones.
template<typename Forward> bool payAtLeast(Amount net, TaxItem &item, const Forward &forward)
{
    constexpr int kMaxSteps = 1000;
    forward(item);
    for (int step = 0; item.afterTax < net; ++step) {
        if (step == kMaxSteps)
            return false;
        ++item.amount;
        forward(item);
    }
    return true;
}

} // namespace

bool canRaiseBonus(const TaxItem *monthly, const TaxItem *bonus)
{
    if (!monthly || monthly->tax <= 0)
        return false;
    if (!bonus || !bonus->bracket)
        return true;
    return monthly->bracket && monthly->bracket->rate >= bonus->bracket->rate && bonus->bracket != lastRow();
}

std::unique_ptr<TaxItem> TaxEngine::monthlyAt(Amount amount, const TaxBracket *row) const
{
    // The row is set, not looked up: the amount sits exactly on a row bound.
    auto item = std::make_unique<TaxItem>();
    item->amount = amount;
    item->bracket = row;
    item->tax = bracketTax(row, amount - m_threshold);
    item->afterTax = amount - item->tax;
    return item;
}

std::unique_ptr<TaxItem> TaxEngine::bonusAt(Amount amount, const TaxBracket *row)
{
    auto item = std::make_unique<TaxItem>();
    item->amount = amount;
    item->bracket = row;
    item->tax = bracketTax(row, amount);
    item->afterTax = amount - item->tax;
    return item;
}

std::unique_ptr<PlanResult> TaxEngine::candidate(const Salary &input, std::unique_ptr<TaxItem> monthly,
                                                 std::unique_ptr<TaxItem> bonus) const
{
    auto c = std::make_unique<PlanResult>();
    c->insurance = input.insurance;
    c->monthlyGross = Salary::amountOf(monthly) + input.insurance;
    c->months = input.months;
    c->monthly = std::move(monthly);
    c->bonus = std::move(bonus);
    return c;
}

void TaxEngine::settle(const Salary &input, PlanResult &c) const
{
    // Exactly what a payroll would withhold on the candidate's own items, and what they add up to.
    calcMonthly(c.monthly.get());
    calcBonus(c.bonus.get(), c.monthly.get());
    calcTotals(c);
    setDifferences(input, c);
}

bool TaxEngine::holdFixed(const Salary &input, PlanResult &c, PlanGoal goal, TaxItem *derived) const
{
    // The derived part (a wage from a remainder spread over the months, a gross from an inverted
    // net) is rounded to the fen, which can leave the employer a few fen dearer or the employee a
    // few fen short. Such fen belong to no row, so the derived part moves a fen at a time in the
    // direction that costs the other side nothing until the goal's fixed quantity holds.
    constexpr int kMaxSteps = 1000; // a handful suffice; the bound only guards against a blind zone
    for (int step = 0;; ++step) {
        settle(input, c);
        if (keepsFixed(c, goal))
            return true;
        if (!derived || step == kMaxSteps)
            return false;
        if (goal == RaiseNet) {
            if (derived->amount <= 0)
                return false;
            --derived->amount;
        } else {
            ++derived->amount;
        }
        if (derived == c.monthly.get())
            c.monthlyGross = derived->amount + c.insurance;
    }
}

bool TaxEngine::keepsFixed(const PlanResult &c, PlanGoal goal)
{
    return goal == RaiseNet ? c.costDecrease >= 0 : c.netIncrease >= 0;
}

void TaxEngine::offer(PlanResults &results, std::unique_ptr<PlanResult> c, PlanGoal goal)
{
    const auto key = [goal](const PlanResult &r) {
        return goal == RaiseNet ? r.netIncrease : r.costDecrease;
    };
    const Amount k = key(*c);
    // A candidate that pays the employer more (goal 0) or the employee less (goal 1) than before
    // is no result, whatever it gains on the other side.
    if (k <= 0 || !keepsFixed(*c, goal))
        return;
    if (!results.empty()) {
        const Amount best = key(*results.front());
        if (k < best)
            return;
        if (k > best)
            results.clear();
    }
    results.push_back(std::move(c));
}

bool TaxEngine::plan(Salary &salary, PlanResults &results, PlanGoal goal, bool balanced, int months,
                     bool texts) const
{
    if (texts)
        calculate(salary);
    else
        calculateFigures(salary);
    if (salary.months < 1 || months < 1)
        return false; // no period to spread pay over
    if (balanced)
        balancedSweeps(salary, results, goal, months);
    else if (goal == LowerCost)
        keepNetBonusOnly(salary, results);
    else
        keepCostBonusOnly(salary, results);
    if (texts) {
        for (auto &r : results)
            buildPlanText(salary, *r);
    }
    return !results.empty();
}

// An input with only a bonus has no monthly item to carry over; its candidate has none either, so
// a bonus-only salary is still planned (the whole threshold then stays deducted from the bonus).
void TaxEngine::keepCostBonusOnly(const Salary &input, PlanResults &results) const
{
    const TaxItem *bonus = input.bonus.get();
    if (!bonus || !previousBracket(bonus))
        return;
    auto newBonus = std::make_unique<TaxItem>();
    // The largest bonus of the row below.
    newBonus->amount = twelveTimesBound(bonus->bracket) - shortfall(input.monthly.get());
    calcBonus(newBonus.get(), input.monthly.get());
    if (newBonus->afterTax <= bonus->afterTax || newBonus->amount >= bonus->amount)
        return;
    auto c = candidate(input, copyItem(input.monthly), std::move(newBonus));
    c->monthlyGross = input.monthlyGross; // the wage as it was, also below its insurance
    c->months = 1;
    settle(input, *c);
    offer(results, std::move(c), RaiseNet);
}

void TaxEngine::keepNetBonusOnly(const Salary &input, PlanResults &results) const
{
    const TaxItem *bonus = input.bonus.get();
    const TaxBracket *q = previousBracket(bonus);
    if (!bonus || !q)
        return;
    const Amount unused = shortfall(input.monthly.get());
    const double rate = rateOf(q);
    // The bonus in row q that leaves the employee the same after-tax amount.
    auto newBonus = std::make_unique<TaxItem>();
    newBonus->amount = roundHalfUp(
        (rate * static_cast<double>(unused) + static_cast<double>(bonus->afterTax - q->quickDeduction)) /
        (1.0 - rate));
    calcBonus(newBonus.get(), input.monthly.get());
    if (newBonus->bracket != q)
        return; // the same net needs more than row q holds: the bonus was not in a blind zone
    TaxItem *derived = newBonus.get();
    auto c = candidate(input, copyItem(input.monthly), std::move(newBonus));
    c->monthlyGross = input.monthlyGross;
    c->months = 1;
    // Rounded to the fen, the new bonus may leave the employee a fen short; it rises until it does not.
    if (!holdFixed(input, *c, LowerCost, derived) || derived->bracket != q)
        return;
    offer(results, std::move(c), LowerCost);
}

// The four sweeps of balanced planning. Keeping the net (goal 1), what is left of the fixed net
// after one part is inverted into the gross of the other; keeping the cost (goal 0), what is left
// of the fixed cost is paid as the other part and taxed forward. Needs at least one month.
void TaxEngine::balancedSweeps(const Salary &input, PlanResults &results, PlanGoal goal, int N) const
{
    const bool keepNet = goal == LowerCost;
    if (keepNet && input.taxTotal == 0)
        return;
    const Amount n = input.months;
    // Keeping the cost, what is paid less the months' insurance is spread: every candidate pays the
    // same insurance, and no month of a candidate is paid less than its insurance (a remainder
    // below 0 ends a sweep), so its wage's taxable income is its whole wage less the insurance.
    // The input's own months may be paid less than their insurance; what they fall short by is
    // paid all the same and so counts against what is left to spread.
    const Amount fixed = keepNet ? input.netTotal : input.grossTotal - input.insurance * n;
    const Amount monthsOfA = keepNet ? N : n; // equal in every caller; kept apart as the rules state
    const TaxItem *monthly = input.monthly.get();
    const TaxItem *bonus = input.bonus.get();

    // What one part uses up of the fixed quantity.
    const auto used = [keepNet](const TaxItem &item) { return keepNet ? item.afterTax : item.amount; };
    // The bonus paid with what is left after the monthly wage; null when no such bonus exists.
    const auto bonusFor = [&](Amount rest, const TaxItem &m) {
        auto b = std::make_unique<TaxItem>();
        if (keepNet) {
            if (!grossFromNetBonus(rest, 0, *b))
                b.reset();
        } else {
            b->amount = rest;
            calcBonus(b.get(), &m);
        }
        return b;
    };
    // The monthly wage paid with what is left after the bonus, spread over the months.
    const auto monthlyFor = [&](Amount rest) {
        auto m = std::make_unique<TaxItem>();
        const Amount perMonth = roundHalfUp(static_cast<double>(rest) / static_cast<double>(n));
        if (perMonth < 0)
            m.reset(); // nothing left to pay the months their insurance with
        else if (keepNet) {
            if (!grossFromNetMonthly(perMonth, *m))
                m.reset();
        } else {
            m->amount = perMonth;
            calcMonthly(m.get());
        }
        return m;
    };
    // Every candidate is taxed forward as a payroll would; the part derived from the remainder
    // (`bonusDerived` or else the wage) is then nudged until the goal's fixed quantity holds.
    const auto offerIt = [&](std::unique_ptr<TaxItem> m, std::unique_ptr<TaxItem> b, bool bonusDerived) {
        TaxItem *derived = bonusDerived ? b.get() : m.get();
        auto c = candidate(input, std::move(m), std::move(b));
        if (holdFixed(input, *c, goal, derived))
            offer(results, std::move(c), goal);
    };

    if (bonus && bonus->tax > 0) {
        // A: the wage up to the top of each higher row, the bonus from what is left.
        for (const TaxBracket *nxt = nextBracket(monthly); nxt; nxt = nextBracket(nxt)) {
            auto m = std::make_unique<TaxItem>();
            m->amount = m_threshold + nxt->lowerBound;
            calcMonthly(m.get());
            const Amount rest = fixed - used(*m) * monthsOfA;
            if (rest < 0)
                break;
            auto b = bonusFor(rest, *m);
            if (b)
                offerIt(std::move(m), std::move(b), true);
        }

        // B: the bonus down to the top of each lower row, the wage from what is left; the last
        // step pays everything as wage.
        const TaxBracket *cur = bonus->bracket;
        for (const TaxBracket *q = previousBracket(bonus);; cur = q, q = previousBracket(q)) {
            if (!q) {
                if (auto m = monthlyFor(fixed))
                    offerIt(std::move(m), nullptr, false);
                break;
            }
            auto b = bonusAt(twelveTimesBound(cur), q);
            const Amount rest = fixed - used(*b);
            if (rest < 0)
                break;
            auto m = monthlyFor(rest);
            if (!m)
                break;
            offerIt(std::move(m), std::move(b), false);
        }
    }

    if (canRaiseBonus(monthly, bonus)) {
        // C: the bonus up to the top of each higher row, the wage from what is left.
        const TaxBracket *start =
            Salary::rowOf(input.bonus) ? Salary::rowOf(input.bonus) : &rateTable().front();
        for (const TaxBracket *cur = start, *nxt = nextBracket(cur); nxt; cur = nxt, nxt = nextBracket(nxt)) {
            auto b = bonusAt(twelveTimesBound(nxt), cur);
            const Amount rest = fixed - used(*b);
            if (rest < 0)
                break;
            if (auto m = monthlyFor(rest))
                offerIt(std::move(m), std::move(b), false);
        }

        // D: the wage down to the top of each lower row, the bonus from what is left.
        for (const TaxBracket *cur = monthly->bracket, *q = previousBracket(monthly); q;
             cur = q, q = previousBracket(q)) {
            auto m = monthlyAt(m_threshold + cur->lowerBound, q);
            const Amount rest = fixed - used(*m) * n;
            if (rest < 0)
                break;
            auto b = bonusFor(rest, *m);
            if (!b)
                break;
            offerIt(std::move(m), std::move(b), true);
        }
    }
}

bool TaxEngine::grossFromNetMonthly(Amount net, TaxItem &item) const
{
    const auto rows = rateTable();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const TaxBracket &r = *it;
        const double rate = rateOf(&r);
        const Amount netTop =
            m_threshold + r.lowerBound - roundHalfUp(rate * r.lowerBound - r.quickDeduction);
        if (net > netTop) {
            item.amount = roundHalfUp(
                (static_cast<double>(net) - rate * static_cast<double>(m_threshold) - r.quickDeduction) /
                (1.0 - rate));
            return payAtLeast(net, item, [this](TaxItem &i) { calcMonthly(&i); });
        }
    }
    if (net <= 0)
        return false;
    item.amount = net;
    calcMonthly(&item);
    return true;
}

bool TaxEngine::grossFromNetBonus(Amount net, Amount shortfall, TaxItem &item) const
{
    if (net <= 0)
        return false;
    const Amount s = shortfall < 0 ? -shortfall : 0;
    // The month's wage that leaves exactly that much of the threshold unused.
    TaxItem month;
    month.amount = m_threshold - s;
    const auto forward = [this, &month](TaxItem &i) { calcBonus(&i, &month); };
    if (net <= s) {
        // The unused threshold covers the whole bonus: nothing is taxed.
        item.amount = net;
        forward(item);
        return true;
    }
    const auto rows = rateTable();
    const TaxBracket *chosen = &rows.back();
    Amount prev = 0;
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
        const TaxBracket &r = rows[i];
        const Amount top = 12 * static_cast<Amount>(rows[i + 1].lowerBound);
        // After-tax amount of the largest bonus this row taxes (its taxable part is exactly `top`).
        const Amount netTop = static_cast<Amount>(static_cast<double>(top + s) -
                                                  (rateOf(&r) * static_cast<double>(top) - r.quickDeduction));
        if (prev < net && net <= netTop) {
            chosen = &r;
            break;
        }
        prev = netTop;
    }
    const double rate = rateOf(chosen);
    item.amount = roundHalfUp(
        (static_cast<double>(net - chosen->quickDeduction) - rate * static_cast<double>(s)) / (1.0 - rate));
    return payAtLeast(net, item, forward);
}

void TaxEngine::buildPlanText(const Salary &input, PlanResult &result) const
{
    if (result.processText.isEmpty())
        buildProcessText(result);
    // One buffer of the final size: a batch plan builds this for every person.
    QString text;
    text.reserve(input.processText.size() + result.processText.size() + 128);
    text += u"一、筹划前个税计算\n";
    text += input.processText;
    text += u"\n二、筹划后个税计算\n";
    text += result.processText;
    text += u"三、节税筹划效果\n    税后收入增加=";
    appendAmount(text, result.netIncrease);
    text += u"元\n    单位开支减少=";
    appendAmount(text, result.costDecrease);
    text += u"元\n    缴纳个税减少=";
    appendAmount(text, result.taxDecrease);
    text += u"元\n";
    result.processText = std::move(text);
}

QString planMethodLabel(PlanGoal goal, bool balanced, int months)
{
    const QString effect = goal == RaiseNet ? QStringLiteral("增加员工税后收入（单位不多开支）。")
                                            : QStringLiteral("减少单位开支（员工税后收入不变）。");
    if (!balanced)
        return QStringLiteral("调整年终奖金，") + effect;
    return QStringLiteral("年终奖金与 %1 个月月收入平衡发放，").arg(months) + effect;
}

QString planPageProcessText(const QString &methodLabel, const Salary &input, const PlanResults &results)
{
    const QString head = QStringLiteral("筹划方法：") + methodLabel;
    if (!results.empty()) {
        const QString &planText = results.front()->processText;
        QString text;
        text.reserve(head.size() + 1 + planText.size());
        text += head;
        text += u'\n';
        text += planText;
        return text;
    }
    return head + QStringLiteral("\n一、筹划前个税计算\n") + input.processText +
           QStringLiteral("\n二、筹划后个税计算\n    无\n") +
           QStringLiteral("三、节税筹划效果\n    恭喜您，在选定节税筹划策略下，原有薪资已经是合理发放了。\n");
}
