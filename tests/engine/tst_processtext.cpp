#include "engine/taxengine.h"

#include <QTest>

namespace {

QStringList processLines(Amount gross, Amount insurance, Amount bonus, Amount annuity,
                         qint32 threshold = kThresholdLocal)
{
    Salary s;
    s.setMonthly(gross, insurance, 1);
    s.setBonus(bonus);
    s.setAnnuity(annuity);
    TaxEngine(threshold).calculate(s);
    return s.processText.split(QLatin1Char('\n'));
}

} // namespace

class TestProcessText : public QObject
{
    Q_OBJECT

private slots:
    void monthlyOnlyExample();
    void lines_data();
    void lines();
    void notesOnlyWithAnnuity();
    void insuranceAboveWage_data();
    void insuranceAboveWage();
};

void TestProcessText::monthlyOnlyExample()
{
    const QStringList expected = {
        QStringLiteral("1、月应发工资"),
        QStringLiteral("    【月应税收入】=月应发工资-三险一金=10,000-1,000=9,000元"),
        QStringLiteral("    【应纳税所得额】=月应税收入-免征额=9,000-3,500=5,500元"),
        QStringLiteral("        适用税率20% 速算扣除数555"),
        QStringLiteral("    【缴纳个税】=应纳税所得额×税率-速算扣除数=5,500×20%-555=545元"),
        QStringLiteral("合计"),
        QStringLiteral("    【应发数合计】=10,000元"),
        QStringLiteral("    【缴纳个税合计】=545元"),
        QStringLiteral("    【实发数合计】=8,455元"),
        QString(),
    };
    QCOMPARE(processLines(1000000, 100000, 0, 0), expected);
}

// One line of the text, picked by its index, for the cases that matter.
void TestProcessText::lines_data()
{
    QTest::addColumn<Amount>("gross");
    QTest::addColumn<Amount>("bonus");
    QTest::addColumn<Amount>("annuity");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("line");

    QTest::newRow("only bonus: monthly amounts 0")
        << Amount(0) << Amount(2000000) << Amount(0) << 1
        << QStringLiteral("    【月应税收入】=月应发工资-三险一金=0-0=0元");
    QTest::newRow("only bonus: excess written as 0")
        << Amount(0) << Amount(2000000) << Amount(0) << 2
        << QStringLiteral("    【应纳税所得额】=月应税收入-免征额=0-3,500=0元");
    QTest::newRow("only bonus: no monthly row")
        << Amount(0) << Amount(2000000) << Amount(0) << 3 << QStringLiteral("        适用税率0% 速算扣除数0");
    QTest::newRow("only bonus: shortfall line")
        << Amount(0) << Amount(2000000) << Amount(0) << 6
        << QStringLiteral("    【应纳税所得额】=年终奖金-(免征额-月应税收入)=20,000-(3,500-0)=16,500元");
    QTest::newRow("month at the threshold: plain bonus line")
        << Amount(350000) << Amount(1800100) << Amount(0) << 6
        << QStringLiteral("    【应纳税所得额】=年终奖金=18,001=18,001元");
    QTest::newRow("twelfth shown rounded")
        << Amount(800000) << Amount(1800100) << Amount(0) << 7
        << QStringLiteral("        应纳税所得额÷12=18,001÷12=1,500.08元 适用税率10% 速算扣除数105");
    QTest::newRow("bonus tax")
        << Amount(800000) << Amount(1800100) << Amount(0) << 8
        << QStringLiteral("    【缴纳个税】=应纳税所得额×税率-速算扣除数=18,001×10%-105=1,695.1元");
    QTest::newRow("annuity without bonus is section 2")
        << Amount(800000) << Amount(0) << Amount(300000) << 5 << QStringLiteral("2、年金(企业缴费部分)");
    QTest::newRow("annuity above threshold") << Amount(800000) << Amount(0) << Amount(300000) << 6
                                             << QStringLiteral("    【应纳税所得额】=企业年金=3,000元");
    QTest::newRow("annuity after bonus is section 3")
        << Amount(200000) << Amount(50000) << Amount(300000) << 9 << QStringLiteral("3、年金(企业缴费部分)");
    QTest::newRow("annuity shortfall line")
        << Amount(200000) << Amount(50000) << Amount(300000) << 10
        << QStringLiteral(
               "    【应纳税所得额】=企业年金-(免征额-月应税收入-年终奖金)=3,000-(3,500-2,000-500)=2,000元");
    QTest::newRow("annuity tax") << Amount(200000) << Amount(50000) << Amount(300000) << 12
                                 << QStringLiteral(
                                        "    【缴纳个税】=应纳税所得额×税率-速算扣除数=2,000×10%-105=95元");
    QTest::newRow("bonus absorbed the shortfall: plain annuity line")
        << Amount(200000) << Amount(500000) << Amount(300000) << 10
        << QStringLiteral("    【应纳税所得额】=企业年金=3,000元");
    QTest::newRow("bonus fully absorbed: zero taxable")
        << Amount(200000) << Amount(50000) << Amount(0) << 6
        << QStringLiteral("    【应纳税所得额】=年终奖金-(免征额-月应税收入)=500-(3,500-2,000)=0元");
}

void TestProcessText::lines()
{
    QFETCH(Amount, gross);
    QFETCH(Amount, bonus);
    QFETCH(Amount, annuity);
    QFETCH(int, index);
    QFETCH(QString, line);
    const QStringList all = processLines(gross, 0, bonus, annuity);
    QVERIFY2(index < all.size(), qPrintable(all.join(QLatin1Char('\n'))));
    QCOMPARE(all.at(index), line);
}

void TestProcessText::notesOnlyWithAnnuity()
{
    const QString without = processLines(800000, 0, 1800000, 0).join(QLatin1Char('\n'));
    QVERIFY(!without.contains(QStringLiteral("说明：")));
    const QString with = processLines(800000, 0, 0, 100000).join(QLatin1Char('\n'));
    QVERIFY(with.contains(QStringLiteral("\n说明：\n")));
    QVERIFY(with.contains(QStringLiteral("对个人取得本通知 规定之外的其他补充养老保险收入")));
    QVERIFY(with.contains(QStringLiteral("依法征收个人所得税。 \n\n")));
    QVERIFY(with.endsWith(QStringLiteral("所以应发数合计和实发数合计中均不包括年金。\n\n")));
}

// Wage 3,000 with 三险一金 5,000: nothing to tax, said as such, and the net pay still loses the
// insurance above the wage.
void TestProcessText::insuranceAboveWage_data()
{
    QTest::addColumn<int>("months");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("line");
    QTest::newRow("negative taxable counts as 0")
        << 1 << 1 << QStringLiteral("    【月应税收入】=月应发工资-三险一金=3,000-5,000<0，按0计算");
    QTest::newRow("net pay is pay less insurance and tax")
        << 1 << 12
        << QStringLiteral("    【实发数合计】=应发数合计-三险一金-工资和奖金个税=13,000-5,000-195=7,805元");
    QTest::newRow("net pay over 12 months")
        << 12 << 12
        << QStringLiteral(
               "    【实发数合计】=应发数合计-三险一金×12个月-工资和奖金个税=46,000-60,000-195=-14,195元");
    QTest::newRow("why the total is below the items' net")
        << 12 << 13
        << QStringLiteral("    （三险一金超出月应发工资的部分由个人负担：各月应税收入和实发数按0计算，"
                          "实发数合计已扣除这部分，因此小于各项实发数之和。）");
}

void TestProcessText::insuranceAboveWage()
{
    QFETCH(int, months);
    QFETCH(int, index);
    QFETCH(QString, line);
    Salary s;
    s.setMonthly(300000, 500000, months);
    s.setBonus(1000000);
    TaxEngine(kThresholdLocal).calculate(s);
    const QStringList all = s.processText.split(QLatin1Char('\n'));
    QVERIFY2(index < all.size(), qPrintable(s.processText));
    QCOMPARE(all.at(index), line);
}

QTEST_APPLESS_MAIN(TestProcessText)
#include "tst_processtext.moc"
