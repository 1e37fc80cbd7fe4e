// A month of wages for one employee: the cumulative withholding month after month, each way of
// the basic deduction, relief, donations, the bonus, and the identity-number checks.
#include "excel/workbook.h"
#include "ledger/payrollrules.h"
#include "ledger/payrollsheet.h"

#include <QTest>

using CurrentRules::BonusMethod;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(QList<Amount>)

namespace {

constexpr Amount yuan(qint64 y)
{
    return y * 100;
}

// One month of a scenario, amounts in yuan.
struct Month
{
    int month;
    qint64 income;
    qint64 special = 0;    // 基本养老保险费 (stands for all of 专项扣除)
    qint64 additional = 0; // 累计子女教育: cumulative, as the template gives it
    qint64 relief = 0;
    qint64 donation = 0;
    qint64 other = 0; // 其他
    qint64 annuity = 0;
    bool firstJob = false;
    int sixty = -1;
};

} // namespace
Q_DECLARE_METATYPE(QList<Month>)

class TestPayrollRules : public QObject
{
    Q_OBJECT

private slots:
    void months_data();
    void months();
    void bonus_data();
    void bonus();
    void idNumbers_data();
    void idNumbers();
    void titles_data();
    void titles();
    void sheetRows();
};

void TestPayrollRules::months_data()
{
    QTest::addColumn<QList<Month>>("months");
    QTest::addColumn<bool>("sixtyFromLastYear");
    QTest::addColumn<QList<Amount>>("withheld");
    QTest::addColumn<QList<Amount>>("basic");

    QTest::newRow("worked figures: 525, 525, 1,680")
        << QList<Month>{{1, 30000, 4500, 3000}, {2, 30000, 4500, 6000}, {3, 30000, 4500, 9000}} << false
        << QList<Amount>{yuan(525), yuan(525), yuan(1680)}
        << QList<Amount>{yuan(5000), yuan(10000), yuan(15000)};
    QTest::newRow("first job in July: basic 35,000, July 0, August 600")
        << QList<Month>{{7, 30000, 0, 0, 0, 0, 0, 0, true}, {8, 30000}} << false
        << QList<Amount>{0, yuan(600)} << QList<Amount>{yuan(35000), yuan(40000)};
    QTest::newRow("without the first job the months count: 5,000 a month")
        << QList<Month>{{7, 30000}, {8, 30000}} << false << QList<Amount>{yuan(750), yuan(1730)}
        << QList<Amount>{yuan(5000), yuan(10000)};
    QList<Month> eightThousand;
    for (int m = 1; m <= 9; ++m)
        eightThousand.append({m, 8000});
    QTest::newRow("60,000 rule at 8,000: nothing to July, August 120, September 240")
        << eightThousand << true << QList<Amount>{0, 0, 0, 0, 0, 0, 0, yuan(120), yuan(240)}
        << QList<Amount>(9, yuan(60000));
    QTest::newRow("the sheet's 否 overrides the previous year's 60,000 rule")
        << QList<Month>{{1, 8000, 0, 0, 0, 0, 0, 0, false, 0}} << true << QList<Amount>{yuan(90)}
        << QList<Amount>{yuan(5000)};
    QTest::newRow("the sheet's 是 gives the rule, kept for the later months")
        << QList<Month>{{1, 8000, 0, 0, 0, 0, 0, 0, false, 1}, {2, 8000}} << false << QList<Amount>{0, 0}
        << QList<Amount>{yuan(60000), yuan(60000)};
    QTest::newRow("absent February: March counts two months")
        << QList<Month>{{1, 10000}, {3, 10000}} << false << QList<Amount>{yuan(150), yuan(150)}
        << QList<Amount>{yuan(5000), yuan(10000)};
    QTest::newRow("no refund after a high month")
        << QList<Month>{{1, 50000}, {2, 0}, {3, 10000}, {4, 20000}} << false
        << QList<Amount>{yuan(1980), 0, 0, yuan(1500)}
        << QList<Amount>{yuan(5000), yuan(10000), yuan(15000), yuan(20000)};
    QTest::newRow("relief comes off the cumulative tax")
        << QList<Month>{{1, 20000, 0, 0, 100}, {2, 20000, 0, 0, 100}} << false
        << QList<Amount>{yuan(350), yuan(350)} << QList<Amount>{yuan(5000), yuan(10000)};
    QTest::newRow("relief above the tax withholds nothing, never below 0")
        << QList<Month>{{1, 6000, 0, 0, 100}} << false << QList<Amount>{0} << QList<Amount>{yuan(5000)};
    QTest::newRow("a donation stays in the cumulative deductions")
        << QList<Month>{{1, 20000, 0, 0, 0, 5000}, {2, 20000}} << false << QList<Amount>{yuan(300), yuan(450)}
        << QList<Amount>{yuan(5000), yuan(10000)};
    QTest::newRow("other deductions and the annuity")
        << QList<Month>{{1, 10000, 0, 0, 0, 0, 500, 1000}} << false << QList<Amount>{yuan(105)}
        << QList<Amount>{yuan(5000)};
}

void TestPayrollRules::months()
{
    QFETCH(QList<Month>, months);
    QFETCH(bool, sixtyFromLastYear);
    QFETCH(QList<Amount>, withheld);
    QFETCH(QList<Amount>, basic);
    PayrollState state;
    for (qsizetype i = 0; i < months.size(); ++i) {
        const Month &m = months[i];
        PayrollInput in;
        in.amounts[PfIncome] = yuan(m.income);
        in.amounts[PfPension] = yuan(m.special);
        in.amounts[PfChildEdu] = yuan(m.additional);
        in.amounts[PfRelief] = yuan(m.relief);
        in.amounts[PfDonation] = yuan(m.donation);
        in.amounts[PfOther] = yuan(m.other);
        in.amounts[PfAnnuity] = yuan(m.annuity);
        in.firstJob = m.firstJob;
        in.sixty = m.sixty;
        const PayrollEntry e =
            computePayrollMonth(in, state, 2026, m.month, BonusMethod::Separate, sixtyFromLastYear);
        QCOMPARE(e.cumulativeBasic, basic[i]);
        QCOMPARE(e.withheld, withheld[i]);
        QCOMPARE(e.net, yuan(m.income) - yuan(m.special) - yuan(m.annuity) - e.withheld);
        state = stateAfter(state, e);
    }
}

void TestPayrollRules::bonus_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<Amount>("withheld");
    QTest::addColumn<Amount>("bonusTax");
    QTest::addColumn<Amount>("net");
    // 10,000 wages and a 36,000 bonus in January.
    QTest::newRow("separate: 36,000 ÷ 12 at 3 %, wages untouched")
        << int(BonusMethod::Separate) << yuan(150) << yuan(1080) << yuan(46000 - 150 - 1080);
    QTest::newRow("merged: in the month's income, no bonus tax")
        << int(BonusMethod::Merged) << yuan(1580) << Amount(0) << yuan(46000 - 1580);
}

void TestPayrollRules::bonus()
{
    QFETCH(int, method);
    QFETCH(Amount, withheld);
    QFETCH(Amount, bonusTax);
    QFETCH(Amount, net);
    PayrollInput in;
    in.amounts[PfIncome] = yuan(10000);
    in.amounts[PfBonus] = yuan(36000);
    const PayrollEntry e = computePayrollMonth(in, {}, 2026, 1, BonusMethod(method), false);
    QCOMPARE(e.withheld, withheld);
    QCOMPARE(e.bonusTax, bonusTax);
    QCOMPARE(e.net, net);
    // Only a merged bonus is cumulative income, and a separate bonus tax is not wage tax.
    const PayrollState after = stateAfter({}, e);
    QCOMPARE(after.withheld, withheld);
    QCOMPARE(after.income, yuan(10000) + (bonusTax ? 0 : yuan(36000)));
    QCOMPARE(defaultBonusMethod(2027), BonusMethod::Separate);
    QCOMPARE(defaultBonusMethod(2028), BonusMethod::Merged);
}

void TestPayrollRules::idNumbers_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("period"); // YYYY-MM
    QTest::addColumn<QString>("normalized");
    QTest::addColumn<QString>("reason"); // a part of the reason; empty when valid

    // 17 digits with the check character the rule gives, so dates can be tested on their own.
    const auto withCheck = [](const QString &first17) { return first17 + idCheckCharacter(first17); };
    QTest::newRow("valid with X") << residentIdType() << u"11010519491231002X"_s << u"2026-01"_s
                                  << u"11010519491231002X"_s << QString();
    QTest::newRow("lower-case x is read as X") << residentIdType() << u" 11010519491231002x "_s
                                               << u"2026-01"_s << u"11010519491231002X"_s << QString();
    QTest::newRow("wrong check character") << residentIdType() << u"110105194912310021"_s << u"2026-01"_s
                                           << u"110105194912310021"_s << u"校验码"_s;
    QTest::newRow("17 characters") << residentIdType() << u"11010519491231002"_s << u"2026-01"_s
                                   << u"11010519491231002"_s << u"18 位"_s;
    QTest::newRow("a letter inside") << residentIdType() << u"1101051949123A002X"_s << u"2026-01"_s
                                     << u"1101051949123A002X"_s << u"数字"_s;
    QTest::newRow("31 February") << residentIdType() << withCheck(u"11010519900231001"_s) << u"2026-01"_s
                                 << withCheck(u"11010519900231001"_s) << u"不存在"_s;
    QTest::newRow("born after the period") << residentIdType() << withCheck(u"11010520260201001"_s)
                                           << u"2026-01"_s << withCheck(u"11010520260201001"_s) << u"晚于"_s;
    QTest::newRow("born within the period's month")
        << residentIdType() << withCheck(u"11010520260131001"_s) << u"2026-01"_s
        << withCheck(u"11010520260131001"_s) << QString();
    QTest::newRow("missing") << residentIdType() << u"  "_s << u"2026-01"_s << QString() << u"缺少"_s;
    QTest::newRow("passport: letters and digits")
        << u"中国护照"_s << u"E12345678"_s << u"2026-01"_s << u"E12345678"_s << QString();
    QTest::newRow("permit with a hyphen")
        << u"外国人永久居留身份证"_s << u"USA-1234"_s << u"2026-01"_s << u"USA-1234"_s << QString();
    QTest::newRow("passport with a blank inside")
        << u"中国护照"_s << u"E123 456"_s << u"2026-01"_s << u"E123 456"_s << u"字母"_s;
}

void TestPayrollRules::idNumbers()
{
    QFETCH(QString, type);
    QFETCH(QString, number);
    QFETCH(QString, period);
    QFETCH(QString, normalized);
    QFETCH(QString, reason);
    const QString got = checkIdNumber(type, &number, period.left(4).toInt(), period.mid(5).toInt());
    if (reason.isEmpty())
        QVERIFY2(got.isEmpty(), qPrintable(got));
    else
        QVERIFY2(got.contains(reason), qPrintable(got));
    if (!normalized.isEmpty())
        QCOMPARE(number, normalized);
}

void TestPayrollRules::titles_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("field");
    QTest::newRow("marked as required") << u"*姓名"_s << int(PfName);
    QTest::newRow("the mark left off") << u"姓名"_s << int(PfName);
    QTest::newRow("blanks around the mark") << u" * 证件号码 "_s << int(PfIdNumber);
    QTest::newRow("编码 is 工号") << u"编码"_s << int(PfCode);
    QTest::newRow("月应发工资 is 本期收入") << u"月应发工资"_s << int(PfIncome);
    QTest::newRow("年终奖金 is the annual bonus") << u"年终奖金"_s << int(PfBonus);
    QTest::newRow("企业年金 is 企业(职业)年金") << u"企业年金"_s << int(PfAnnuity);
    QTest::newRow("the template's own annuity title") << u"企业(职业)年金"_s << int(PfAnnuity);
    QTest::newRow("an infant care title with digits") << u"累计3岁以下婴幼儿照护"_s << int(PfInfant);
    QTest::newRow("协定减免 is its own field") << u"*协定减免"_s << int(PfTreatyRelief);
    QTest::newRow("an unknown title") << u"部门"_s << -1;
    QTest::newRow("a lone mark") << u"*"_s << -1;
}

void TestPayrollRules::titles()
{
    QFETCH(QString, title);
    QFETCH(int, field);
    QCOMPARE(payrollFieldOfTitle(title), field);
}

// A sheet in memory: synonyms, one 三险一金 column for the four, unreadable cells leaving their
// row out, a skipped blank row.
void TestPayrollRules::sheetRows()
{
    auto book = Workbook::create(u"in.xlsx"_s);
    Sheet *sheet = book->addSheet(u"工资"_s);
    const QStringList titles = {u"编码"_s,     u"姓名"_s, u"*证件号码"_s,         u"月应发工资"_s,
                                u"三险一金"_s, u"其他"_s, u"全年减除费用6万元"_s, u"入职年度就业情形"_s};
    for (int c = 0; c < titles.size(); ++c)
        sheet->writeStr(0, c, titles[c]);
    const QList<QStringList> rows = {
        {u"1"_s, u"甲"_s, u"11010519491231002X"_s, u"#8000.5"_s, u"#1000"_s, u""_s, u"是"_s,
         u"当年首次入职学生"_s},
        {u"2"_s, u"乙"_s, u"A1"_s, u"#8000"_s, u"#0"_s, u"abc"_s, u""_s, u""_s},
        {u"3"_s, u"丙"_s, u"A2"_s, u"#8000"_s, u"#0"_s, u""_s, u"也许"_s, u""_s},
        {u""_s, u""_s, u"A3"_s, u"#8000"_s, u""_s, u""_s, u""_s, u""_s},
        {u"5"_s, u"戊"_s, u"A5"_s, u"12,000.50"_s, u"#-1"_s, u""_s, u""_s, u""_s},
        {u"6"_s, u"己"_s, u"A6"_s, u"12,000.50"_s, u""_s, u"#200"_s, u"否"_s, u"非当年首次入职"_s},
    };
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c) {
            const QString &t = rows[r][c];
            if (t.startsWith(u'#'))
                sheet->writeNum(r + 1, c, t.mid(1).toDouble());
            else if (!t.isEmpty())
                sheet->writeStr(r + 1, c, t);
        }
    const PayrollSheet read =
        readPayrollSheet(*book, *sheet, payrollAutoFormulas(sheetTitles(*book, *sheet, 1)), SheetRange{});
    QCOMPARE(read.rowsRead, 6);
    QCOMPARE(read.rowsSkipped, 1);
    QCOMPARE(read.rows.size(), size_t(2));
    QList<int> problemRows;
    for (const PayrollProblem &p : read.problems)
        problemRows << p.sheetRow;
    QCOMPARE(problemRows, (QList<int>{3, 4, 6})); // in sheet order
    QVERIFY(read.problems[0].reason.contains(u"不记入"_s));
    const PayrollInput &a = read.rows[0];
    QCOMPARE(a.idType, residentIdType());
    QCOMPARE(a.amounts[PfIncome], Amount(800050));
    QCOMPARE(a.amounts[PfPension], Amount(100000)); // 三险一金 stands for the four
    QCOMPARE(a.sixty, 1);
    QVERIFY(a.firstJob);
    const PayrollInput &f = read.rows[1];
    QCOMPARE(f.name, u"己"_s);
    QCOMPARE(f.amounts[PfIncome], Amount(1200050));
    QCOMPARE(f.amounts[PfOther], Amount(20000));
    QCOMPARE(f.sixty, 0);
    QVERIFY(!f.firstJob);
}

QTEST_GUILESS_MAIN(TestPayrollRules)
#include "tst_payrollrules.moc"
