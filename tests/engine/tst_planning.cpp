#include "engine/taxengine.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

Salary input(Amount gross, Amount insurance, Amount bonus, int months)
{
    Salary s;
    s.setMonthly(gross, insurance, months);
    s.setBonus(bonus);
    return s;
}

// What the forward calculation makes of a result's own items.
Salary forward(const PlanResult &r, qint32 threshold)
{
    Salary s;
    s.setMonthly(r.monthlyGross, r.insurance, r.months);
    s.setBonus(Salary::amountOf(r.bonus));
    TaxEngine(threshold).calculate(s);
    return s;
}

} // namespace

class TestPlanning : public QObject
{
    Q_OBJECT

private slots:
    void bonusOnly_data();
    void bonusOnly();
    void bonusOnlyWithoutMonthlyItem();
    void nothingToPlan_data();
    void nothingToPlan();
    void offerKeepsTiesInOrder();
    void sweepBEndsAllWage();
    void balancedResults_data();
    void balancedResults();
    void planText();
    void pageTexts();
    void inversePrimitives_data();
    void inversePrimitives();
    void inverseOperations();
    void apportionment_data();
    void apportionment();
    void resultsAgreeWithForwardCalculation();
    void inverseAgreesWithForwardCalculation();
};

void TestPlanning::bonusOnly_data()
{
    QTest::addColumn<int>("goal");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<Amount>("bonusAfterTax");
    QTest::addColumn<Amount>("taxDecrease");
    QTest::addColumn<Amount>("costDecrease");
    QTest::addColumn<Amount>("netIncrease");
    // Monthly taxable 8000 and a bonus of 18001, one fen into the 10 % blind zone.
    QTest::newRow("goal 0: bonus down to 18000")
        << 0 << Amount(1800000) << Amount(1746000) << Amount(115510) << Amount(100) << Amount(115410);
    QTest::newRow("goal 1: same net in the 3 % row")
        << 1 << Amount(1681021) << Amount(1630590) << Amount(119079) << Amount(119079) << Amount(0);
}

void TestPlanning::bonusOnly()
{
    QFETCH(int, goal);
    QFETCH(Amount, bonus);
    QFETCH(Amount, bonusAfterTax);
    QFETCH(Amount, taxDecrease);
    QFETCH(Amount, costDecrease);
    QFETCH(Amount, netIncrease);
    Salary s = input(800000, 0, 1800100, 1);
    PlanResults results;
    QVERIFY(TaxEngine(kThresholdLocal).plan(s, results, PlanGoal(goal), false, 1));
    QCOMPARE(results.size(), std::size_t(1));
    const PlanResult &r = *results.front();
    QCOMPARE(r.bonus->amount, bonus);
    QCOMPARE(r.bonus->afterTax, bonusAfterTax);
    QCOMPARE(bracketIndex(r.bonus->bracket), 0);
    QCOMPARE(r.monthly->amount, Amount(800000));
    QCOMPARE(r.months, 1);
    QCOMPARE(r.taxDecrease, taxDecrease);
    QCOMPARE(r.costDecrease, costDecrease);
    QCOMPARE(r.netIncrease, netIncrease);
}

void TestPlanning::bonusOnlyWithoutMonthlyItem()
{
    // Only a bonus: the whole threshold stays deducted from it, and the result has no wage either.
    Salary s = input(0, 0, 2150100, 1); // taxable 18001 after the 3500 shortfall
    PlanResults results;
    QVERIFY(TaxEngine(kThresholdLocal).plan(s, results, RaiseNet, false, 1));
    const PlanResult &r = *results.front();
    QVERIFY(!r.monthly);
    QCOMPARE(r.monthlyGross, Amount(0));
    QCOMPARE(r.bonus->amount, Amount(2150000));
    QCOMPARE(forward(r, kThresholdLocal).netTotal, r.netTotal);
}

void TestPlanning::nothingToPlan_data()
{
    QTest::addColumn<Amount>("gross");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<int>("goal");
    QTest::addColumn<bool>("balanced");
    QTest::newRow("no bonus, no tax: goal 0") << Amount(300000) << Amount(0) << 0 << true;
    QTest::newRow("no bonus, no tax: goal 1") << Amount(300000) << Amount(0) << 1 << true;
    QTest::newRow("no bonus, no tax: bonus only") << Amount(300000) << Amount(0) << 0 << false;
    QTest::newRow("bonus at 18000: goal 0 bonus only") << Amount(800000) << Amount(1800000) << 0 << false;
    QTest::newRow("bonus at 18000: goal 1 bonus only") << Amount(800000) << Amount(1800000) << 1 << false;
    QTest::newRow("bonus in the 3 % row") << Amount(800000) << Amount(500000) << 1 << false;
}

void TestPlanning::nothingToPlan()
{
    QFETCH(Amount, gross);
    QFETCH(Amount, bonus);
    QFETCH(int, goal);
    QFETCH(bool, balanced);
    Salary s = input(gross, 0, bonus, balanced ? 12 : 1);
    PlanResults results;
    QVERIFY(!TaxEngine(kThresholdLocal).plan(s, results, PlanGoal(goal), balanced, balanced ? 12 : 1));
    QVERIFY(results.empty());
    QVERIFY(!s.processText.isEmpty()); // the input was calculated all the same
}

void TestPlanning::offerKeepsTiesInOrder()
{
    PlanResults results;
    const auto make = [](Amount cost, Amount net) {
        auto r = std::make_unique<PlanResult>();
        r->costDecrease = cost;
        r->netIncrease = net;
        return r;
    };
    TaxEngine::offer(results, make(0, 50), LowerCost); // not an improvement for goal 1
    QVERIFY(results.empty());
    TaxEngine::offer(results, make(100, 0), LowerCost);
    TaxEngine::offer(results, make(100, 1), LowerCost);
    TaxEngine::offer(results, make(90, 0), LowerCost);
    QCOMPARE(results.size(), std::size_t(2));
    QCOMPARE(results[1]->netIncrease, Amount(1));
    TaxEngine::offer(results, make(101, 7), LowerCost);
    QCOMPARE(results.size(), std::size_t(1));
    QCOMPARE(results[0]->netIncrease, Amount(7));
    TaxEngine::offer(results, make(500, -1), RaiseNet);
    QCOMPARE(results.size(), std::size_t(1));
}

void TestPlanning::sweepBEndsAllWage()
{
    // A wage well below the threshold and a small taxed bonus: paid as wage over the year the bonus
    // is untaxed, and that last candidate of the downward sweep has no bonus item at all.
    Salary s = input(100000, 0, 500000, 12);
    PlanResults results;
    TaxEngine(kThresholdLocal).plan(s, results, LowerCost, true, 12);
    QVERIFY(!results.empty());
    bool allWage = false;
    for (const auto &r : results)
        allWage = allWage || !r->bonus;
    QVERIFY(allWage);
}

void TestPlanning::balancedResults_data()
{
    QTest::addColumn<qint32>("threshold");
    QTest::addColumn<Amount>("gross");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<int>("goal");
    QTest::addColumn<int>("months");
    QTest::newRow("12 months, big bonus, goal 0")
        << kThresholdLocal << Amount(800000) << Amount(10000000) << 0 << 12;
    QTest::newRow("12 months, big bonus, goal 1")
        << kThresholdLocal << Amount(800000) << Amount(10000000) << 1 << 12;
    QTest::newRow("high wage, no bonus, goal 0")
        << kThresholdLocal << Amount(3000000) << Amount(0) << 0 << 12;
    QTest::newRow("high wage, no bonus, goal 1")
        << kThresholdLocal << Amount(3000000) << Amount(0) << 1 << 12;
    QTest::newRow("blind zone bonus, 6 months")
        << kThresholdLocal << Amount(1000000) << Amount(1800100) << 1 << 6;
    QTest::newRow("foreign threshold") << kThresholdForeign << Amount(2000000) << Amount(5000000) << 0 << 3;
}

void TestPlanning::balancedResults()
{
    QFETCH(qint32, threshold);
    QFETCH(Amount, gross);
    QFETCH(Amount, bonus);
    QFETCH(int, goal);
    QFETCH(int, months);
    Salary s = input(gross, 0, bonus, months);
    PlanResults results;
    QVERIFY(TaxEngine(threshold).plan(s, results, PlanGoal(goal), true, months));
    const Amount best = goal == 0 ? results.front()->netIncrease : results.front()->costDecrease;
    QVERIFY(best > 0);
    for (const auto &r : results) {
        QCOMPARE(goal == 0 ? r->netIncrease : r->costDecrease, best);
        QCOMPARE(r->months, months);
        QCOMPARE(r->monthlyGross, Salary::amountOf(r->monthly) + r->insurance);
        QVERIFY(!r->annuity);
        if (goal == 1)
            QCOMPARE(r->netTotal, s.netTotal);
        else
            QCOMPARE(r->taxableTotal, s.taxableTotal);
    }
}

void TestPlanning::planText()
{
    Salary s = input(800000, 0, 1800100, 1);
    PlanResults results;
    TaxEngine(kThresholdLocal).plan(s, results, RaiseNet, false, 1);
    const QString text = results.front()->processText;
    QVERIFY(text.startsWith(QStringLiteral("一、筹划前个税计算\n1、月应发工资\n")));
    QVERIFY(text.contains(QStringLiteral("\n二、筹划后个税计算\n1、月应发工资\n")));
    QVERIFY(text.contains(QStringLiteral("【应纳税所得额】=年终奖金=18,000=18,000元")));
    QVERIFY(
        text.endsWith(QStringLiteral("三、节税筹划效果\n    税后收入增加=1,154.1元\n    单位支出较少=1元\n"
                                     "    缴纳个税减少=1,155.1元\n")));
}

void TestPlanning::pageTexts()
{
    QCOMPARE(planMethodLabel(RaiseNet, false, 6),
             QStringLiteral("调整年终奖金，增加员工税后收入（单位不多开支）。"));
    QCOMPARE(planMethodLabel(LowerCost, false, 6),
             QStringLiteral("调整年终奖金，减少单位开支（员工税后收入不变）。"));
    QCOMPARE(planMethodLabel(RaiseNet, true, 12),
             QStringLiteral("年终奖金与 12 个月月收入平衡发放，增加员工税后收入（单位不多开支）。"));
    QCOMPARE(planMethodLabel(LowerCost, true, 3),
             QStringLiteral("年终奖金与 3 个月月收入平衡发放，减少单位开支（员工税后收入不变）。"));

    Salary s = input(800000, 0, 1800000, 1);
    PlanResults none;
    TaxEngine(kThresholdLocal).plan(s, none, RaiseNet, false, 1);
    const QString label = planMethodLabel(RaiseNet, false, 6);
    QCOMPARE(planPageProcessText(label, s, none),
             QStringLiteral("筹划方法：") + label + QStringLiteral("\n一、筹划前个税计算\n") + s.processText +
                 QStringLiteral("\n二、筹划后个税计算\n    无\n三、节税筹划效果\n"
                                "    恭喜您，在选定节税筹划策略下，原有薪资已经是合理发放了。\n"));
}

void TestPlanning::inversePrimitives_data()
{
    QTest::addColumn<bool>("bonus");
    QTest::addColumn<Amount>("net");
    QTest::addColumn<Amount>("shortfall");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<Amount>("gross");
    QTest::addColumn<int>("row");
    QTest::newRow("monthly 5000 net") << false << Amount(500000) << Amount(0) << true << Amount(505000) << 1;
    QTest::newRow("monthly at the threshold")
        << false << Amount(350000) << Amount(0) << true << Amount(350000) << -1;
    QTest::newRow("monthly below the threshold")
        << false << Amount(100) << Amount(0) << true << Amount(100) << -1;
    QTest::newRow("monthly 0 fails") << false << Amount(0) << Amount(0) << false << Amount(0) << -1;
    QTest::newRow("bonus 17460 net is 18000")
        << true << Amount(1746000) << Amount(0) << true << Amount(1800000) << 0;
    QTest::newRow("bonus 10000 net") << true << Amount(1000000) << Amount(0) << true << Amount(1030928) << 0;
    QTest::newRow("bonus just above the 3 % top")
        << true << Amount(1746001) << Amount(0) << true << Amount(1928334) << 1;
    QTest::newRow("bonus 0 fails") << true << Amount(0) << Amount(0) << false << Amount(0) << -1;
    QTest::newRow("bonus inside the shortfall is untaxed")
        << true << Amount(100000) << Amount(-150000) << true << Amount(100000) << -1;
    QTest::newRow("bonus equal to the shortfall is untaxed")
        << true << Amount(150000) << Amount(-150000) << true << Amount(150000) << -1;
    QTest::newRow("bonus partly above the shortfall")
        << true << Amount(1000000) << Amount(-150000) << true << Amount(1026289) << 0;
}

void TestPlanning::inversePrimitives()
{
    QFETCH(bool, bonus);
    QFETCH(Amount, net);
    QFETCH(Amount, shortfall);
    QFETCH(bool, ok);
    QFETCH(Amount, gross);
    QFETCH(int, row);
    const TaxEngine engine(kThresholdLocal);
    TaxItem item;
    QCOMPARE(bonus ? engine.grossFromNetBonus(net, shortfall, item) : engine.grossFromNetMonthly(net, item),
             ok);
    if (!ok)
        return;
    QCOMPARE(item.amount, gross);
    QCOMPARE(bracketIndex(item.bracket), row);
    QCOMPARE(item.afterTax, net);
    QCOMPARE(item.tax, gross - net);
    QVERIFY(item.tax >= 0);
    // The forward calculation maps the gross back to the net, up to the rounding of one tax.
    TaxItem check;
    check.amount = gross;
    TaxItem monthly;
    monthly.amount = kThresholdLocal + shortfall;
    if (bonus)
        engine.calcBonus(&check, &monthly);
    else
        engine.calcMonthly(&check);
    QVERIFY2(qAbs(check.afterTax - net) <= 1, qPrintable(QString::number(check.afterTax)));
}

void TestPlanning::inverseOperations()
{
    const TaxEngine engine(kThresholdLocal);
    {
        PlanResults r;
        QVERIFY(engine.grossFromNetMonthAndBonus(500000, 1000000, 0, r));
        QCOMPARE(r.size(), std::size_t(1));
        QCOMPARE(r[0]->monthly->amount, Amount(505000));
        QCOMPARE(r[0]->bonus->amount, Amount(1030928));
        QCOMPARE(r[0]->taxTotal, Amount(90928));
        QCOMPARE(r[0]->grossTotal, Amount(7090928));
        QCOMPARE(r[0]->netTotal, Amount(7000000));
        QVERIFY(r[0]->processText.isEmpty());
    }
    {
        // Only the bonus: the wage stays a zero item without a row.
        PlanResults r;
        QVERIFY(engine.grossFromNetMonthAndBonus(0, 1746000, 0, r));
        QCOMPARE(r[0]->monthly->amount, Amount(0));
        QCOMPARE(r[0]->monthly->bracket, nullptr);
        // With no wage the whole threshold is left over for the bonus.
        QCOMPARE(r[0]->bonus->amount, Amount(1789175));
    }
    {
        PlanResults r;
        QVERIFY(!engine.grossFromNetMonthAndBonus(0, 0, 0, r));
        QVERIFY(r.empty());
        QVERIFY(!engine.planFromNetAnnual(0, 0, r));
        QVERIFY(r.empty());
        // A pre-tax year too small for a fen a month still shows a wage of 0, not no wage.
        QVERIFY(engine.planFromGrossAnnual(5, 0, r));
        QVERIFY(r[0]->monthly);
        QCOMPARE(r[0]->monthly->amount, Amount(0));
        QCOMPARE(r[0]->taxTotal, Amount(0));
    }
    {
        // 12 × 3500 net: nothing to plan, the plain year of wages comes back.
        PlanResults r;
        QVERIFY(engine.planFromNetAnnual(4200000, 0, r));
        QCOMPARE(r.size(), std::size_t(1));
        QCOMPARE(r[0]->monthly->amount, Amount(350000));
        QVERIFY(!r[0]->bonus);
        QCOMPARE(r[0]->months, 12);
        QCOMPARE(r[0]->taxTotal, Amount(0));
    }
    {
        // 120000 a year as wages: goal 0 moves part of it into a bonus and raises the net.
        PlanResults r;
        QVERIFY(engine.planFromGrossAnnual(12000000, 0, r));
        QVERIFY(r[0]->bonus);
        QVERIFY(r[0]->netIncrease > 0);
        QCOMPARE(r[0]->taxableTotal, Amount(12000000));
    }
    {
        PlanResults r;
        QVERIFY(engine.planFromNetAnnual(24000000, 1200000, r));
        QCOMPARE(r[0]->insurance, Amount(100000));
        QCOMPARE(r[0]->monthlyGross, r[0]->monthly->amount + 100000);
        QVERIFY(r[0]->costDecrease > 0);
    }
}

void TestPlanning::apportionment_data()
{
    QTest::addColumn<Amount>("wage");
    QTest::addColumn<Amount>("insurance");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<int>("months");
    QTest::addColumn<Amount>("share");
    QTest::addColumn<Amount>("taxBefore");
    QTest::addColumn<Amount>("netBefore");
    QTest::addColumn<Amount>("taxAfter");
    QTest::addColumn<Amount>("netAfter");
    QTest::newRow("5800 and 6000 over 3")
        << Amount(580000) << Amount(0) << Amount(600000) << 3 << Amount(200000) << Amount(135500)
        << Amount(2204500) << Amount(97500) << Amount(2242500);
    QTest::newRow("one month changes nothing")
        << Amount(580000) << Amount(0) << Amount(600000) << 1 << Amount(600000) << Amount(110500)
        << Amount(1069500) << Amount(110500) << Amount(1069500);
    QTest::newRow("uneven share loses a fen")
        << Amount(100000) << Amount(0) << Amount(100000) << 3 << Amount(33333) << Amount(0) << Amount(400000)
        << Amount(0) << Amount(399999);
    QTest::newRow("no bonus") << Amount(580000) << Amount(0) << Amount(0) << 3 << Amount(0) << Amount(37500)
                              << Amount(1702500) << Amount(37500) << Amount(1702500);
    // The month without the bonus has nothing taxable left after insurance; spread out, every
    // month carries the insurance.
    QTest::newRow("insurance above wage")
        << Amount(100000) << Amount(300000) << Amount(600000) << 2 << Amount(300000) << Amount(1500)
        << Amount(398500) << Amount(0) << Amount(200000);
}

void TestPlanning::apportionment()
{
    QFETCH(Amount, wage);
    QFETCH(Amount, insurance);
    QFETCH(Amount, bonus);
    QFETCH(int, months);
    QFETCH(Amount, share);
    QFETCH(Amount, taxBefore);
    QFETCH(Amount, netBefore);
    QFETCH(Amount, taxAfter);
    QFETCH(Amount, netAfter);
    const Apportionment a = TaxEngine(kThresholdLocal).apportion(wage, insurance, bonus, months);
    QCOMPARE(a.share, share);
    QCOMPARE(a.taxBefore, taxBefore);
    QCOMPARE(a.netBefore, netBefore);
    QCOMPARE(a.taxAfter, taxAfter);
    QCOMPARE(a.netAfter, netAfter);
    QCOMPARE(a.taxDecrease, taxBefore - taxAfter);
    QCOMPARE(a.netIncrease, netAfter - netBefore);
    QCOMPARE(a.monthlyTaxable, qMax(Amount(0), wage - insurance));
    QCOMPARE(a.after.months, months);
}

// Over many generated salaries: every result keeps what its goal fixes and improves the other,
// as the forward calculation of its own items confirms, and no item shows a negative tax.
void TestPlanning::resultsAgreeWithForwardCalculation()
{
    QRandomGenerator rng(20261208);
    const int kCases = qEnvironmentVariableIntValue("LUMO_PLAN_CASES") > 0
                           ? qEnvironmentVariableIntValue("LUMO_PLAN_CASES")
                           : 3000;
    int checked = 0;
    for (int i = 0; i < kCases; ++i) {
        const qint32 threshold = rng.bounded(4) == 0 ? kThresholdForeign : kThresholdLocal;
        const Amount gross = rng.bounded(4) == 0 ? 0 : Amount(rng.bounded(5000000));
        const Amount insurance = Amount(rng.bounded(200000));
        const Amount bonus = rng.bounded(3) == 0 ? 0 : Amount(rng.bounded(100000000));
        const bool balanced = rng.bounded(2) == 0;
        const int months = balanced ? 1 + rng.bounded(12) : 1;
        const PlanGoal goal = rng.bounded(2) == 0 ? RaiseNet : LowerCost;
        Salary s = input(gross, insurance, bonus, months);
        PlanResults results;
        TaxEngine(threshold).plan(s, results, goal, balanced, months);
        const QByteArray what =
            QStringLiteral("threshold %1 gross %2 insurance %3 bonus %4 months %5 goal %6 %7")
                .arg(threshold)
                .arg(gross)
                .arg(insurance)
                .arg(bonus)
                .arg(months)
                .arg(int(goal))
                .arg(balanced ? QStringLiteral("balanced") : QStringLiteral("bonus only"))
                .toUtf8();
        // Rounding the derived monthly part moves the total by at most about a fen per month.
        const Amount slack = 2 * months + 2;
        for (const auto &r : results) {
            ++checked;
            const Salary f = forward(*r, threshold);
            for (const auto *pair : {&r->monthly, &r->bonus}) {
                if (*pair)
                    QVERIFY2((*pair)->tax >= 0, what.constData());
            }
            QVERIFY2(qAbs(Salary::taxOf(f.monthly) - Salary::taxOf(r->monthly)) <= 1, what.constData());
            QVERIFY2(qAbs(Salary::taxOf(f.bonus) - Salary::taxOf(r->bonus)) <= 1, what.constData());
            if (goal == LowerCost) {
                QVERIFY2(f.netTotal >= s.netTotal - slack, what.constData());
                QVERIFY2(f.taxableTotal < s.taxableTotal, what.constData());
            } else {
                QVERIFY2(f.taxableTotal <= s.taxableTotal + slack, what.constData());
                // A split whose only gain is the rounding of the derived wage may come back; it
                // must never leave the employee worse off beyond that rounding.
                QVERIFY2(f.netTotal > s.netTotal - slack, what.constData());
            }
        }
    }
    QVERIFY(checked > 500);
}

// The gross wage and bonus found from random after-tax amounts are taxed forward back to those
// amounts, up to the rounding of one tax, whatever the threshold leaves over for the bonus.
void TestPlanning::inverseAgreesWithForwardCalculation()
{
    QRandomGenerator rng(42);
    for (int i = 0; i < 20000; ++i) {
        const qint32 threshold = rng.bounded(2) ? kThresholdForeign : kThresholdLocal;
        const Amount netMonthly =
            rng.bounded(3) == 0 ? Amount(rng.bounded(500000)) : Amount(rng.bounded(20000000));
        const Amount netBonus = Amount(rng.bounded(rng.bounded(2) ? 1000000 : 200000000));
        const TaxEngine engine(threshold);
        PlanResults results;
        if (!engine.grossFromNetMonthAndBonus(netMonthly, netBonus, 0, results))
            continue;
        const PlanResult &r = *results.front();
        Salary f;
        f.setMonthly(r.monthlyGross, 0, 12);
        f.setBonus(r.bonus->amount);
        engine.calculate(f);
        const QByteArray what = QStringLiteral("threshold %1 net monthly %2 net bonus %3")
                                    .arg(threshold)
                                    .arg(netMonthly)
                                    .arg(netBonus)
                                    .toUtf8();
        QVERIFY2(r.monthly->tax >= 0 && r.bonus->tax >= 0, what.constData());
        if (netMonthly > 0)
            QVERIFY2(qAbs(f.monthly->afterTax - netMonthly) <= 1, what.constData());
        if (netBonus > 0)
            QVERIFY2(qAbs(f.bonus->afterTax - netBonus) <= 1, what.constData());
    }
}

QTEST_APPLESS_MAIN(TestPlanning)
#include "tst_planning.moc"
