#include "engine/currentrules.h"

#include <QRandomGenerator>
#include <QTest>

using namespace CurrentRules;

Q_DECLARE_METATYPE(QList<Amount>)

namespace {

constexpr Amount yuan(double y)
{
    return Amount(y * 100 + (y >= 0 ? 0.5 : -0.5));
}

QList<Amount> months(std::initializer_list<double> yuanValues)
{
    QList<Amount> list;
    for (double y : yuanValues)
        list << yuan(y);
    return list;
}

QList<Amount> same(double y, int count)
{
    return QList<Amount>(count, yuan(y));
}

} // namespace

class TestCurrentRules : public QObject
{
    Q_OBJECT

private slots:
    void tables_data();
    void tables();
    void withholding_data();
    void withholding();
    void bonusMethods_data();
    void bonusMethods();
    void invalidYears_data();
    void invalidYears();
    void settlementNeverPayableWithOneEmployer();
    void splitExamples_data();
    void splitExamples();
    void splitAgainstBruteForce();
    void blindZones_data();
    void blindZones();
    void annualInverse_data();
    void annualInverse();
    void annualInverseForwardCheck();
    void bonusMethodComparison_data();
    void bonusMethodComparison();
};

void TestCurrentRules::tables_data()
{
    QTest::addColumn<int>("kind"); // 0 annual table, 1 separate bonus, 2 non-resident month
    QTest::addColumn<Amount>("amount");
    QTest::addColumn<Amount>("tax");
    QTest::newRow("annual 0") << 0 << yuan(0) << yuan(0);
    QTest::newRow("annual 36,000 is 3 %") << 0 << yuan(36000) << yuan(1080);
    QTest::newRow("annual 36,000.01 is 10 %, continuous") << 0 << yuan(36000.01) << yuan(1080);
    QTest::newRow("annual 144,000") << 0 << yuan(144000) << yuan(11880);
    QTest::newRow("annual 300,000") << 0 << yuan(300000) << yuan(43080);
    QTest::newRow("annual 420,000") << 0 << yuan(420000) << yuan(73080);
    QTest::newRow("annual 660,000") << 0 << yuan(660000) << yuan(145080);
    QTest::newRow("annual 960,000") << 0 << yuan(960000) << yuan(250080);
    QTest::newRow("annual 1,000,000 is 45 %") << 0 << yuan(1000000) << yuan(268080);
    QTest::newRow("annual half fen rounds up") << 0 << Amount(50) << Amount(2); // 1.5 fen
    QTest::newRow("bonus 36,000 is 3 %") << 1 << yuan(36000) << yuan(1080);
    QTest::newRow("bonus 36,000.01 jumps to 10 %") << 1 << yuan(36000.01) << yuan(3390);
    QTest::newRow("bonus 36,001") << 1 << yuan(36001) << yuan(3390.10);
    QTest::newRow("bonus blind zone end 38,566.67") << 1 << yuan(38566.67) << yuan(3646.67);
    QTest::newRow("bonus 144,000 is 10 %") << 1 << yuan(144000) << yuan(14190);
    QTest::newRow("bonus 144,000.01 jumps to 20 %") << 1 << yuan(144000.01) << yuan(27390);
    QTest::newRow("bonus 960,000.01 is 45 %") << 1 << yuan(960000.01) << yuan(416840);
    QTest::newRow("bonus 0") << 1 << yuan(0) << yuan(0);
    QTest::newRow("non-resident 5,000 untaxed") << 2 << yuan(5000) << yuan(0);
    QTest::newRow("non-resident 8,000 is 3 %") << 2 << yuan(8000) << yuan(90);
    QTest::newRow("non-resident 10,000 is 10 %") << 2 << yuan(10000) << yuan(290);
    QTest::newRow("non-resident 90,000 is 45 %") << 2 << yuan(90000) << yuan(23090);
}

void TestCurrentRules::tables()
{
    QFETCH(int, kind);
    QFETCH(Amount, amount);
    QFETCH(Amount, tax);
    const Amount got = kind == 0   ? annualTax(amount)
                       : kind == 1 ? separateBonusTax(amount)
                                   : nonResidentMonthlyTax(amount);
    QCOMPARE(got, tax);
}

void TestCurrentRules::withholding_data()
{
    QTest::addColumn<bool>("resident");
    QTest::addColumn<int>("startMonth");
    QTest::addColumn<QList<Amount>>("gross");
    QTest::addColumn<Amount>("insurance");
    QTest::addColumn<Amount>("deductions");
    QTest::addColumn<QList<Amount>>("withheld");
    QTest::addColumn<Amount>("settlement");
    QTest::newRow("10,000 less 1,500 and 1,000: 75 a month")
        << true << 1 << same(10000, 3) << yuan(1500) << yuan(1000) << months({75, 75, 75}) << yuan(-225);
    QTest::newRow("30,000 less 4,500 and 3,000: 525, 525, 1,680")
        << true << 1 << same(30000, 3) << yuan(4500) << yuan(3000) << months({525, 525, 1680}) << yuan(-2505);
    QTest::newRow("a whole year of 10,000 settles to nothing")
        << true << 1 << same(10000, 12) << yuan(1500) << yuan(1000)
        << months({75, 75, 75, 75, 75, 75, 75, 75, 75, 75, 75, 75}) << yuan(0);
    QTest::newRow("no refund during the year after a high month")
        << true << 1 << months({50000, 0, 0}) << yuan(0) << yuan(0) << months({1980, 0, 0}) << yuan(-1980);
    QTest::newRow("starting in July counts six basic deductions")
        << true << 7 << same(20000, 6) << yuan(0) << yuan(0) << months({450, 450, 1080, 1500, 1500, 1500})
        << yuan(-3000);
    QTest::newRow("cumulation reaches the 10 % row in month 4")
        << true << 1 << same(15000, 4) << yuan(0) << yuan(0) << months({300, 300, 300, 580}) << yuan(-1480);
    QTest::newRow("non-resident months are not cumulated")
        << false << 1 << months({10000, 5000, 8000}) << yuan(0) << yuan(0) << months({290, 0, 90}) << yuan(0);
}

void TestCurrentRules::withholding()
{
    QFETCH(bool, resident);
    QFETCH(int, startMonth);
    QFETCH(QList<Amount>, gross);
    QFETCH(Amount, insurance);
    QFETCH(Amount, deductions);
    QFETCH(QList<Amount>, withheld);
    QFETCH(Amount, settlement);
    YearInput in;
    in.resident = resident;
    in.startMonth = startMonth;
    in.gross = gross;
    in.insurance = insurance;
    in.deductions = deductions;
    QString error;
    QVERIFY2(checkYearInput(in, &error), qPrintable(error));
    const YearResult r = calculateYear(in, true);
    QCOMPARE(int(r.months.size()), int(withheld.size()));
    Amount total = 0;
    Amount net = 0;
    for (int i = 0; i < withheld.size(); ++i) {
        QCOMPARE(r.months[i].month, startMonth + i);
        QCOMPARE(r.months[i].withheld, withheld.at(i));
        QCOMPARE(r.months[i].net, gross.at(i) - insurance - withheld.at(i));
        total += r.months[i].withheld;
        net += r.months[i].net;
    }
    QCOMPARE(r.withheldTotal, total);
    QCOMPARE(r.netTotal, net);
    QCOMPARE(r.settlement, settlement);
    QCOMPARE(r.settlement, r.annualTax - r.withheldTotal);
    QVERIFY(!r.bonus.present);
    QVERIFY(!r.processText.isEmpty());
}

void TestCurrentRules::bonusMethods_data()
{
    QTest::addColumn<Amount>("wage");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<Amount>("bonusTax");
    QTest::addColumn<Amount>("annualTax");
    const int sep = int(BonusMethod::Separate);
    const int mer = int(BonusMethod::Merged);
    const int best = int(BonusMethod::Best);
    // 8,000 a month: 36,000 taxable wages a year, 1,080.
    QTest::newRow("separate 36,000") << yuan(8000) << yuan(36000) << sep << 2026 << sep << yuan(1080)
                                     << yuan(2160);
    QTest::newRow("merged 36,000") << yuan(8000) << yuan(36000) << mer << 2026 << mer << yuan(0)
                                   << yuan(4680);
    QTest::newRow("best 36,000 is separate")
        << yuan(8000) << yuan(36000) << best << 2026 << sep << yuan(1080) << yuan(2160);
    QTest::newRow("best in the blind zone is merged")
        << yuan(5000) << yuan(36000.01) << best << 2026 << mer << yuan(0) << yuan(1080);
    QTest::newRow("best after 2027 is merged")
        << yuan(8000) << yuan(36000) << best << 2028 << mer << yuan(0) << yuan(4680);
    QTest::newRow("a tie goes to merged")
        << yuan(5000) << yuan(1000) << best << 2026 << mer << yuan(0) << yuan(30);
}

void TestCurrentRules::bonusMethods()
{
    QFETCH(Amount, wage);
    QFETCH(Amount, bonus);
    QFETCH(int, method);
    QFETCH(int, year);
    QFETCH(int, chosen);
    QFETCH(Amount, bonusTax);
    QFETCH(Amount, annualTax);
    YearInput in;
    in.gross = QList<Amount>(12, wage);
    in.bonus = bonus;
    in.method = BonusMethod(method);
    in.year = year;
    QString error;
    QVERIFY2(checkYearInput(in, &error), qPrintable(error));
    const YearResult r = calculateYear(in, true);
    QVERIFY(r.bonus.present);
    QCOMPARE(int(r.bonus.method), chosen);
    QCOMPARE(r.bonus.month, 12);
    QCOMPARE(r.bonus.tax, bonusTax);
    QCOMPARE(r.annualTax, annualTax);
    if (chosen == int(BonusMethod::Merged))
        QCOMPARE(r.months.back().gross, wage + bonus);
    QCOMPARE(r.withheldTotal, [&] {
        Amount t = r.bonus.tax;
        for (const MonthResult &m : r.months)
            t += m.withheld;
        return t;
    }());
    QCOMPARE(r.netTotal, 12 * wage + bonus - r.withheldTotal);
}

void TestCurrentRules::invalidYears_data()
{
    QTest::addColumn<int>("startMonth");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("bonusMonth");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("year");
    QTest::addColumn<bool>("resident");
    QTest::newRow("period past December") << 7 << 7 << 0 << 2 << 2026 << true;
    QTest::newRow("no month") << 1 << 0 << 0 << 2 << 2026 << true;
    QTest::newRow("start month 13") << 13 << 1 << 0 << 2 << 2026 << true;
    QTest::newRow("bonus month before the period") << 3 << 3 << 2 << 2 << 2026 << true;
    QTest::newRow("separate bonus in 2028") << 1 << 12 << 0 << int(BonusMethod::Separate) << 2028 << true;
    QTest::newRow("non-resident with a bonus") << 1 << 12 << 0 << 2 << 2026 << false;
}

void TestCurrentRules::invalidYears()
{
    QFETCH(int, startMonth);
    QFETCH(int, count);
    QFETCH(int, bonusMonth);
    QFETCH(int, method);
    QFETCH(int, year);
    QFETCH(bool, resident);
    YearInput in;
    in.startMonth = startMonth;
    in.gross = QList<Amount>(count, yuan(10000));
    in.bonus = yuan(20000);
    in.bonusMonth = bonusMonth;
    in.method = BonusMethod(method);
    in.year = year;
    in.resident = resident;
    QString error;
    QVERIFY(!checkYearInput(in, &error));
    QVERIFY(!error.isEmpty());
}

// One employer, cumulative withholding and no refund during the year: what was withheld is never
// less than the year's tax, so the settlement is a refund or nothing.
void TestCurrentRules::settlementNeverPayableWithOneEmployer()
{
    QRandomGenerator rng(20190101);
    for (int c = 0; c < 3000; ++c) {
        YearInput in;
        in.startMonth = 1 + int(rng.bounded(12));
        const int count = 1 + int(rng.bounded(13 - in.startMonth));
        for (int m = 0; m < count; ++m)
            in.gross << Amount(rng.bounded(8000000));
        in.insurance = Amount(rng.bounded(300000));
        in.deductions = Amount(rng.bounded(500000));
        in.bonus = rng.bounded(3) ? Amount(rng.bounded(50000000)) : 0;
        in.method = BonusMethod(rng.bounded(3));
        QString error;
        QVERIFY2(checkYearInput(in, &error), qPrintable(error));
        const YearResult r = calculateYear(in);
        QVERIFY(r.settlement <= 0);
        for (const MonthResult &m : r.months)
            QVERIFY(m.withheld >= 0);
        if (in.method == BonusMethod::Best && in.bonus > 0) {
            QVERIFY(r.bonus.compared);
            QVERIFY(r.annualTax <= r.bonus.otherMethodAnnualTax);
        }
    }
}

void TestCurrentRules::splitExamples_data()
{
    QTest::addColumn<Amount>("annual");
    QTest::addColumn<Amount>("insurance");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<Amount>("taxTotal");
    QTest::addColumn<Amount>("allWageTax");
    QTest::newRow("nothing taxable keeps all as wages")
        << yuan(60000) << yuan(0) << yuan(0) << yuan(0) << yuan(0);
    QTest::newRow("200,000 less 20,000: bonus 36,000")
        << yuan(200000) << yuan(20000) << yuan(36000) << yuan(6960) << yuan(9480);
    QTest::newRow("96,000: all as wages, 3 % either way")
        << yuan(96000) << yuan(0) << yuan(0) << yuan(1080) << yuan(1080);
}

void TestCurrentRules::splitExamples()
{
    QFETCH(Amount, annual);
    QFETCH(Amount, insurance);
    QFETCH(Amount, bonus);
    QFETCH(Amount, taxTotal);
    QFETCH(Amount, allWageTax);
    SplitInput in;
    in.annual = annual;
    in.insurance = insurance;
    const SplitResult r = bestSplit(in, true);
    QCOMPARE(r.bonus, bonus);
    QCOMPARE(r.taxTotal, taxTotal);
    QCOMPARE(r.allWageTax, allWageTax);
    QCOMPARE(r.taxDecrease, allWageTax - taxTotal);
    QCOMPARE(r.wages, annual - bonus);
    QCOMPARE(r.netTotal, annual - insurance - taxTotal);
    QVERIFY(r.processText.contains(QStringLiteral("最优")));
}

// Every whole yuan of bonus, and every fen within 3 yuan of each row bound, must cost at least
// what the search found; the monthly wages add up exactly and differ by a fen at most.
void TestCurrentRules::splitAgainstBruteForce()
{
    QRandomGenerator rng(36000);
    const int cases = qEnvironmentVariableIntValue("LUMO_SPLIT_CASES") > 0
                          ? qEnvironmentVariableIntValue("LUMO_SPLIT_CASES")
                          : 2000;
    for (int c = 0; c < cases; ++c) {
        SplitInput in;
        // Mostly ordinary pay, a few in the top rows.
        in.annual = c % 50 == 0 ? Amount(rng.bounded(150000000)) : Amount(rng.bounded(40000000));
        in.insurance = Amount(rng.bounded(int(in.annual / 5 + 1)));
        in.deductions = rng.bounded(2) ? Amount(rng.bounded(6000000)) : 0;
        const SplitResult r = bestSplit(in);
        QCOMPARE(splitTax(in, r.bonus), r.taxTotal);
        QVERIFY(r.bonus >= 0 && r.bonus <= in.annual);
        Amount sum = 0;
        for (Amount m : r.monthly) {
            QVERIFY(r.monthly[0] - m >= 0 && r.monthly[0] - m <= 1);
            sum += m;
        }
        QCOMPARE(sum, r.wages);
        const Amount step = in.annual > 40000000 ? 1000 : 100; // 10 yuan steps for the largest
        for (Amount b = 0; b <= in.annual; b += step) {
            if (splitTax(in, b) < r.taxTotal)
                QFAIL(qPrintable(QStringLiteral("bonus %1 of pay %2 costs %3 < %4")
                                     .arg(b)
                                     .arg(in.annual)
                                     .arg(splitTax(in, b))
                                     .arg(r.taxTotal)));
        }
        const Amount rest = in.annual - r.deductionsTotal;
        for (Amount bound : {Amount(3600000), Amount(14400000), Amount(30000000), Amount(42000000),
                             Amount(66000000), Amount(96000000)}) {
            for (Amount centre : {bound, rest - bound, rest}) {
                for (Amount b = std::max<Amount>(centre - 300, 0); b <= std::min(centre + 300, in.annual);
                     ++b)
                    QVERIFY(splitTax(in, b) >= r.taxTotal);
            }
        }
    }
}

void TestCurrentRules::blindZones_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<Amount>("lower");
    QTest::addColumn<Amount>("upper");
    QTest::newRow("36,000 to 38,566.67") << 0 << yuan(36000) << yuan(38566.67);
    QTest::newRow("144,000 to 160,500") << 1 << yuan(144000) << yuan(160500);
    QTest::newRow("300,000 to 318,333.33") << 2 << yuan(300000) << yuan(318333.33);
    QTest::newRow("420,000 to 447,500") << 3 << yuan(420000) << yuan(447500);
    QTest::newRow("660,000 to 706,538.46") << 4 << yuan(660000) << yuan(706538.46);
    QTest::newRow("960,000 to 1,120,000") << 5 << yuan(960000) << yuan(1120000);
}

// The upper end is where the after-tax amount of the higher rate catches up with the lower end's,
// to the nearest fen; inside the zone a bonus leaves less after tax than the lower end, at most a
// rounding fen more at the upper end. Both ends are where the zone lookup changes its answer.
void TestCurrentRules::blindZones()
{
    QFETCH(int, index);
    QFETCH(Amount, lower);
    QFETCH(Amount, upper);
    QCOMPARE(int(bonusBlindZones().size()), 6);
    const BlindZone &zone = bonusBlindZones()[size_t(index)];
    QCOMPARE(zone.lower, lower);
    QCOMPARE(zone.upper, upper);
    const auto net = [](Amount b) { return b - separateBonusTax(b); };
    const Bracket &above = bonusBracketOf(lower + 1);
    const Amount catchUp = (net(lower) - above.quickDeduction) * 100; // upper × (100 − rate), exactly
    QVERIFY(2 * qAbs(upper * (100 - above.rate) - catchUp) <= 100 - above.rate);
    QVERIFY(net(lower + 1) < net(lower));
    QVERIFY(net(upper - 1) < net(lower));
    QVERIFY(net(upper + 2) > net(lower));
    QCOMPARE(bonusBlindZoneOf(lower), nullptr);
    QCOMPARE(bonusBlindZoneOf(lower + 1), &zone);
    QCOMPARE(bonusBlindZoneOf(upper), &zone);
    QCOMPARE(bonusBlindZoneOf(upper + 1), nullptr);
}

// Exact answers where the figures can be checked by hand; -1 for an input that must be refused.
void TestCurrentRules::annualInverse_data()
{
    QTest::addColumn<Amount>("net");
    QTest::addColumn<Amount>("insurance");
    QTest::addColumn<Amount>("deductions");
    QTest::addColumn<Amount>("pay");
    QTest::addColumn<Amount>("bonus");
    QTest::newRow("nothing at all") << yuan(0) << yuan(0) << yuan(0) << yuan(0) << yuan(0);
    QTest::newRow("a fen of pay for a fen of insurance")
        << yuan(0) << yuan(0.01) << yuan(0) << yuan(0.01) << yuan(0);
    QTest::newRow("net 0 still pays the insurance")
        << yuan(0) << yuan(1000) << yuan(0) << yuan(1000) << yuan(0);
    QTest::newRow("untaxed end: 60,000") << yuan(60000) << yuan(0) << yuan(0) << yuan(60000) << yuan(0);
    QTest::newRow("a fen past the untaxed end rounds to no tax")
        << yuan(60000.01) << yuan(0) << yuan(0) << yuan(60000.01) << yuan(0);
    QTest::newRow("deductions widen the untaxed pay")
        << yuan(84000) << yuan(10000) << yuan(24000) << yuan(94000) << yuan(0);
    // 96,000 nets 94,920; 95,999.99 does too, split so that both parts round down (bonus 0.16).
    QTest::newRow("3 % bound: a fen's rounding split")
        << yuan(94920) << yuan(0) << yuan(0) << yuan(95999.99) << yuan(0.16);
    QTest::newRow("200,000 less 20,000: bonus at the 36,000 bound")
        << yuan(173040) << yuan(20000) << yuan(0) << yuan(200000) << yuan(36000);
    QTest::newRow("negative net") << yuan(-0.01) << yuan(0) << yuan(0) << Amount(-1) << Amount(0);
    QTest::newRow("negative insurance") << yuan(1000) << yuan(-1) << yuan(0) << Amount(-1) << Amount(0);
    QTest::newRow("net above the largest pay")
        << kLargestInversePay << yuan(0) << yuan(0) << Amount(-1) << Amount(0);
    QTest::newRow("absurd net") << Amount(4000000000000000000) << yuan(0) << yuan(0) << Amount(-1)
                                << Amount(0);
    QTest::newRow("absurd deductions")
        << yuan(1000) << yuan(0) << Amount(9000000000000000000) << Amount(-1) << Amount(0);
    QTest::newRow("absurd insurance")
        << yuan(1000) << Amount(4000000000000000000) << yuan(0) << Amount(-1) << Amount(0);
}

void TestCurrentRules::annualInverse()
{
    QFETCH(Amount, net);
    QFETCH(Amount, insurance);
    QFETCH(Amount, deductions);
    QFETCH(Amount, pay);
    QFETCH(Amount, bonus);
    SplitInput base;
    base.annual = yuan(123456); // ignored
    base.insurance = insurance;
    base.deductions = deductions;
    const AnnualInverseResult r = annualForNet(base, net, true);
    if (pay < 0) {
        QVERIFY(!r.ok);
        QVERIFY(!r.error.isEmpty());
        return;
    }
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.split.annual, pay);
    QCOMPARE(r.split.bonus, bonus);
    QCOMPARE(r.split.netTotal, net);
    QVERIFY(r.processText.contains(formatAmount(pay)));
}

// Generated nets over every row of both tables: the answer nets enough, a fen less does not, it is
// bestSplit's own split of that pay, and its bonus never lies in a blind zone.
void TestCurrentRules::annualInverseForwardCheck()
{
    QRandomGenerator rng(60000);
    for (int c = 0; c < 2000; ++c) {
        SplitInput base;
        const int scale = int(rng.bounded(4));
        const Amount top = scale == 0   ? 20000000
                           : scale == 1 ? 100000000
                           : scale == 2 ? 2000000000
                                        : 40000000000;
        const Amount net = Amount(rng.bounded(quint64(top)));
        base.insurance = rng.bounded(3) ? Amount(rng.bounded(quint64(top / 5 + 1))) : 0;
        base.deductions = rng.bounded(2) ? Amount(rng.bounded(6000000)) : 0;
        base.maxBonus = c % 10 == 0 ? Amount(rng.bounded(20000000)) : -1;
        const AnnualInverseResult r = annualForNet(base, net);
        QVERIFY2(r.ok, qPrintable(r.error));
        const Amount pay = r.split.annual;
        SplitInput in = base;
        in.annual = pay;
        const SplitResult again = bestSplit(in);
        QCOMPARE(r.split.netTotal, again.netTotal);
        QCOMPARE(r.split.bonus, again.bonus);
        QVERIFY(r.split.netTotal >= net);
        if (pay > 0) {
            in.annual = pay - 1;
            if (bestSplit(in).netTotal >= net)
                QFAIL(qPrintable(QStringLiteral("net %1: pay %2 less a fen is enough").arg(net).arg(pay)));
        }
        QCOMPARE(bonusBlindZoneOf(r.split.bonus), nullptr);
    }
}

// Figures worked out by hand (a year of 12 equal wages unless a start month is given).
void TestCurrentRules::bonusMethodComparison_data()
{
    QTest::addColumn<Amount>("wage");
    QTest::addColumn<int>("startMonth");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<int>("bonusMonth");
    QTest::addColumn<int>("year");
    QTest::addColumn<bool>("resident");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("separateAllowed");
    QTest::addColumn<Amount>("separateTax");
    QTest::addColumn<Amount>("mergedTax");
    // 8,000 a month: 36,000 taxable wages; the bonus at 3 % separately, at 10 % on top when merged.
    QTest::newRow("separate cheaper")
        << yuan(8000) << 1 << yuan(36000) << 12 << 2026 << true << true << true << yuan(2160) << yuan(4680);
    // No taxable wages: merged uses the 3 % row the wages leave empty; separately 36,000.01 is 10 %.
    QTest::newRow("blind zone: merged cheaper") << yuan(5000) << 1 << yuan(36000.01) << 12 << 2026 << true
                                                << true << true << yuan(3390) << yuan(1080);
    QTest::newRow("a tie is not cheaper")
        << yuan(5000) << 1 << yuan(1000) << 12 << 2026 << true << true << true << yuan(30) << yuan(30);
    // From July: 90,000 of wages, 30,000 taxable after the year's 60,000; the bonus 600 separately.
    QTest::newRow("from July, bonus in September")
        << yuan(15000) << 7 << yuan(20000) << 9 << 2026 << true << true << true << yuan(1500) << yuan(2480);
    QTest::newRow("2027 still separate")
        << yuan(8000) << 1 << yuan(36000) << 12 << 2027 << true << true << true << yuan(2160) << yuan(4680);
    QTest::newRow("2028 only merged")
        << yuan(8000) << 1 << yuan(36000) << 12 << 2028 << true << true << false << Amount(0) << yuan(4680);
    QTest::newRow("no bonus: both the same")
        << yuan(8000) << 1 << yuan(0) << 12 << 2026 << true << true << true << yuan(1080) << yuan(1080);
    QTest::newRow("bonus month before the period")
        << yuan(8000) << 7 << yuan(36000) << 3 << 2026 << true << false << true << Amount(0) << Amount(0);
    QTest::newRow("non-resident has no annual bonus")
        << yuan(8000) << 1 << yuan(36000) << 12 << 2026 << false << false << true << Amount(0) << Amount(0);
}

void TestCurrentRules::bonusMethodComparison()
{
    QFETCH(Amount, wage);
    QFETCH(int, startMonth);
    QFETCH(Amount, bonus);
    QFETCH(int, bonusMonth);
    QFETCH(int, year);
    QFETCH(bool, resident);
    QFETCH(bool, ok);
    QFETCH(bool, separateAllowed);
    QFETCH(Amount, separateTax);
    QFETCH(Amount, mergedTax);
    YearInput in;
    in.startMonth = startMonth;
    in.gross = QList<Amount>(13 - startMonth, wage);
    in.bonus = bonus;
    in.bonusMonth = bonusMonth;
    in.year = year;
    in.resident = resident;
    in.method = BonusMethod::Separate; // ignored
    const BonusMethodComparison c = compareBonusMethods(in, true);
    QCOMPARE(c.ok, ok);
    if (!ok) {
        QVERIFY(!c.error.isEmpty());
        return;
    }
    QCOMPARE(c.separateAllowed, separateAllowed);
    QCOMPARE(c.merged.annualTax, mergedTax);
    QCOMPARE(c.merged.months.at(size_t(bonusMonth - startMonth)).gross, wage + bonus);
    if (!separateAllowed) {
        QVERIFY(c.error.contains(QString::number(year)));
        QVERIFY(!c.separateCheaper);
        return;
    }
    QVERIFY(c.error.isEmpty());
    QCOMPARE(c.separate.annualTax, separateTax);
    QCOMPARE(c.separate.bonus.present, bonus > 0);
    QCOMPARE(c.separateCheaper, separateTax < mergedTax);
    QCOMPARE(c.difference, mergedTax - separateTax);
    QVERIFY(c.processText.contains(formatAmount(separateTax)) &&
            c.processText.contains(formatAmount(mergedTax)));
}

QTEST_GUILESS_MAIN(TestCurrentRules)
#include "tst_currentrules.moc"
