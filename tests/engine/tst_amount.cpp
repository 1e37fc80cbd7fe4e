#include "engine/amount.h"
#include "engine/ratetable.h"

#include <QRandomGenerator>
#include <QTest>

class TestAmount : public QObject
{
    Q_OBJECT

private slots:
    void roundHalfUp_data();
    void roundHalfUp();
    void fenFromInput_data();
    void fenFromInput();
    void yuanFromFen_data();
    void yuanFromFen();
    void yuanFromFenRoundTrip();
    void formatAmount_data();
    void formatAmount();
    void groupDigits_data();
    void groupDigits();
    void parseYuan_data();
    void parseYuan();
    void lookup_data();
    void lookup();
    void tableIsBuiltOnceWithSevenRows();
    void walkingTheTable();
    void bracketTaxUsesTheFraction();
};

void TestAmount::roundHalfUp_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("zero") << 0.0 << qint64(0);
    QTest::newRow("half up") << 0.5 << qint64(1);
    QTest::newRow("negative half toward +inf") << -0.5 << qint64(0);
    QTest::newRow("2.5") << 2.5 << qint64(3);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("-2.6") << -2.6 << qint64(-3);
    QTest::newRow("-2.4") << -2.4 << qint64(-2);
    QTest::newRow("just below half") << 1234.4999 << qint64(1234);
    QTest::newRow("large") << 45000000000.5 << qint64(45000000001);
    QTest::newRow("negative whole") << -3.0 << qint64(-3);
    // x + 0.5 would round up to 1.0 in floating point.
    QTest::newRow("largest double below one half") << 0.49999999999999994 << qint64(0);
    QTest::newRow("largest double above minus one half") << -0.49999999999999994 << qint64(0);
    QTest::newRow("tiny negative") << -1e-300 << qint64(0);
    // From 2^52 on, x + 0.5 rounds to even and would add one to an odd whole number.
    QTest::newRow("odd whole number above 2^52") << 4503599627370497.0 << qint64(4503599627370497);
    QTest::newRow("negative odd whole number above 2^52") << -4503599627370497.0 << qint64(-4503599627370497);
    QTest::newRow("half just below 2^52") << 4503599627370495.5 << qint64(4503599627370496);
    QTest::newRow("2^62") << 4611686018427387904.0 << qint64(4611686018427387904);
}

void TestAmount::roundHalfUp()
{
    QFETCH(double, x);
    QFETCH(qint64, expected);
    QCOMPARE(::roundHalfUp(x), expected);
}

void TestAmount::fenFromInput_data()
{
    QTest::addColumn<double>("yuan");
    QTest::addColumn<qint64>("fen");
    QTest::newRow("one fen") << 0.01 << qint64(1);
    QTest::newRow("0.29 is not 28") << 0.29 << qint64(29);
    QTest::newRow("19.99") << 19.99 << qint64(1999);
    QTest::newRow("1234.56") << 1234.56 << qint64(123456);
    QTest::newRow("maximum") << 999999999.99 << qint64(99999999999);
    QTest::newRow("threshold") << 3500.0 << qint64(350000);
}

void TestAmount::fenFromInput()
{
    QFETCH(double, yuan);
    QFETCH(qint64, fen);
    QCOMPARE(::fenFromInput(yuan), fen);
}

void TestAmount::yuanFromFen_data()
{
    QTest::addColumn<qint64>("fen");
    QTest::addColumn<double>("yuan");
    QTest::newRow("zero") << qint64(0) << 0.0;
    QTest::newRow("one fen") << qint64(1) << 0.01;
    QTest::newRow("29 fen") << qint64(29) << 0.29;
    QTest::newRow("threshold") << qint64(350000) << 3500.0;
    QTest::newRow("1234.56") << qint64(123456) << 1234.56;
    QTest::newRow("maximum input") << qint64(99999999999) << 999999999.99;
    QTest::newRow("negative difference") << qint64(-12345) << -123.45;
}

void TestAmount::yuanFromFen()
{
    QFETCH(qint64, fen);
    QFETCH(double, yuan);
    QCOMPARE(::yuanFromFen(fen), yuan);
    QCOMPARE(::fenFromInput(::yuanFromFen(fen)), fen);
}

void TestAmount::yuanFromFenRoundTrip()
{
    // Every fen a field can hold comes back unchanged; sampled over the whole range.
    QRandomGenerator random(16);
    for (int i = 0; i < 200000; ++i) {
        const Amount fen = Amount(random.bounded(quint64(kMaxInputFen) + 1));
        QCOMPARE(::fenFromInput(::yuanFromFen(fen)), fen);
    }
    for (Amount fen = 0; fen <= 100000; ++fen)
        QCOMPARE(::fenFromInput(::yuanFromFen(fen)), fen);
    for (Amount fen = kMaxInputFen - 100000; fen <= kMaxInputFen; ++fen)
        QCOMPARE(::fenFromInput(::yuanFromFen(fen)), fen);
}

void TestAmount::formatAmount_data()
{
    QTest::addColumn<qint64>("fen");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << qint64(0) << QStringLiteral("0");
    QTest::newRow("5") << qint64(5) << QStringLiteral("0.05");
    QTest::newRow("7") << qint64(7) << QStringLiteral("0.07");
    QTest::newRow("50") << qint64(50) << QStringLiteral("0.5");
    QTest::newRow("70") << qint64(70) << QStringLiteral("0.7");
    QTest::newRow("100") << qint64(100) << QStringLiteral("1");
    QTest::newRow("1000") << qint64(1000) << QStringLiteral("10");
    QTest::newRow("1050") << qint64(1050) << QStringLiteral("10.5");
    QTest::newRow("350000") << qint64(350000) << QStringLiteral("3,500");
    QTest::newRow("123456") << qint64(123456) << QStringLiteral("1,234.56");
    QTest::newRow("100005") << qint64(100005) << QStringLiteral("1,000.05");
    QTest::newRow("100000000") << qint64(100000000) << QStringLiteral("1,000,000");
    QTest::newRow("12345678901") << qint64(12345678901) << QStringLiteral("123,456,789.01");
    QTest::newRow("negative") << qint64(-123450) << QStringLiteral("-1,234.5");
    QTest::newRow("negative fen") << qint64(-5) << QStringLiteral("-0.05");
    QTest::newRow("int64 min") << std::numeric_limits<qint64>::min()
                               << QStringLiteral("-92,233,720,368,547,758.08");
}

void TestAmount::formatAmount()
{
    QFETCH(qint64, fen);
    QFETCH(QString, text);
    QCOMPARE(::formatAmount(fen), text);
}

void TestAmount::groupDigits_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("grouped");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("sign only") << QStringLiteral("-") << QStringLiteral("-");
    QTest::newRow("one digit") << QStringLiteral("7") << QStringLiteral("7");
    QTest::newRow("three digits: no comma") << QStringLiteral("999") << QStringLiteral("999");
    QTest::newRow("four digits") << QStringLiteral("1000") << QStringLiteral("1,000");
    QTest::newRow("six digits") << QStringLiteral("123456") << QStringLiteral("123,456");
    QTest::newRow("seven digits") << QStringLiteral("1234567") << QStringLiteral("1,234,567");
    QTest::newRow("fraction left as it is") << QStringLiteral("1234.56789") << QStringLiteral("1,234.56789");
    QTest::newRow("only a fraction") << QStringLiteral(".5") << QStringLiteral(".5");
    QTest::newRow("negative four digits") << QStringLiteral("-1234") << QStringLiteral("-1,234");
    QTest::newRow("negative three digits: no comma after the sign")
        << QStringLiteral("-123.4") << QStringLiteral("-123.4");
    QTest::newRow("a cell's 1e20") << QStringLiteral("100000000000000000000")
                                   << QStringLiteral("100,000,000,000,000,000,000");
    QTest::newRow("longer than the stack buffer")
        << (QStringLiteral("1") + QString(60, QLatin1Char('0')))
        << (QStringLiteral("1") + QStringLiteral(",000").repeated(20));
}

void TestAmount::groupDigits()
{
    QFETCH(QString, number);
    QFETCH(QString, grouped);
    QCOMPARE(::groupDigits(number), grouped);
    QString appended = QStringLiteral("x");
    appendGroupedDigits(appended, number);
    QCOMPARE(appended, QStringLiteral("x") + grouped);
}

void TestAmount::parseYuan_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint64>("fen");
    QTest::newRow("whole") << QStringLiteral("10000") << true << qint64(1000000);
    QTest::newRow("two decimals") << QStringLiteral("0.29") << true << qint64(29);
    QTest::newRow("one decimal") << QStringLiteral("18000.1") << true << qint64(1800010);
    QTest::newRow("trailing dot") << QStringLiteral("5.") << true << qint64(500);
    QTest::newRow("leading dot") << QStringLiteral(".5") << true << qint64(50);
    QTest::newRow("maximum") << QStringLiteral("999999999.99") << true << qint64(99999999999);
    QTest::newRow("blanks around") << QStringLiteral(" 12 ") << true << qint64(1200);
    QTest::newRow("three decimals") << QStringLiteral("1.234") << false << qint64(0);
    QTest::newRow("negative") << QStringLiteral("-1") << false << qint64(0);
    QTest::newRow("too large") << QStringLiteral("1000000000") << false << qint64(0);
    QTest::newRow("exponent") << QStringLiteral("1e3") << false << qint64(0);
    QTest::newRow("grouping") << QStringLiteral("1,000") << false << qint64(0);
    QTest::newRow("empty") << QString() << false << qint64(0);
    QTest::newRow("word") << QStringLiteral("abc") << false << qint64(0);
    QTest::newRow("full-width digits") << QStringLiteral("１２") << false << qint64(0);
}

void TestAmount::parseYuan()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(qint64, fen);
    Amount out = -1;
    QCOMPARE(::parseYuan(text, &out), ok);
    if (ok)
        QCOMPARE(out, fen);
}

void TestAmount::lookup_data()
{
    QTest::addColumn<qint64>("v");
    QTest::addColumn<int>("row");
    QTest::newRow("negative") << qint64(-100) << -1;
    QTest::newRow("zero") << qint64(0) << -1;
    QTest::newRow("one fen") << qint64(1) << 0;
    QTest::newRow("1500 yuan exactly") << qint64(150000) << 0;
    QTest::newRow("1500 yuan + 1 fen") << qint64(150001) << 1;
    QTest::newRow("4500 yuan exactly") << qint64(450000) << 1;
    QTest::newRow("4500 yuan + 1 fen") << qint64(450001) << 2;
    QTest::newRow("80000 yuan exactly") << qint64(8000000) << 5;
    QTest::newRow("80000 yuan + 1 fen") << qint64(8000001) << 6;
    QTest::newRow("huge") << qint64(99999999999) << 6;
}

void TestAmount::lookup()
{
    QFETCH(qint64, v);
    QFETCH(int, row);
    QCOMPARE(bracketIndex(lookupBracket(v)), row);
}

void TestAmount::tableIsBuiltOnceWithSevenRows()
{
    ensureRateTable();
    ensureRateTable();
    const auto table = rateTable();
    QCOMPARE(table.size(), std::size_t(7));
    const int bounds[] = {0, 150000, 450000, 900000, 3500000, 5500000, 8000000};
    const int rates[] = {3, 10, 20, 25, 30, 35, 45};
    const int deductions[] = {0, 10500, 55500, 100500, 275500, 550500, 1350500};
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(table[i].lowerBound, bounds[i]);
        QCOMPARE(table[i].rate, rates[i]);
        QCOMPARE(table[i].quickDeduction, deductions[i]);
    }
    // Rows keep their identity: lookups hand out pointers into the one table.
    QCOMPARE(lookupBracket(500000), &rateTable()[2]);
}

void TestAmount::walkingTheTable()
{
    const auto table = rateTable();
    QCOMPARE(nextBracket(static_cast<const TaxBracket *>(nullptr)), &table[0]);
    QCOMPARE(nextBracket(&table[0]), &table[1]);
    QCOMPARE(nextBracket(&table[6]), nullptr);
    QCOMPARE(previousBracket(&table[3]), &table[2]);
    QCOMPARE(previousBracket(&table[0]), nullptr);
    QCOMPARE(previousBracket(static_cast<const TaxBracket *>(nullptr)), nullptr);
    // A copy of a row is not a row of the table.
    const TaxBracket copy = table[2];
    QCOMPARE(bracketIndex(&copy), -1);
    QCOMPARE(rateOf(&table[2]), 0.2);
    QCOMPARE(rateOf(nullptr), 0.0);
}

void TestAmount::bracketTaxUsesTheFraction()
{
    // 5500 yuan at 20 % less 555: 545 yuan.
    QCOMPARE(bracketTax(lookupBracket(550000), 550000), Amount(54500));
    // 18001 yuan at 10 % less 105: 1695.10 yuan.
    QCOMPARE(bracketTax(&rateTable()[1], 1800100), Amount(169510));
}

QTEST_APPLESS_MAIN(TestAmount)
#include "tst_amount.moc"
