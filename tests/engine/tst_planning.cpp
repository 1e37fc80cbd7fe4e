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
    void inverseTotals_data();
    void inverseTotals();
    void apportionment_data();
    void apportionment();
    void insuranceAboveWage_data();
    void insuranceAboveWage();
    void examplesAddUp_data();
    void examplesAddUp();
    void resultsAgreeWithForwardCalculation_data();
    void resultsAgreeWithForwardCalculation();
    void inverseAgreesWithForwardCalculation_data();
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
        // The fixed quantity holds as an inequality: the fen the rounding leaves go to no one.
        if (goal == 1)
            QVERIFY(r->netTotal >= s.netTotal);
        else
            QVERIFY(r->taxableTotal <= s.taxableTotal);
        QCOMPARE(r->taxableTotal, Salary::amountOf(r->monthly) * months + Salary::amountOf(r->bonus));
        QCOMPARE(r->netTotal, Salary::afterTaxOf(r->monthly) * months + Salary::afterTaxOf(r->bonus));
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
        text.endsWith(QStringLiteral("三、节税筹划效果\n    税后收入增加=1,154.1元\n    单位开支减少=1元\n"
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
    // The item is exactly what the forward calculation makes of its gross.
    TaxItem check;
    check.amount = gross;
    TaxItem monthly;
    monthly.amount = kThresholdLocal + shortfall;
    if (bonus)
        engine.calcBonus(&check, &monthly);
    else
        engine.calcMonthly(&check);
    QCOMPARE(check.tax, item.tax);
    QCOMPARE(check.afterTax, item.afterTax);
    QCOMPARE(check.bracket, item.bracket);
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

void TestPlanning::inverseTotals_data()
{
    // mode 0: net annual, 1: gross annual, 2: net month and net bonus (first and second amount)
    QTest::addColumn<int>("mode");
    QTest::addColumn<Amount>("first");
    QTest::addColumn<Amount>("second");
    QTest::addColumn<Amount>("employerInsurance");
    QTest::addColumn<Amount>("annualTax");
    QTest::addColumn<Amount>("employerShown");
    QTest::addColumn<Amount>("employerExpense");
    QTest::newRow("month and bonus: expense is contributions plus gross total")
        << 2 << Amount(500000) << Amount(1000000) << Amount(1200000) << Amount(90928) << Amount(1200000)
        << Amount(8290928);
    QTest::newRow("month and bonus without contributions")
        << 2 << Amount(500000) << Amount(1000000) << Amount(0) << Amount(90928) << Amount(0)
        << Amount(7090928);
    QTest::newRow("net year of 12 × 3500: no tax, the wages are the expense")
        << 0 << Amount(4200000) << Amount(0) << Amount(60000) << Amount(0) << Amount(60000)
        << Amount(4260000);
    QTest::newRow("no net year: zeros, contributions not shown either")
        << 0 << Amount(0) << Amount(0) << Amount(500000) << Amount(0) << Amount(0) << Amount(0);
    QTest::newRow("no net month nor bonus: zeros")
        << 2 << Amount(0) << Amount(0) << Amount(99999999999) << Amount(0) << Amount(0) << Amount(0);
    QTest::newRow("gross year of 5 fen: a result of zeros, contributions kept")
        << 1 << Amount(5) << Amount(0) << Amount(100) << Amount(0) << Amount(100) << Amount(100);
    QTest::newRow("largest inputs do not overflow")
        << 1 << Amount(99999999999) << Amount(0) << Amount(99999999999) << Amount(-1) << Amount(99999999999)
        << Amount(-1);
}

void TestPlanning::inverseTotals()
{
    QFETCH(int, mode);
    QFETCH(Amount, first);
    QFETCH(Amount, second);
    QFETCH(Amount, employerInsurance);
    QFETCH(Amount, annualTax);
    QFETCH(Amount, employerShown);
    QFETCH(Amount, employerExpense);
    const TaxEngine engine(kThresholdLocal);
    PlanResults results;
    if (mode == 0)
        engine.planFromNetAnnual(first, 0, results);
    else if (mode == 1)
        engine.planFromGrossAnnual(first, 0, results);
    else
        engine.grossFromNetMonthAndBonus(first, second, 0, results);
    const InverseTotals totals =
        ::inverseTotals(results.empty() ? nullptr : results.front().get(), employerInsurance);
    if (annualTax >= 0)
        QCOMPARE(totals.annualTax, annualTax);
    else
        QCOMPARE(totals.annualTax, results.front()->taxTotal);
    QCOMPARE(totals.employerInsurance, employerShown);
    // -1: taken from the result itself (its tax, or contributions plus its gross total).
    if (employerExpense >= 0) {
        QCOMPARE(totals.employerExpense, employerExpense);
    } else {
        QVERIFY(results.front()->grossTotal > 0);
        QCOMPARE(totals.employerExpense, employerInsurance + results.front()->grossTotal);
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
    // The fen N does not divide go to the bonus's own month: nothing is lost or paid twice.
    QTest::newRow("uneven share: the fen left over go to the bonus's month")
        << Amount(100000) << Amount(0) << Amount(100000) << 3 << Amount(33333) << Amount(0) << Amount(400000)
        << Amount(0) << Amount(400000);
    QTest::newRow("6500 over 3: 2166.66 twice and 2166.68")
        << Amount(650000) << Amount(0) << Amount(650000) << 3 << Amount(216666) << Amount(176000)
        << Amount(2424000) << Amount(143500) << Amount(2456500);
    QTest::newRow("100 over 12: the tax saved is the net gained")
        << Amount(500000) << Amount(0) << Amount(10000) << 12 << Amount(833) << Amount(55000)
        << Amount(5955000) << Amount(54997) << Amount(5955003);
    QTest::newRow("no bonus") << Amount(580000) << Amount(0) << Amount(0) << 3 << Amount(0) << Amount(37500)
                              << Amount(1702500) << Amount(37500) << Amount(1702500);
    // The month without the bonus has nothing taxable left after insurance, but the insurance above
    // its wage is still paid: the net before counts it, so the gain is the tax saved.
    QTest::newRow("insurance above wage")
        << Amount(100000) << Amount(300000) << Amount(600000) << 2 << Amount(300000) << Amount(1500)
        << Amount(198500) << Amount(0) << Amount(200000);
    QTest::newRow("insurance above wage, 4 months")
        << Amount(580000) << Amount(700000) << Amount(600000) << 4 << Amount(150000) << Amount(3900)
        << Amount(116100) << Amount(0) << Amount(120000);
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
    // The shares add up to the bonus; the months paid only their share, and the bonus's own month
    // when it takes the fen left over, are the N months.
    QCOMPARE(a.share * months + a.remainder, bonus);
    QVERIFY(a.remainder >= 0 && a.remainder < months);
    QCOMPARE(a.after.months + (a.remainder > 0 ? 1 : 0), months);
    QCOMPARE(a.after.grossTotal + a.afterBonusMonth.grossTotal,
             a.bonusMonth.grossTotal + a.otherMonths.grossTotal);
    QCOMPARE(a.netIncrease, a.taxDecrease);
    QCOMPARE(a.processText.contains(u"除不尽的"), a.remainder > 0);
}

// Wage 8,000 with 三险一金 9,000: the employer pays the wages and the bonus, 196,000 a year with
// a bonus of 100,000; a plan never pays more and never counts the month's shortfall as pay.
void TestPlanning::insuranceAboveWage_data()
{
    QTest::addColumn<int>("goal");
    QTest::addColumn<bool>("balanced");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<Amount>("monthlyGross"); // of the result
    QTest::addColumn<Amount>("newBonus");
    QTest::addColumn<Amount>("grossTotal");
    QTest::addColumn<Amount>("costDecrease");
    QTest::addColumn<Amount>("netIncrease");
    QTest::newRow("balanced over 12, goal 0: 196,000 paid as before, less 4 fen")
        << 0 << true << Amount(10000000) << Amount(1483333) << Amount(1800000) << Amount(19599996)
        << Amount(4) << Amount(1666500);
    QTest::newRow("balanced over 12, goal 1: the net of 69,255 kept")
        << 1 << true << Amount(10000000) << Amount(1334149) << Amount(1800000) << Amount(17809788)
        << Amount(1790212) << Amount(0);
    QTest::newRow("bonus only, goal 0: the wage stays below its insurance")
        << 0 << false << Amount(2150100) << Amount(800000) << Amount(2150000) << Amount(2950000)
        << Amount(100) << Amount(115410);
    QTest::newRow("bonus only, goal 1") << 1 << false << Amount(2150100) << Amount(800000) << Amount(2031021)
                                        << Amount(2831021) << Amount(119079) << Amount(0);
}

void TestPlanning::insuranceAboveWage()
{
    QFETCH(int, goal);
    QFETCH(bool, balanced);
    QFETCH(Amount, bonus);
    QFETCH(Amount, monthlyGross);
    QFETCH(Amount, newBonus);
    QFETCH(Amount, grossTotal);
    QFETCH(Amount, costDecrease);
    QFETCH(Amount, netIncrease);
    const TaxEngine engine(kThresholdLocal);
    const int months = balanced ? 12 : 1;
    Salary s = input(800000, 900000, bonus, months);
    PlanResults results;
    QVERIFY(engine.plan(s, results, PlanGoal(goal), balanced, months));
    // Before: no taxable wage, and a net that is what is paid less insurance and tax.
    QCOMPARE(s.monthly->amount, Amount(0));
    QCOMPARE(s.netTotal, s.grossTotal - 900000 * months - s.taxTotal);
    QVERIFY(s.processText.contains(u"=8,000-9,000<0，按0计算\n"));
    const PlanResult &r = *results.front();
    QCOMPARE(r.monthlyGross, monthlyGross);
    QCOMPARE(r.monthly->amount, qMax(Amount(0), monthlyGross - 900000));
    QCOMPARE(Salary::amountOf(r.bonus), newBonus);
    QCOMPARE(r.grossTotal, grossTotal);
    QCOMPARE(r.costDecrease, costDecrease);
    QCOMPARE(r.netIncrease, netIncrease);
    QCOMPARE(r.costDecrease, s.grossTotal - r.grossTotal);
    QCOMPARE(r.netIncrease, r.taxDecrease - r.costDecrease); // the insurance is the same
}

namespace {

// How many generated cases a property test runs: `fallback`, or the count the environment asks
// for (the sanitizer run asks for fewer).
int caseCount(const char *variable, int fallback)
{
    const int asked = qEnvironmentVariableIntValue(variable);
    return asked > 0 ? asked : fallback;
}

// An amount near a twelvefold row bound (where the bonus blind zones begin), or anywhere.
Amount generatedBonus(QRandomGenerator &rng)
{
    static const Amount kTwelvefoldBounds[] = {1800000, 5400000, 10800000, 42000000, 66000000, 96000000};
    switch (rng.bounded(4)) {
    case 0:
        return 0;
    case 1:
        return kTwelvefoldBounds[rng.bounded(6)] + rng.bounded(20001) - 10000;
    default:
        return Amount(rng.bounded(rng.bounded(2) ? 5000000 : 100000000));
    }
}

// The first way in which `r`, a result of planning or inverting, is not a payroll that adds up:
// each item is taxed exactly as the forward calculation taxes it (the bonus against the result's
// own wage), no tax is negative, and the totals are the sums of the rows. Empty when it is one.
QString notAPayroll(const TaxEngine &engine, const PlanResult &r)
{
    TaxItem m = r.monthly ? *r.monthly : TaxItem();
    engine.calcMonthly(&m);
    if (r.monthly &&
        (m.tax != r.monthly->tax || m.afterTax != r.monthly->afterTax || m.bracket != r.monthly->bracket))
        return QStringLiteral("wage tax %1, forward %2").arg(r.monthly->tax).arg(m.tax);
    if (r.bonus) {
        TaxItem b = *r.bonus;
        engine.calcBonus(&b, r.monthly.get());
        if (b.tax != r.bonus->tax || b.afterTax != r.bonus->afterTax || b.bracket != r.bonus->bracket)
            return QStringLiteral("bonus tax %1, forward %2").arg(r.bonus->tax).arg(b.tax);
    }
    if (Salary::taxOf(r.monthly) < 0 || Salary::taxOf(r.bonus) < 0 || r.taxTotal < 0)
        return QStringLiteral("negative tax");
    const Amount n = r.months;
    // A wage below its insurance has taxable 0 (a candidate keeps the input's wage then).
    if (Salary::amountOf(r.monthly) != qMax(Amount(0), r.monthlyGross - r.insurance))
        return QStringLiteral("monthly taxable is not wage - insurance");
    // What the employee takes home is what is paid less insurance and tax.
    if (r.taxableTotal != Salary::amountOf(r.monthly) * n + Salary::amountOf(r.bonus) ||
        r.grossTotal != r.monthlyGross * n + Salary::amountOf(r.bonus) ||
        r.taxTotal != Salary::taxOf(r.monthly) * n + Salary::taxOf(r.bonus) + Salary::taxOf(r.annuity) ||
        r.netTotal != r.grossTotal - r.insurance * n - Salary::taxOf(r.monthly) * n - Salary::taxOf(r.bonus))
        return QStringLiteral("totals %1 / %2 are not the sum of the rows")
            .arg(r.taxableTotal)
            .arg(r.netTotal);
    return {};
}

// The first way in which `r` is not a sound planning result for `input` under `goal`.
QString notAPlanResult(const Salary &input, const PlanResult &r, PlanGoal goal)
{
    // The employer's cost is what it pays, wages and bonus.
    if (r.taxDecrease != input.taxTotal - r.taxTotal || r.costDecrease != input.grossTotal - r.grossTotal ||
        r.netIncrease != r.netTotal - input.netTotal)
        return QStringLiteral("differences do not follow from the totals");
    // The fixed quantity never moves the wrong way, and the gain is paid for by tax saved, never by
    // a fen of rounding.
    const Amount gain = goal == RaiseNet ? r.netIncrease : r.costDecrease;
    if (goal == RaiseNet && r.grossTotal > input.grossTotal)
        return QStringLiteral("costs %1 more").arg(r.grossTotal - input.grossTotal);
    if (goal == LowerCost && r.netTotal < input.netTotal)
        return QStringLiteral("pays %1 less").arg(input.netTotal - r.netTotal);
    if (gain <= 0 || gain > r.taxDecrease)
        return QStringLiteral("gain %1 with tax saved %2").arg(gain).arg(r.taxDecrease);
    return {};
}

} // namespace

// The cases in which rounding used to leave fen that belong to no row: the results are payrolls
// whose totals are the sums of their rows.
void TestPlanning::examplesAddUp_data()
{
    QTest::addColumn<bool>("fromNetAnnual"); // else a balanced plan of gross and bonus
    QTest::addColumn<qint32>("threshold");
    QTest::addColumn<Amount>("gross"); // the net annual amount when inverting
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<int>("goal");
    QTest::addColumn<Amount>("wage");
    QTest::addColumn<Amount>("newBonus");
    QTest::addColumn<Amount>("taxableTotal");
    QTest::addColumn<Amount>("netTotal");
    QTest::addColumn<Amount>("taxTotal");
    QTest::newRow("8000 and 18001, goal 0, N 12: 12 rows and the bonus, 4 fen below the cost")
        << false << kThresholdLocal << Amount(800000) << Amount(1800100) << 0 << Amount(800008)
        << Amount(1800000) << Amount(11400096) << Amount(10932072) << Amount(468024);
    QTest::newRow("4800, 383.43 and 40577.15, goal 1, N 12: all wage, no negative tax")
        << false << kThresholdForeign << Amount(38343) << Amount(4057715) << 1 << Amount(347228) << Amount(0)
        << Amount(4166736) << Amount(4166736) << Amount(0);
    QTest::newRow("net annual 100000 pays 100000.08")
        << true << kThresholdLocal << Amount(10000000) << Amount(0) << 1 << Amount(713704) << Amount(1800000)
        << Amount(10364448) << Amount(10000008) << Amount(364440);
}

void TestPlanning::examplesAddUp()
{
    QFETCH(bool, fromNetAnnual);
    QFETCH(qint32, threshold);
    QFETCH(Amount, gross);
    QFETCH(Amount, bonus);
    QFETCH(int, goal);
    QFETCH(Amount, wage);
    QFETCH(Amount, newBonus);
    QFETCH(Amount, taxableTotal);
    QFETCH(Amount, netTotal);
    QFETCH(Amount, taxTotal);
    const TaxEngine engine(threshold);
    Salary s = input(gross, 0, bonus, 12);
    PlanResults results;
    if (fromNetAnnual)
        QVERIFY(engine.planFromNetAnnual(gross, 0, results));
    else
        QVERIFY(engine.plan(s, results, PlanGoal(goal), true, 12));
    const PlanResult &r = *results.front();
    QCOMPARE(notAPayroll(engine, r), QString());
    if (!fromNetAnnual)
        QCOMPARE(notAPlanResult(s, r, PlanGoal(goal)), QString());
    QCOMPARE(r.monthly->amount, wage);
    QCOMPARE(Salary::amountOf(r.bonus), newBonus);
    QCOMPARE(r.taxableTotal, taxableTotal);
    QCOMPARE(r.netTotal, netTotal);
    QCOMPARE(r.taxTotal, taxTotal);
    if (fromNetAnnual)
        QVERIFY(r.netTotal >= gross);
}

// Over many generated salaries, every planning result is a payroll that adds up and keeps what its
// goal fixes, exactly, to the fen.
void TestPlanning::resultsAgreeWithForwardCalculation_data()
{
    QTest::addColumn<int>("goal");
    QTest::addColumn<bool>("balanced");
    QTest::addColumn<qint32>("threshold");
    QTest::addColumn<int>("share"); // of the cases, in parts of 40
    for (const int goal : {0, 1}) {
        for (const bool balanced : {true, false}) {
            for (const qint32 threshold : {kThresholdLocal, kThresholdForeign}) {
                const QByteArray name =
                    QStringLiteral("goal %1, %2, threshold %3")
                        .arg(goal)
                        .arg(balanced ? QStringLiteral("balanced N 1-12") : QStringLiteral("bonus only"))
                        .arg(threshold / 100)
                        .toUtf8();
                QTest::newRow(name.constData()) << goal << balanced << threshold << (balanced ? 7 : 3);
            }
        }
    }
}

void TestPlanning::resultsAgreeWithForwardCalculation()
{
    QFETCH(int, goal);
    QFETCH(bool, balanced);
    QFETCH(qint32, threshold);
    QFETCH(int, share);
    const int cases = caseCount("LUMO_PLAN_CASES", 20000) * share / 40;
    QRandomGenerator rng(20261208u + quint32(goal * 4 + balanced * 2) + quint32(threshold));
    const TaxEngine engine(threshold);
    int checked = 0;
    for (int i = 0; i < cases; ++i) {
        const Amount gross =
            rng.bounded(5) == 0 ? 0 : Amount(rng.bounded(rng.bounded(2) ? 1500000 : 6000000));
        Amount insurance = rng.bounded(3) == 0 ? Amount(rng.bounded(300000)) : 0;
        Amount bonus = generatedBonus(rng);
        // In one case of six the insurance exceeds the wage (by at least a yuan); the whole threshold
        // then falls on the bonus, which moves its blind zones up by as much.
        if (i % 6 == 5) {
            insurance += gross + 100;
            if (bonus > 0)
                bonus += threshold;
        }
        const int months = balanced ? 1 + i % 12 : 1;
        Salary s = input(gross, insurance, bonus, months);
        PlanResults results;
        engine.plan(s, results, PlanGoal(goal), balanced, months);
        const QString what = QStringLiteral("gross %1 insurance %2 bonus %3 N %4: ")
                                 .arg(gross)
                                 .arg(insurance)
                                 .arg(bonus)
                                 .arg(months);
        for (const auto &r : results) {
            ++checked;
            QString fault = notAPayroll(engine, *r);
            if (fault.isEmpty())
                fault = notAPlanResult(s, *r, PlanGoal(goal));
            if (fault.isEmpty() && r->months != months)
                fault = QStringLiteral("months %1").arg(r->months);
            if (fault.isEmpty() && (goal == 0 ? r->netIncrease != results.front()->netIncrease
                                              : r->costDecrease != results.front()->costDecrease))
                fault = QStringLiteral("results do not tie");
            QVERIFY2(fault.isEmpty(), qPrintable(what + fault));
        }
    }
    QVERIFY(checked > cases / 10);
}

// Over many generated after-tax and pre-tax amounts, every inverse result is a payroll that adds
// up; from an after-tax amount it never pays less than was asked.
void TestPlanning::inverseAgreesWithForwardCalculation_data()
{
    QTest::addColumn<int>("mode"); // 0 month and bonus, 1 net annual, 2 gross annual
    QTest::addColumn<qint32>("threshold");
    QTest::addColumn<int>("share"); // of the cases, in parts of 20
    const char *const names[] = {"net month and bonus", "net annual", "gross annual"};
    const int shares[] = {5, 3, 2};
    for (int mode = 0; mode < 3; ++mode) {
        for (const qint32 threshold : {kThresholdLocal, kThresholdForeign}) {
            const QByteArray name = QStringLiteral("%1, threshold %2")
                                        .arg(QLatin1String(names[mode]))
                                        .arg(threshold / 100)
                                        .toUtf8();
            QTest::newRow(name.constData()) << mode << threshold << shares[mode];
        }
    }
}

void TestPlanning::inverseAgreesWithForwardCalculation()
{
    QFETCH(int, mode);
    QFETCH(qint32, threshold);
    QFETCH(int, share);
    const int cases = caseCount("LUMO_INVERSE_CASES", 10000) * share / 20;
    QRandomGenerator rng(42u + quint32(mode) + quint32(threshold));
    const TaxEngine engine(threshold);
    for (int i = 0; i < cases; ++i) {
        const Amount monthlyAsked =
            rng.bounded(3) == 0 ? Amount(rng.bounded(600000)) : Amount(rng.bounded(20000000));
        const Amount bonusAsked =
            rng.bounded(5) == 0 ? 0 : Amount(rng.bounded(rng.bounded(2) ? 2000000 : 200000000));
        const Amount annual = rng.bounded(2) ? Amount(rng.bounded(30000000)) : Amount(rng.bounded(300000000));
        PlanResults results;
        bool ok = false;
        if (mode == 0)
            ok = engine.grossFromNetMonthAndBonus(monthlyAsked, bonusAsked, 0, results);
        else if (mode == 1)
            ok = engine.planFromNetAnnual(annual, 0, results);
        else
            ok = engine.planFromGrossAnnual(annual, 0, results);
        const QString what =
            mode == 0 ? QStringLiteral("net monthly %1 net bonus %2: ").arg(monthlyAsked).arg(bonusAsked)
                      : QStringLiteral("annual %1: ").arg(annual);
        QCOMPARE(ok, !results.empty());
        for (const auto &r : results) {
            QString fault = notAPayroll(engine, *r);
            if (fault.isEmpty() && r->months != 12)
                fault = QStringLiteral("months %1").arg(r->months);
            if (fault.isEmpty() && mode == 0) {
                if (monthlyAsked > 0 && r->monthly->afterTax < monthlyAsked)
                    fault = QStringLiteral("month pays %1").arg(r->monthly->afterTax);
                else if (bonusAsked > 0 && r->bonus->afterTax < bonusAsked)
                    fault = QStringLiteral("bonus pays %1").arg(r->bonus->afterTax);
            }
            if (fault.isEmpty() && mode == 1 && r->netTotal < annual)
                fault = QStringLiteral("the year pays %1").arg(r->netTotal);
            // The plain year of wages: every month pays at least its twelfth, rounded up.
            if (fault.isEmpty() && mode == 1 && !r->bonus && r->monthly->afterTax < (annual + 11) / 12)
                fault = QStringLiteral("a month pays %1").arg(r->monthly->afterTax);
            if (fault.isEmpty() && mode == 2 && r->costDecrease < 0)
                fault = QStringLiteral("costs %1 more").arg(-r->costDecrease);
            // Nothing better found: twelve wages of a twelfth each, adding up to what they add up to.
            if (fault.isEmpty() && mode == 2 && r->netIncrease == 0 && r->costDecrease == 0 &&
                r->monthly->amount != roundHalfUp(static_cast<double>(annual) / 12.0))
                fault = QStringLiteral("a month of %1").arg(r->monthly->amount);
            QVERIFY2(fault.isEmpty(), qPrintable(what + fault));
        }
    }
}

QTEST_APPLESS_MAIN(TestPlanning)
#include "tst_planning.moc"
