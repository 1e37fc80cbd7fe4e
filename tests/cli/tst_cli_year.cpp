#include "clirunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList words(const char *text)
{
    return QString::fromUtf8(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QJsonObject runJson(const QStringList &args)
{
    const CliRun r = runCli(args + QStringList{QStringLiteral("--json")});
    if (r.exitCode != 0)
        qWarning("%s", qPrintable(r.err));
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

} // namespace

class TestCliYear : public QObject
{
    Q_OBJECT

private slots:
    void workedFigures_data();
    void workedFigures();
    void jsonShape();
    void bonusAndSettlement_data();
    void bonusAndSettlement();
    void plan2019();
    void processAndHuman();
    void badArguments_data();
    void badArguments();
    void jsonLines();
};

void TestCliYear::workedFigures_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<QList<qint64>>("withheld");
    QTest::newRow("10,000 a month") << u"year --gross 10000 --insurance 1500 --deductions 1000"_s
                                    << QList<qint64>{7500, 7500, 7500};
    QTest::newRow("30,000 a month, January to March")
        << u"year --gross-months 30000,30000,30000 --insurance 4500 --deductions 3000"_s
        << QList<qint64>{52500, 52500, 168000};
    QTest::newRow("from October") << u"year --gross 20000 --start-month 10"_s
                                  << QList<qint64>{45000, 45000, 108000};
    QTest::newRow("non-resident") << u"year --non-resident --gross-months 10000,4000"_s
                                  << QList<qint64>{29000, 0};
}

void TestCliYear::workedFigures()
{
    QFETCH(QString, args);
    QFETCH(QList<qint64>, withheld);
    const QJsonArray months = runJson(args.split(QLatin1Char(' '))).value(u"months"_s).toArray();
    QVERIFY(months.size() >= withheld.size());
    for (int i = 0; i < withheld.size(); ++i)
        QCOMPARE(months.at(i).toObject().value(u"withheld"_s).toInteger(), withheld.at(i));
}

void TestCliYear::jsonShape()
{
    const QJsonObject o = runJson(words("year --gross 10000 --insurance 1500 --deductions 1000"));
    QCOMPARE(o.keys().size(), 8);
    QCOMPARE(o.value(u"rules"_s).toString(), u"2019"_s);
    QVERIFY(o.value(u"resident"_s).toBool());
    QVERIFY(o.value(u"bonus"_s).isNull());
    const QJsonArray months = o.value(u"months"_s).toArray();
    QCOMPARE(months.size(), 12);
    const QJsonObject m = months.at(1).toObject();
    const QStringList keys = {u"month"_s,
                              u"gross"_s,
                              u"insurance"_s,
                              u"deductions"_s,
                              u"cumulativeIncome"_s,
                              u"cumulativeBasic"_s,
                              u"cumulativeTaxable"_s,
                              u"rate"_s,
                              u"quickDeduction"_s,
                              u"cumulativeTax"_s,
                              u"withheld"_s,
                              u"net"_s};
    for (const QString &k : keys)
        QVERIFY2(m.contains(k), qPrintable(k));
    QCOMPARE(m.value(u"month"_s).toInt(), 2);
    QCOMPARE(m.value(u"cumulativeIncome"_s).toInteger(), 2000000);
    QCOMPARE(m.value(u"cumulativeBasic"_s).toInteger(), 1000000);
    QCOMPARE(m.value(u"cumulativeTaxable"_s).toInteger(), 500000);
    QCOMPARE(m.value(u"rate"_s).toInt(), 3);
    QCOMPARE(m.value(u"net"_s).toInteger(), 1000000 - 150000 - 7500);
    QCOMPARE(o.value(u"withheldTotal"_s).toInteger(), 90000);
    QCOMPARE(o.value(u"annualTax"_s).toInteger(), 90000);
    QCOMPARE(o.value(u"settlement"_s).toInteger(), 0);
    QCOMPARE(o.value(u"netTotal"_s).toInteger(), 12 * (1000000 - 150000 - 7500));
}

void TestCliYear::bonusAndSettlement_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("method");
    QTest::addColumn<qint64>("bonusTax");
    QTest::addColumn<qint64>("settlement");
    QTest::newRow("separate 36,000") << u"--gross 8000 --bonus 36000 --bonus-method separate"_s
                                     << u"separate"_s << qint64(108000) << qint64(0);
    QTest::newRow("separate 36,000.01 in the blind zone")
        << u"--gross 8000 --bonus 36000.01 --bonus-method separate"_s << u"separate"_s << qint64(339000)
        << qint64(0);
    QTest::newRow("best picks merged in the blind zone")
        << u"--gross 5000 --bonus 36000.01"_s << u"merged"_s << qint64(0) << qint64(0);
    QTest::newRow("merged in June is withheld in June")
        << u"--gross 5000 --bonus 30000 --bonus-month 6 --bonus-method merged"_s << u"merged"_s << qint64(0)
        << qint64(0);
    QTest::newRow("2028 allows merged only")
        << u"--gross 8000 --bonus 36000 --year 2028"_s << u"merged"_s << qint64(0) << qint64(0);
    QTest::newRow("half a year is refunded")
        << u"--gross 15000 --start-month 7"_s << QString() << qint64(0) << qint64(-258000);
}

void TestCliYear::bonusAndSettlement()
{
    QFETCH(QString, args);
    QFETCH(QString, method);
    QFETCH(qint64, bonusTax);
    QFETCH(qint64, settlement);
    const QJsonObject o = runJson(QStringList{u"year"_s} + args.split(QLatin1Char(' ')));
    if (method.isEmpty()) {
        QVERIFY(o.value(u"bonus"_s).isNull());
    } else {
        const QJsonObject b = o.value(u"bonus"_s).toObject();
        QCOMPARE(b.value(u"method"_s).toString(), method);
        QCOMPARE(b.value(u"tax"_s).toInteger(), bonusTax);
    }
    QCOMPARE(o.value(u"settlement"_s).toInteger(), settlement);
    QCOMPARE(o.value(u"settlement"_s).toInteger(),
             o.value(u"annualTax"_s).toInteger() - o.value(u"withheldTotal"_s).toInteger());
}

void TestCliYear::plan2019()
{
    const QJsonObject o = runJson(words("plan --rules 2019 --annual 200000 --insurance-annual 20000"));
    QCOMPARE(o.value(u"rules"_s).toString(), u"2019"_s);
    QCOMPARE(o.value(u"annual"_s).toInteger(), 20000000);
    QCOMPARE(o.value(u"bonus"_s).toInteger(), 3600000);
    QCOMPARE(o.value(u"wages"_s).toInteger(), 16400000);
    const QJsonArray monthly = o.value(u"monthly"_s).toArray();
    QCOMPARE(monthly.size(), 12);
    qint64 sum = 0;
    for (const auto &m : monthly)
        sum += m.toInteger();
    QCOMPARE(sum, 16400000);
    QCOMPARE(o.value(u"taxTotal"_s).toInteger(), 696000);
    QCOMPARE(o.value(u"allWageTax"_s).toInteger(), 948000);
    QCOMPARE(o.value(u"taxDecrease"_s).toInteger(), 252000);
    QCOMPARE(o.value(u"netTotal"_s).toInteger(), 20000000 - 2000000 - 696000);
    // The other way: that net needs exactly that pay, split the same way.
    const QJsonObject n = runJson(words("plan --rules 2019 --net 173040 --insurance-annual 20000"));
    QCOMPARE(n.value(u"net"_s).toInteger(), 17304000);
    QCOMPARE(n.value(u"annual"_s).toInteger(), 20000000);
    QCOMPARE(n.value(u"bonus"_s).toInteger(), 3600000);
    QCOMPARE(n.value(u"netTotal"_s).toInteger(), 17304000);
    // The 2011 planning is untouched by the new option's existence.
    const CliRun old = runCli(words("plan --goal 0 --method bonus --gross 8000 --bonus 18001 --json"));
    QCOMPARE(old.exitCode, 0);
    QVERIFY(old.out.contains(u"\"taxDecrease\":115510"_s));
}

void TestCliYear::processAndHuman()
{
    const CliRun y =
        runCli(words("year --gross-months 30000,30000,30000 --insurance 4500 --deductions 3000 --process"));
    QCOMPARE(y.exitCode, 0);
    QVERIFY(y.out.contains(u"累计预扣法"_s));
    QVERIFY(y.out.contains(u"本月预扣预缴 1,680"_s));
    QVERIFY(y.out.contains(u"应退税 2,505"_s));
    const CliRun p = runCli(words("plan --rules=2019 --annual 200000 --insurance-annual 20000 --process"));
    QCOMPARE(p.exitCode, 0);
    QVERIFY(p.out.contains(u"年终奖金 36,000：综合所得税额 5,880 + 奖金税额 1,080 = 6,960"_s));
    QVERIFY(p.out.contains(u"节税 2,520"_s));
}

void TestCliYear::badArguments_data()
{
    QTest::addColumn<QString>("args");
    QTest::newRow("no wage") << u"year"_s;
    QTest::newRow("both wage forms") << u"year --gross 1 --gross-months 1,2"_s;
    QTest::newRow("thirteen months") << u"year --gross-months 1,1,1,1,1,1,1,1,1,1,1,1,1"_s;
    QTest::newRow("past December") << u"year --gross-months 1,1,1 --start-month 11"_s;
    QTest::newRow("start month 0") << u"year --gross 1 --start-month 0"_s;
    QTest::newRow("bad month amount") << u"year --gross-months 1,abc"_s;
    QTest::newRow("negative wage") << u"year --gross -5"_s;
    QTest::newRow("bonus month outside") << u"year --gross-months 1,1 --bonus 5 --bonus-month 5"_s;
    QTest::newRow("bonus month without bonus") << u"year --gross 1 --bonus-month 5"_s;
    QTest::newRow("unknown method") << u"year --gross 1 --bonus 5 --bonus-method later"_s;
    QTest::newRow("separate in 2028") << u"year --gross 1 --bonus 5 --bonus-method separate --year 2028"_s;
    QTest::newRow("non-resident deductions") << u"year --non-resident --gross 1 --deductions 5"_s;
    QTest::newRow("plan without annual") << u"plan --rules 2019"_s;
    QTest::newRow("plan 2011 options") << u"plan --rules 2019 --annual 1 --gross 5"_s;
    QTest::newRow("plan bad amount") << u"plan --rules 2019 --annual 1e9"_s;
    QTest::newRow("plan both pay and net") << u"plan --rules 2019 --annual 1 --net 1"_s;
    QTest::newRow("plan net no pay reaches") << u"plan --rules 2019 --net 999999999.99"_s;
}

void TestCliYear::badArguments()
{
    QFETCH(QString, args);
    const CliRun r = runCli(args.split(QLatin1Char(' ')));
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.contains(u"用法"_s));
}

void TestCliYear::jsonLines()
{
    const CliRun y = runCli({u"year"_s, u"--jsonl"_s},
                            "{\"gross\":10000,\"insurance\":1500,\"deductions\":1000}\n{\"gross\":\"x\"}\n");
    QCOMPARE(y.exitCode, 0);
    const QStringList lines = y.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(QJsonDocument::fromJson(lines.at(0).toUtf8()).object().value(u"withheldTotal"_s).toInteger(),
             90000);
    QVERIFY(QJsonDocument::fromJson(lines.at(1).toUtf8()).object().contains(u"error"_s));
    const CliRun p = runCli({u"plan"_s, u"--rules"_s, u"2019"_s, u"--jsonl"_s},
                            "{\"annual\":200000,\"insurance-annual\":20000}\n");
    QCOMPARE(p.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(p.out.toUtf8()).object().value(u"bonus"_s).toInteger(), 3600000);
}

QTEST_GUILESS_MAIN(TestCliYear)
#include "tst_cli_year.moc"
