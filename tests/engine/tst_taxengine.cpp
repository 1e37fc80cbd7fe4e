#include "engine/taxengine.h"

#include <QTest>

namespace {

// Amounts in the tables below are written in fen.
struct Figures
{
    Amount tax = -1;
    Amount afterTax = -1;
    int row = -2; // -1: no row
};

Salary make(Amount gross, Amount insurance, Amount bonus, Amount annuity, int months = 1)
{
    Salary s;
    s.setMonthly(gross, insurance, months);
    s.setBonus(bonus);
    s.setAnnuity(annuity);
    return s;
}

} // namespace

class TestTaxEngine : public QObject
{
    Q_OBJECT

private slots:
    void monthly_data();
    void monthly();
    void bonus_data();
    void bonus();
    void annuity_data();
    void annuity();
    void shortfall_data();
    void shortfall();
    void totals_data();
    void totals();
    void setters();
    void recalculationStartsFromNoRow();
    void absentItemsAreLeftAlone();
    void copiesAreDeep();
    void planResultDifferences();
    void planningRecomputations();
};

void TestTaxEngine::monthly_data()
{
    QTest::addColumn<qint32>("threshold");
    QTest::addColumn<Amount>("gross");
    QTest::addColumn<Amount>("insurance");
    QTest::addColumn<Amount>("tax");
    QTest::addColumn<Amount>("afterTax");
    QTest::addColumn<int>("row");
    QTest::newRow("10000 less 1000: 20 %")
        << kThresholdLocal << Amount(1000000) << Amount(100000) << Amount(54500) << Amount(845500) << 2;
    QTest::newRow("3000: below threshold")
        << kThresholdLocal << Amount(300000) << Amount(0) << Amount(0) << Amount(300000) << -1;
    QTest::newRow("exactly threshold")
        << kThresholdLocal << Amount(350000) << Amount(0) << Amount(0) << Amount(350000) << -1;
    QTest::newRow("threshold + 1 fen") << kThresholdLocal << Amount(350001) << Amount(0) << Amount(0)
                                       << Amount(350001) << 0; // 3 % of 1 fen rounds to 0
    QTest::newRow("threshold + 17 fen") << kThresholdLocal << Amount(350017) << Amount(0) << Amount(1)
                                        << Amount(350016) << 0; // 0.51 fen rounds up
    QTest::newRow("foreign threshold") << kThresholdForeign << Amount(1000000) << Amount(100000)
                                       << Amount(31500) << Amount(868500) << 1; // 4200 × 10 % − 105
    QTest::newRow("insurance above gross")
        << kThresholdLocal << Amount(200000) << Amount(300000) << Amount(0) << Amount(0) << -1;
    QTest::newRow("top row") << kThresholdLocal << Amount(10000000) << Amount(0) << Amount(2992000)
                             << Amount(7008000) << 6; // 96500 × 45 % − 13505
}

void TestTaxEngine::monthly()
{
    QFETCH(qint32, threshold);
    QFETCH(Amount, gross);
    QFETCH(Amount, insurance);
    QFETCH(Amount, tax);
    QFETCH(Amount, afterTax);
    QFETCH(int, row);
    Salary s = make(gross, insurance, 0, 0);
    TaxEngine(threshold).calculate(s);
    QVERIFY(s.monthly);
    QCOMPARE(s.monthly->tax, tax);
    QCOMPARE(s.monthly->afterTax, afterTax);
    QCOMPARE(bracketIndex(s.monthly->bracket), row);
}

void TestTaxEngine::bonus_data()
{
    QTest::addColumn<qint32>("threshold");
    QTest::addColumn<Amount>("monthlyTaxable");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<Amount>("tax");
    QTest::addColumn<Amount>("afterTax");
    QTest::addColumn<int>("row");
    const qint32 T = kThresholdLocal;
    QTest::newRow("18000 stays at 3 %")
        << T << Amount(800000) << Amount(1800000) << Amount(54000) << Amount(1746000) << 0;
    QTest::newRow("18001 jumps to 10 %")
        << T << Amount(800000) << Amount(1800100) << Amount(169510) << Amount(1630590) << 1;
    QTest::newRow("18000.11: twelfth truncated, still 3 %")
        << T << Amount(800000) << Amount(1800011) << Amount(54000) << Amount(1746011) << 0;
    QTest::newRow("18000.12: 10 %") << T << Amount(800000) << Amount(1800012) << Amount(169501)
                                    << Amount(1630511) << 1;
    QTest::newRow("54000 at 10 %") << T << Amount(800000) << Amount(5400000) << Amount(529500)
                                   << Amount(4870500) << 1;
    QTest::newRow("108000 at 20 %") << T << Amount(800000) << Amount(10800000) << Amount(2104500)
                                    << Amount(8695500) << 2;
    QTest::newRow("420000 at 25 %") << T << Amount(800000) << Amount(42000000) << Amount(10399500)
                                    << Amount(31600500) << 3;
    QTest::newRow("660000 at 30 %") << T << Amount(800000) << Amount(66000000) << Amount(19524500)
                                    << Amount(46475500) << 4;
    QTest::newRow("960000 at 35 %") << T << Amount(800000) << Amount(96000000) << Amount(33049500)
                                    << Amount(62950500) << 5;
    QTest::newRow("shortfall 500 absorbed first")
        << T << Amount(300000) << Amount(6050000) << Amount(1144500) << Amount(4905500) << 2;
    QTest::newRow("no monthly: whole threshold deducted")
        << T << Amount(-1) << Amount(400000) << Amount(1500) << Amount(398500) << 0;
    QTest::newRow("foreign: 800 fully absorbed")
        << kThresholdForeign << Amount(400000) << Amount(80000) << Amount(0) << Amount(80000) << -1;
    QTest::newRow("taxable 11 fen: twelfth 0, no row")
        << T << Amount(800000) << Amount(11) << Amount(0) << Amount(11) << -1;
    QTest::newRow("taxable 12 fen: 1 fen twelfth")
        << T << Amount(800000) << Amount(12) << Amount(0) << Amount(12) << 0;
}

void TestTaxEngine::bonus()
{
    QFETCH(qint32, threshold);
    QFETCH(Amount, monthlyTaxable);
    QFETCH(Amount, bonus);
    QFETCH(Amount, tax);
    QFETCH(Amount, afterTax);
    QFETCH(int, row);
    // monthlyTaxable -1 means no monthly item at all.
    Salary s = make(monthlyTaxable < 0 ? 0 : monthlyTaxable, 0, bonus, 0);
    TaxEngine(threshold).calculate(s);
    QVERIFY(s.bonus);
    QCOMPARE(s.bonus->tax, tax);
    QCOMPARE(s.bonus->afterTax, afterTax);
    QCOMPARE(bracketIndex(s.bonus->bracket), row);
}

void TestTaxEngine::annuity_data()
{
    QTest::addColumn<Amount>("monthlyTaxable");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<Amount>("annuity");
    QTest::addColumn<Amount>("tax");
    QTest::addColumn<int>("row");
    QTest::newRow("shortfall partly left by the bonus")
        << Amount(200000) << Amount(50000) << Amount(300000) << Amount(9500) << 1;
    QTest::newRow("bonus absorbed all of the shortfall") << Amount(200000) << Amount(500000) << Amount(300000)
                                                         << Amount(19500) << 1; // the whole 3000 is taxed
    QTest::newRow("month above threshold: whole amount, no twelfth")
        << Amount(800000) << Amount(0) << Amount(300000) << Amount(19500)
        << 1; // 250 a month would have been 3 %
    QTest::newRow("no bonus: shortfall from the month")
        << Amount(300000) << Amount(0) << Amount(100000) << Amount(1500) << 0;
    QTest::newRow("annuity inside the shortfall")
        << Amount(300000) << Amount(0) << Amount(40000) << Amount(0) << -1;
}

void TestTaxEngine::annuity()
{
    QFETCH(Amount, monthlyTaxable);
    QFETCH(Amount, bonus);
    QFETCH(Amount, annuity);
    QFETCH(Amount, tax);
    QFETCH(int, row);
    Salary s = make(monthlyTaxable, 0, bonus, annuity);
    TaxEngine(kThresholdLocal).calculate(s);
    QVERIFY(s.annuity);
    QCOMPARE(bracketIndex(s.annuity->bracket), row);
    QCOMPARE(s.annuity->tax, tax);
    QCOMPARE(s.annuity->afterTax, annuity - tax);
}

void TestTaxEngine::shortfall_data()
{
    QTest::addColumn<qint32>("threshold");
    QTest::addColumn<bool>("hasMonthly");
    QTest::addColumn<Amount>("monthlyTaxable");
    QTest::addColumn<bool>("hasBonus");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<Amount>("shortfall");
    QTest::addColumn<Amount>("afterBonus");
    QTest::newRow("no wage: the whole threshold unused")
        << kThresholdLocal << false << Amount(0) << false << Amount(0) << Amount(-350000) << Amount(-350000);
    QTest::newRow("wage of 0 counts as no wage")
        << kThresholdLocal << true << Amount(0) << false << Amount(0) << Amount(-350000) << Amount(-350000);
    QTest::newRow("wage below the threshold") << kThresholdLocal << true << Amount(200000) << false
                                              << Amount(0) << Amount(-150000) << Amount(-150000);
    QTest::newRow("one fen below the threshold")
        << kThresholdLocal << true << Amount(349999) << false << Amount(0) << Amount(-1) << Amount(-1);
    QTest::newRow("exactly the threshold: nothing unused")
        << kThresholdLocal << true << Amount(350000) << true << Amount(0) << Amount(0) << Amount(0);
    QTest::newRow("above the threshold: never positive")
        << kThresholdLocal << true << Amount(900000) << true << Amount(100000) << Amount(0) << Amount(0);
    QTest::newRow("foreign threshold") << kThresholdForeign << true << Amount(350000) << false << Amount(0)
                                       << Amount(-130000) << Amount(-130000);
    QTest::newRow("bonus absorbs part of the shortfall")
        << kThresholdLocal << true << Amount(200000) << true << Amount(50000) << Amount(-150000)
        << Amount(-100000);
    QTest::newRow("bonus absorbs exactly the shortfall") << kThresholdLocal << true << Amount(200000) << true
                                                         << Amount(150000) << Amount(-150000) << Amount(0);
    QTest::newRow("bonus larger than the shortfall: 0 left, never positive")
        << kThresholdLocal << true << Amount(200000) << true << Amount(500000) << Amount(-150000)
        << Amount(0);
    QTest::newRow("bonus item of 0 absorbs nothing")
        << kThresholdLocal << true << Amount(300000) << true << Amount(0) << Amount(-50000) << Amount(-50000);
}

void TestTaxEngine::shortfall()
{
    QFETCH(qint32, threshold);
    QFETCH(bool, hasMonthly);
    QFETCH(Amount, monthlyTaxable);
    QFETCH(bool, hasBonus);
    QFETCH(Amount, bonus);
    QFETCH(Amount, shortfall);
    QFETCH(Amount, afterBonus);
    TaxItem monthly;
    monthly.amount = monthlyTaxable;
    TaxItem bonusItem;
    bonusItem.amount = bonus;
    const TaxEngine engine(threshold);
    QCOMPARE(engine.shortfall(hasMonthly ? &monthly : nullptr), shortfall);
    QCOMPARE(engine.shortfallAfterBonus(hasMonthly ? &monthly : nullptr, hasBonus ? &bonusItem : nullptr),
             afterBonus);
}

void TestTaxEngine::totals_data()
{
    QTest::addColumn<int>("months");
    QTest::addColumn<Amount>("annuity");
    QTest::addColumn<Amount>("grossTotal");
    QTest::addColumn<Amount>("taxableTotal");
    QTest::addColumn<Amount>("taxTotal");
    QTest::addColumn<Amount>("netTotal");
    // 10000 a month for 12 months (745 tax a month), bonus 30000 (2895 tax).
    QTest::newRow("12 months with bonus")
        << 12 << Amount(0) << Amount(15000000) << Amount(15000000) << Amount(1183500) << Amount(13816500);
    QTest::newRow("annuity changes the tax total only")
        << 12 << Amount(200000) << Amount(15000000) << Amount(15000000) << Amount(1183500 + 9500)
        << Amount(13816500);
    QTest::newRow("one month") << 1 << Amount(0) << Amount(4000000) << Amount(4000000) << Amount(364000)
                               << Amount(3636000);
}

void TestTaxEngine::totals()
{
    QFETCH(int, months);
    QFETCH(Amount, annuity);
    QFETCH(Amount, grossTotal);
    QFETCH(Amount, taxableTotal);
    QFETCH(Amount, taxTotal);
    QFETCH(Amount, netTotal);
    Salary s = make(1000000, 0, 3000000, annuity, months);
    TaxEngine(kThresholdLocal).calculate(s);
    QCOMPARE(s.annualGross, 1000000 * months);
    QCOMPARE(s.annualMonthlyTax, 74500 * months);
    QCOMPARE(s.annualMonthlyAfterTax, (1000000 - 74500) * months);
    QCOMPARE(s.grossTotal, grossTotal);
    QCOMPARE(s.taxableTotal, taxableTotal);
    QCOMPARE(s.taxTotal, taxTotal);
    QCOMPARE(s.netTotal, netTotal);
}

void TestTaxEngine::setters()
{
    Salary s;
    s.setMonthly(0, 0, 1);
    QVERIFY(!s.monthly);
    s.setMonthly(200000, 300000, 1);
    QVERIFY(s.monthly);
    QCOMPARE(s.monthly->amount, Amount(0));
    s.setBonus(100000);
    QVERIFY(s.bonus);
    s.setBonus(-5);
    QCOMPARE(s.bonus->amount, Amount(0));
    s.setBonus(0);
    QVERIFY(!s.bonus);
    s.setAnnuity(7);
    QCOMPARE(s.annuity->amount, Amount(7));
    s.setAnnuity(0);
    QVERIFY(!s.annuity);

    // Removing the bonus takes it out of the totals.
    Salary t = make(1000000, 0, 100000, 0);
    TaxEngine engine(kThresholdLocal);
    engine.calculate(t);
    QCOMPARE(t.grossTotal, Amount(1100000));
    t.setBonus(0);
    engine.calculate(t);
    QCOMPARE(t.grossTotal, Amount(1000000));
    QCOMPARE(t.taxableTotal, Amount(1000000));
}

void TestTaxEngine::recalculationStartsFromNoRow()
{
    TaxEngine engine(kThresholdLocal);
    Salary s = make(1000000, 0, 0, 0);
    engine.calculate(s);
    QCOMPARE(bracketIndex(s.monthly->bracket), 2);
    s.setMonthly(300000, 0, 1);
    engine.calculate(s);
    QCOMPARE(s.monthly->bracket, nullptr);
    QCOMPARE(s.monthly->tax, Amount(0));
    QCOMPARE(s.monthly->afterTax, Amount(300000));
    const QString once = s.processText;
    engine.calculate(s);
    QCOMPARE(s.processText, once);
}

void TestTaxEngine::absentItemsAreLeftAlone()
{
    TaxEngine engine(kThresholdLocal);
    engine.calcMonthly(nullptr);
    engine.calcBonus(nullptr, nullptr);
    engine.calcAnnuity(nullptr, nullptr, nullptr);
    Salary empty;
    engine.calculate(empty);
    QCOMPARE(empty.taxTotal, Amount(0));
    QCOMPARE(empty.netTotal, Amount(0));
    QVERIFY(!empty.processText.isEmpty());
}

void TestTaxEngine::copiesAreDeep()
{
    Salary s = make(1000000, 100000, 1800100, 300000, 12);
    TaxEngine(kThresholdLocal).calculate(s);
    Salary copy = s;
    QVERIFY(copy.monthly.get() != s.monthly.get());
    QCOMPARE(copy.monthly->bracket, s.monthly->bracket);
    QCOMPARE(copy.processText, s.processText);
    QCOMPARE(copy.taxTotal, s.taxTotal);
    QVERIFY(!copyItem(std::unique_ptr<TaxItem>()));
    const auto bonusCopy = copyItem(s.bonus);
    QVERIFY(bonusCopy && bonusCopy.get() != s.bonus.get());
    QCOMPARE(bonusCopy->afterTax, s.bonus->afterTax);
    QCOMPARE(Salary::rowOf(s.bonus), s.bonus->bracket);
    QVERIFY(!Salary::rowOf(std::unique_ptr<TaxItem>()));

    const PlanResult r(s);
    QVERIFY(r.processText.isEmpty());
    QVERIFY(r.bonus.get() != s.bonus.get());
    QCOMPARE(r.bonus->tax, s.bonus->tax);
    QCOMPARE(r.netTotal, s.netTotal);
    QCOMPARE(r.months, 12);
    QCOMPARE(r.taxDecrease, Amount(0));
    QCOMPARE(r.costDecrease, Amount(0));
    QCOMPARE(r.netIncrease, Amount(0));
}

void TestTaxEngine::planResultDifferences()
{
    TaxEngine engine(kThresholdLocal);
    Salary input = make(800000, 0, 1800100, 0);
    engine.calculate(input);
    PlanResult better;
    better.setMonthly(800100, 0, 1);
    better.setBonus(1800000);
    engine.calculate(better);
    setDifferences(input, better);
    QCOMPARE(better.taxDecrease, input.taxTotal - better.taxTotal);
    QCOMPARE(better.costDecrease, Amount(0));
    QCOMPARE(better.netIncrease, better.netTotal - input.netTotal);
    QVERIFY(better.taxDecrease > 0);
}

void TestTaxEngine::planningRecomputations()
{
    Salary s = make(1000000, 0, 3000000, 200000, 12);
    TaxEngine(kThresholdLocal).calculate(s);
    const Amount net = s.netTotal;
    const Amount tax = s.taxTotal;
    s.keepNetRecomputeTax();
    QCOMPARE(s.taxTotal, tax);
    QCOMPARE(s.netTotal, net);
    s.keepCostRecomputeNet();
    QCOMPARE(s.netTotal, net);
}

QTEST_APPLESS_MAIN(TestTaxEngine)
#include "tst_taxengine.moc"
