// The year-end bonus plan of a sheet row under the rules since 2019: the planned, merged and best
// figures at and around every blind zone (worked out apart from the program), the best split
// against a search of every yuan and every fen near the row bounds, the title matching and the
// result sheet.
#include "batch/importsetting.h"
#include "batch/yearplan.h"
#include "engine/currentrules.h"

#include <QRandomGenerator>
#include <QTest>

using namespace CurrentRules;

class TestYearPlan : public QObject
{
    Q_OBJECT

private slots:
    void blindZoneRows_data();
    void blindZoneRows();
    void bestAgainstBruteForce();
    void titles_data();
    void titles();
    void formulasFromSetting();
    void layout();
};

namespace {

SheetRecord recordOf(Amount wage, Amount insurance, Amount special, Amount other, Amount bonus)
{
    SheetRecord r;
    r.code = QStringLiteral("1");
    r.name = QStringLiteral("张三");
    r.amounts = {wage, insurance, special, other, bonus};
    return r;
}

} // namespace

void TestYearPlan::blindZoneRows_data()
{
    QTest::addColumn<Amount>("wage");
    QTest::addColumn<Amount>("insurance");
    QTest::addColumn<Amount>("special");
    QTest::addColumn<Amount>("other");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<Amount>("annual");
    QTest::addColumn<Amount>("deductions");
    QTest::addColumn<Amount>("plannedTax");
    QTest::addColumn<Amount>("mergedTax");
    QTest::addColumn<Amount>("bestBonus");
    QTest::addColumn<Amount>("bestTax");
    QTest::addColumn<int>("zone");
    QTest::newRow("36,000: bonus at the lower bound is outside")
        << 1000000LL << 100000LL << 200000LL << 0LL << 3600000LL << 15600000LL << 9600000LL << 180000LL
        << 348000LL << 2400000LL << 180000LL << -1;
    QTest::newRow("36,000: a fen above the lower bound is inside")
        << 1000000LL << 100000LL << 200000LL << 0LL << 3600001LL << 15600001LL << 9600000LL << 411000LL
        << 348000LL << 2400001LL << 180000LL << 0;
    QTest::newRow("36,000: bonus at the upper end is inside")
        << 1000000LL << 100000LL << 200000LL << 0LL << 3856667LL << 15856667LL << 9600000LL << 436667LL
        << 373667LL << 2656667LL << 187700LL << 0;
    QTest::newRow("36,000: a fen past the upper end is outside")
        << 1000000LL << 100000LL << 200000LL << 0LL << 3856668LL << 15856668LL << 9600000LL << 436667LL
        << 373667LL << 2656668LL << 187700LL << -1;
    QTest::newRow("144,000: bonus at the lower bound is outside")
        << 3000000LL << 300000LL << 100000LL << 50000LL << 14400000LL << 50400000LL << 11400000LL << 4647000LL
        << 6558000LL << 14400000LL << 4647000LL << -1;
    QTest::newRow("144,000: a fen above the lower bound is inside")
        << 3000000LL << 300000LL << 100000LL << 50000LL << 14400001LL << 50400001LL << 11400000LL << 5967000LL
        << 6558000LL << 14400000LL << 4647000LL << 1;
    QTest::newRow("144,000: bonus at the upper end is inside")
        << 3000000LL << 300000LL << 100000LL << 50000LL << 16050000LL << 52050000LL << 11400000LL << 6297000LL
        << 6970500LL << 14400000LL << 4977000LL << 1;
    QTest::newRow("144,000: a fen past the upper end is outside")
        << 3000000LL << 300000LL << 100000LL << 50000LL << 16050001LL << 52050001LL << 11400000LL << 6297000LL
        << 6970500LL << 14400000LL << 4977000LL << -1;
    QTest::newRow("300,000: bonus at the lower bound is outside")
        << 5000000LL << 500000LL << 300000LL << 0LL << 30000000LL << 90000000LL << 15600000LL << 13887000LL
        << 17448000LL << 30000000LL << 13887000LL << -1;
    QTest::newRow("300,000: a fen above the lower bound is inside")
        << 5000000LL << 500000LL << 300000LL << 0LL << 30000001LL << 90000001LL << 15600000LL << 15262000LL
        << 17448000LL << 30000000LL << 13887000LL << 2;
    QTest::newRow("300,000: bonus at the upper end is inside")
        << 5000000LL << 500000LL << 300000LL << 0LL << 31833333LL << 91833333LL << 15600000LL << 15720333LL
        << 18089667LL << 30000000LL << 14437000LL << 2;
    QTest::newRow("300,000: a fen past the upper end is outside")
        << 5000000LL << 500000LL << 300000LL << 0LL << 31833334LL << 91833334LL << 15600000LL << 15720334LL
        << 18089667LL << 30000000LL << 14437000LL << -1;
    QTest::newRow("420,000: bonus at the lower bound is outside")
        << 6000000LL << 500000LL << 0LL << 0LL << 42000000LL << 114000000LL << 12000000LL << 22942000LL
        << 27708000LL << 30000000LL << 22467000LL << -1;
    QTest::newRow("420,000: a fen above the lower bound is inside")
        << 6000000LL << 500000LL << 0LL << 0LL << 42000001LL << 114000001LL << 12000000LL << 24867000LL
        << 27708000LL << 30000000LL << 22467000LL << 3;
    QTest::newRow("420,000: bonus at the upper end is inside")
        << 6000000LL << 500000LL << 0LL << 0LL << 44750000LL << 116750000LL << 12000000LL << 25692000LL
        << 28945500LL << 30000000LL << 23429500LL << 3;
    QTest::newRow("420,000: a fen past the upper end is outside")
        << 6000000LL << 500000LL << 0LL << 0LL << 44750001LL << 116750001LL << 12000000LL << 25692000LL
        << 28945500LL << 30000000LL << 23429500LL << -1;
    QTest::newRow("660,000: bonus at the lower bound is outside")
        << 8000000LL << 600000LL << 0LL << 100000LL << 66000000LL << 162000000LL << 14400000LL << 39327000LL
        << 48228000LL << 66000000LL << 39327000LL << -1;
    QTest::newRow("660,000: a fen above the lower bound is inside")
        << 8000000LL << 600000LL << 0LL << 100000LL << 66000001LL << 162000001LL << 14400000LL << 42352000LL
        << 48228000LL << 66000000LL << 39327000LL << 4;
    QTest::newRow("660,000: bonus at the upper end is inside")
        << 8000000LL << 600000LL << 0LL << 100000LL << 70653846LL << 166653846LL << 14400000LL << 43980846LL
        << 50322231LL << 66000000LL << 40955846LL << 4;
    QTest::newRow("660,000: a fen past the upper end is outside")
        << 8000000LL << 600000LL << 0LL << 100000LL << 70653847LL << 166653847LL << 14400000LL << 43980846LL
        << 50322231LL << 66000000LL << 40955846LL << -1;
    QTest::newRow("960,000: bonus at the lower bound is outside")
        << 10000000LL << 600000LL << 200000LL << 0LL << 96000000LL << 216000000LL << 15600000LL << 61672000LL
        << 71988000LL << 66000000LL << 61647000LL << -1;
    QTest::newRow("960,000: a fen above the lower bound is inside")
        << 10000000LL << 600000LL << 200000LL << 0LL << 96000001LL << 216000001LL << 15600000LL << 70472000LL
        << 71988000LL << 66000000LL << 61647000LL << 5;
    QTest::newRow("960,000: bonus at the upper end is inside")
        << 10000000LL << 600000LL << 200000LL << 0LL << 112000000LL << 232000000LL << 15600000LL << 77672000LL
        << 79188000LL << 66000000LL << 68847000LL << 5;
    QTest::newRow("960,000: a fen past the upper end is outside")
        << 10000000LL << 600000LL << 200000LL << 0LL << 112000001LL << 232000001LL << 15600000LL << 77672000LL
        << 79188000LL << 66000000LL << 68847000LL << -1;
}

void TestYearPlan::blindZoneRows()
{
    QFETCH(Amount, wage);
    QFETCH(Amount, insurance);
    QFETCH(Amount, special);
    QFETCH(Amount, other);
    QFETCH(Amount, bonus);
    const YearPlan p = planYear(yearPlanInputOf(recordOf(wage, insurance, special, other, bonus)));
    QTEST(p.annual, "annual");
    QTEST(p.deductions, "deductions");
    QCOMPARE(p.plannedBonus, bonus);
    QTEST(p.plannedTax, "plannedTax");
    QTEST(p.mergedTax, "mergedTax");
    QTEST(p.bestBonus, "bestBonus");
    QTEST(p.bestTax, "bestTax");
    QCOMPARE(p.saving, p.plannedTax - p.bestTax);
    QCOMPARE(p.bestWages, p.annual - p.bestBonus);
    QCOMPARE(p.bestMonthly, (p.bestWages + 11) / 12);
    QTEST(p.blindZone, "zone");
}

// 1,000 generated sheet rows planned on three threads, every fifth with a bonus limit between the
// planned bonus and the pay, every third with the basic deduction of fewer months, every seventh
// with tax relief (which the wages' tax cannot go below 0 for): no whole yuan of bonus within 3,000 yuan of
// the best or the planned bonus, none every 50 yuan across the year's pay, and no fen within 3 yuan of a row
// bound of either table costs less than the best; the plan's figures are those of its split.
void TestYearPlan::bestAgainstBruteForce()
{
    QRandomGenerator rng(2019);
    std::vector<YearPlanInput> inputs;
    for (int i = 0; i < 1000; ++i) {
        const Amount wage = i % 20 == 0 ? Amount(rng.bounded(15000000)) : Amount(rng.bounded(5000000));
        const Amount bonus =
            i % 4 == 0 ? 0 : Amount(rng.bounded(int(qMin<Amount>(12 * wage + 1, 150000000))));
        inputs.push_back(yearPlanInputOf(recordOf(wage, rng.bounded(int(wage / 8 + 1)),
                                                  rng.bounded(2) ? Amount(rng.bounded(500000)) : 0,
                                                  rng.bounded(4) ? 0 : Amount(rng.bounded(200000)), bonus)));
        if (i % 5 == 1) {
            YearPlanInput &in = inputs.back();
            in.bonusLimit = in.plannedBonus +
                            Amount(rng.bounded(int(qMin<Amount>(in.annual - in.plannedBonus + 1, 1 << 30))));
        }
        if (i % 3 == 2)
            inputs.back().basic = kBasicDeductionMonthly * (1 + rng.bounded(12));
        if (i % 7 == 3)
            inputs.back().relief = Amount(rng.bounded(i % 2 ? 50000 : 2000000));
    }
    const YearPlanRun run = runYearPlans(inputs, 3);
    QCOMPARE(run.plans.size(), inputs.size());
    YearPlanTotals totals;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const YearPlanInput &in = inputs[i];
        const YearPlan &p = run.plans[i];
        totals.add(p);
        SplitInput split{in.annual, in.insurance, in.deductions};
        split.basic = in.basic;
        const auto cost = [&](Amount b) {
            return std::max<Amount>(splitTax(split, b) - separateBonusTax(b) - in.relief, 0) +
                   separateBonusTax(b);
        };
        const Amount top = in.bonusLimit >= 0 ? in.bonusLimit : in.annual;
        QVERIFY(p.bestBonus <= top);
        const auto check = [&](Amount b) {
            if (b >= 0 && b <= top && cost(b) < p.bestTax)
                QFAIL(qPrintable(QStringLiteral("row %1: bonus %2 of %3 costs %4 < %5")
                                     .arg(i)
                                     .arg(b)
                                     .arg(in.annual)
                                     .arg(cost(b))
                                     .arg(p.bestTax)));
        };
        QCOMPARE(p.deductions, in.basic + in.insurance + in.deductions);
        QCOMPARE(cost(p.bestBonus), p.bestTax);
        QCOMPARE(cost(p.plannedBonus), p.plannedTax);
        QCOMPARE(cost(0), p.mergedTax);
        QVERIFY(p.saving >= 0);
        for (Amount centre : {p.bestBonus, p.plannedBonus}) {
            for (Amount b = centre - 300000; b <= centre + 300000; b += 100)
                check(b);
        }
        for (Amount b = 0; b <= in.annual; b += 5000)
            check(b);
        for (Amount b = p.bestBonus - 300; b <= p.bestBonus + 300; ++b)
            check(b);
        const Amount rest = in.annual - p.deductions;
        for (const Bracket &row : monthlyTable()) {
            for (Amount b = 12 * row.upperBound - 300; row.upperBound > 0 && b <= 12 * row.upperBound + 300;
                 ++b)
                check(b);
        }
        for (const Bracket &row : annualTable()) {
            for (Amount b = rest - row.upperBound - 300;
                 row.upperBound > 0 && b <= rest - row.upperBound + 300; ++b)
                check(b);
        }
        const BlindZone *zone = bonusBlindZoneOf(p.plannedBonus);
        QCOMPARE(p.blindZone, zone ? int(zone - bonusBlindZones().data()) : -1);
    }
    QCOMPARE(run.totals.plannedTax, totals.plannedTax);
    QCOMPARE(run.totals.bestTax, totals.bestTax);
    QCOMPARE(run.totals.saving, totals.plannedTax - totals.bestTax);
    QCOMPARE(run.totals.inBlindZone, totals.inBlindZone);
}

void TestYearPlan::titles_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("column");
    QTest::newRow("the annual bonus") << QStringLiteral("全年一次性奖金") << int(YearBonus);
    QTest::newRow("年终奖金 is the annual bonus") << QStringLiteral("年终奖金") << int(YearBonus);
    QTest::newRow("a quarterly bonus is not") << QStringLiteral("季度奖金") << -1;
    QTest::newRow("special deductions") << QStringLiteral("专项附加扣除") << int(YearSpecial);
    QTest::newRow("other deductions") << QStringLiteral("其他扣除") << int(YearOther);
    QTest::newRow("a wage synonym of the batch pages") << QStringLiteral("应发工资") << int(YearMonthlyGross);
    QTest::newRow("an insurance synonym") << QStringLiteral("五险一金") << int(YearInsurance);
    QTest::newRow("the annuity is not read") << QStringLiteral("企业年金") << -1;
    QTest::newRow("no trimming") << QStringLiteral(" 其他扣除") << -1;
}

void TestYearPlan::titles()
{
    QFETCH(QString, title);
    QFETCH(int, column);
    QCOMPARE(matchYearPlanTitle(title), column);
    const QStringList formulas = yearPlanFormulas({QStringLiteral("部门"), title}, nullptr);
    QCOMPARE(formulas.size(), int(kYearPlanSourceColumns));
    for (int k = 0; k < kYearPlanSourceColumns; ++k)
        QCOMPARE(formulas[k], k == column ? QStringLiteral("B") : QString());
}

// A planning page's setting names its bonus column 年终奖金; its formulas land on the year plan's
// columns, the sheet's own titles play no part.
void TestYearPlan::formulasFromSetting()
{
    const ImportSetting setting = standardImportSetting(1);
    const QStringList formulas = yearPlanFormulas({QStringLiteral("其他扣除")}, &setting);
    QCOMPARE(formulas, QStringList({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                                    QStringLiteral("D"), QString(), QString(), QStringLiteral("E")}));
}

void TestYearPlan::layout()
{
    const std::vector<SheetRecord> records = {recordOf(1000000, 100000, 200000, 0, 3600001),
                                              recordOf(800000, 80000, 0, 0, 0)};
    std::vector<YearPlanInput> inputs;
    for (const SheetRecord &r : records)
        inputs.push_back(yearPlanInputOf(r));
    const YearPlanRun run = runYearPlans(inputs);
    const SheetLayout layout = yearPlanLayout(records, run.plans, run.totals, QStringLiteral("年终奖"));
    QCOMPARE(layout.title, QStringLiteral("年终奖"));
    QCOMPARE(layout.columnCount(), 16);
    QCOMPARE(layout.headings.size(), size_t(2));
    QCOMPARE(layout.headings[0].cells[8].text, QStringLiteral("计划方案"));
    QCOMPARE(layout.headings[0].cells[8].colSpan, 3);
    QCOMPARE(layout.rows.size(), size_t(3));
    const std::vector<SheetCell> &first = layout.rows[0].cells;
    QStringList texts;
    for (const SheetCell &c : first)
        texts << c.text;
    QCOMPARE(texts,
             QStringList({"1", "张三", "10,000", "1,000", "2,000", "0", "156,000.01", "96,000", "36,000.01",
                          "4,110", "36,000–38,566.67", "3,480", "24,000.01", "11,000", "1,800", "2,310"}));
    QVERIFY(first[2].numeric && !first[10].numeric && !first[1].numeric);
    const SheetRow &total = layout.rows[2];
    QVERIFY(total.total);
    QCOMPARE(total.cells[1].text, QStringLiteral("总计"));
    QCOMPARE(total.cells[9].text, formatAmount(run.totals.plannedTax));
    QCOMPARE(total.cells[10].text, QStringLiteral("1 人"));
    QCOMPARE(total.cells[15].text, formatAmount(run.totals.saving));
    QCOMPARE(blindZoneText(-1), QString());
}

QTEST_GUILESS_MAIN(TestYearPlan)
#include "tst_yearplan.moc"
