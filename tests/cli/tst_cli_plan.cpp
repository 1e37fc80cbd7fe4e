#include "clirunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

QJsonObject runJson(const QStringList &args)
{
    const CliRun r = runCli(args + QStringList{QStringLiteral("--json")});
    if (r.exitCode != 0)
        qWarning("%s", qPrintable(r.err));
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

qint64 fen(const QJsonObject &o, const char *key)
{
    return o.value(QLatin1String(key)).toInteger(-1);
}

} // namespace

class TestCliPlan : public QObject
{
    Q_OBJECT

private slots:
    void planBonusOnly();
    void planAlreadyOptimal();
    void totalsAreTheRows_data();
    void totalsAreTheRows();
    void inverseMonthAndBonus();
    void inverseNothingGiven();
    void apportion();
    void humanOutput();
    void badArguments_data();
    void badArguments();
    void jsonLines();
    void insuranceAboveWage_data();
    void insuranceAboveWage();
};

void TestCliPlan::planBonusOnly()
{
    const QJsonObject o =
        runJson({QStringLiteral("plan"), QStringLiteral("--goal"), QStringLiteral("0"),
                 QStringLiteral("--method"), QStringLiteral("bonus"), QStringLiteral("--gross"),
                 QStringLiteral("8000"), QStringLiteral("--bonus"), QStringLiteral("18001")});
    QCOMPARE(o.value(QStringLiteral("method")).toString(),
             QStringLiteral("调整年终奖金，增加员工税后收入（单位不多开支）。"));
    QCOMPARE(fen(o.value(QStringLiteral("input")).toObject(), "taxTotal"), 204010);
    const QJsonArray results = o.value(QStringLiteral("results")).toArray();
    QCOMPARE(results.size(), 1);
    const QJsonObject r = results.at(0).toObject();
    QCOMPARE(fen(r.value(QStringLiteral("bonus")).toObject(), "amount"), 1800000);
    QCOMPARE(fen(r, "taxDecrease"), 115510);
    QCOMPARE(fen(r, "costDecrease"), 100);
    QCOMPARE(fen(r, "netIncrease"), 115410);
    QVERIFY(o.value(QStringLiteral("processText"))
                .toString()
                .startsWith(QStringLiteral("筹划方法：调整年终奖金")));
}

void TestCliPlan::planAlreadyOptimal()
{
    const QJsonObject o =
        runJson({QStringLiteral("plan"), QStringLiteral("--goal=1"), QStringLiteral("--method=balanced"),
                 QStringLiteral("--months=12"), QStringLiteral("--gross=3000")});
    QCOMPARE(o.value(QStringLiteral("results")).toArray().size(), 0);
    QCOMPARE(fen(o.value(QStringLiteral("input")).toObject(), "months"), 12);
    QVERIFY(o.value(QStringLiteral("processText"))
                .toString()
                .endsWith(QStringLiteral("原有薪资已经是合理发放了。\n")));
}

// What the command reports as totals is what its own rows add up to: twelve monthly rows and
// the bonus, to the fen.
void TestCliPlan::totalsAreTheRows_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<qint64>("taxableTotal");
    QTest::addColumn<qint64>("netTotal");
    QTest::newRow("plan 8000 and 18001 over 12 months, goal 0")
        << QStringList{QStringLiteral("plan"),
                       QStringLiteral("--goal=0"),
                       QStringLiteral("--method=balanced"),
                       QStringLiteral("--months=12"),
                       QStringLiteral("--gross=8000"),
                       QStringLiteral("--bonus=18001")}
        << qint64(11400096) << qint64(10932072);
    QTest::newRow("inverse from a net year of 100000 pays at least that")
        << QStringList{QStringLiteral("inverse"), QStringLiteral("--mode=net-annual"),
                       QStringLiteral("--amount=100000")}
        << qint64(10364448) << qint64(10000008);
}

void TestCliPlan::totalsAreTheRows()
{
    QFETCH(QStringList, args);
    QFETCH(qint64, taxableTotal);
    QFETCH(qint64, netTotal);
    const QJsonObject r = runJson(args).value(QStringLiteral("results")).toArray().at(0).toObject();
    const QJsonObject monthly = r.value(QStringLiteral("monthly")).toObject();
    const QJsonObject bonus = r.value(QStringLiteral("bonus")).toObject();
    const qint64 months = fen(r, "months");
    QCOMPARE(fen(r, "taxableTotal"), taxableTotal);
    QCOMPARE(fen(r, "netTotal"), netTotal);
    QCOMPARE(fen(r, "taxableTotal"), months * fen(monthly, "amount") + fen(bonus, "amount"));
    QCOMPARE(fen(r, "netTotal"), months * fen(monthly, "afterTax") + fen(bonus, "afterTax"));
    QCOMPARE(fen(r, "taxTotal"), months * fen(monthly, "tax") + fen(bonus, "tax"));
}

void TestCliPlan::inverseMonthAndBonus()
{
    const QJsonObject o =
        runJson({QStringLiteral("inverse"), QStringLiteral("--mode"), QStringLiteral("net-month-bonus"),
                 QStringLiteral("--net-monthly"), QStringLiteral("5000"), QStringLiteral("--net-bonus"),
                 QStringLiteral("10000"), QStringLiteral("--employer-insurance"), QStringLiteral("1000")});
    QVERIFY(o.value(QStringLiteral("ok")).toBool());
    const QJsonObject r = o.value(QStringLiteral("results")).toArray().at(0).toObject();
    QCOMPARE(fen(r.value(QStringLiteral("monthly")).toObject(), "amount"), 505000);
    QCOMPARE(fen(r.value(QStringLiteral("bonus")).toObject(), "amount"), 1030928);
    QCOMPARE(fen(o, "annualTax"), 90928);
    QCOMPARE(fen(o, "employerInsurance"), 100000);
    QCOMPARE(fen(o, "employerExpense"), 7190928);
}

void TestCliPlan::inverseNothingGiven()
{
    const QJsonObject o = runJson({QStringLiteral("inverse"), QStringLiteral("--mode=net-annual"),
                                   QStringLiteral("--amount=0"), QStringLiteral("--employer-insurance=500")});
    QVERIFY(!o.value(QStringLiteral("ok")).toBool(true));
    QCOMPARE(o.value(QStringLiteral("results")).toArray().size(), 0);
    QCOMPARE(fen(o, "annualTax"), 0);
    QCOMPARE(fen(o, "employerExpense"), 0);
}

void TestCliPlan::apportion()
{
    const QJsonObject o =
        runJson({QStringLiteral("apportion"), QStringLiteral("--gross"), QStringLiteral("5800"),
                 QStringLiteral("--bonus"), QStringLiteral("6000")});
    QCOMPARE(fen(o, "share"), 200000);
    QCOMPARE(fen(o, "taxBefore"), 135500);
    QCOMPARE(fen(o, "netBefore"), 2204500);
    QCOMPARE(fen(o, "taxAfter"), 97500);
    QCOMPARE(fen(o, "netAfter"), 2242500);
    QCOMPARE(fen(o, "taxDecrease"), 38000);
    QCOMPARE(fen(o, "netIncrease"), 38000);
    QCOMPARE(fen(o.value(QStringLiteral("bonusMonth")).toObject().value(QStringLiteral("monthly")).toObject(),
                 "tax"),
             110500);
    QCOMPARE(fen(o.value(QStringLiteral("otherMonths")).toObject(), "months"), 2);
    QCOMPARE(fen(o.value(QStringLiteral("after")).toObject(), "months"), 3);
}

void TestCliPlan::humanOutput()
{
    const CliRun plan = runCli({QStringLiteral("plan"), QStringLiteral("--goal=0"),
                                QStringLiteral("--method=bonus"), QStringLiteral("--gross=8000"),
                                QStringLiteral("--bonus=18001"), QStringLiteral("--process")});
    QCOMPARE(plan.exitCode, 0);
    QVERIFY(plan.out.contains(
        QStringLiteral("个人所得税减少：1,155.1\n单位开支减少：1\n税后收入增加：1,154.1\n")));
    QVERIFY(plan.out.contains(QStringLiteral("筹划方法：")));
    const CliRun apportion =
        runCli({QStringLiteral("apportion"), QStringLiteral("--gross=5800"), QStringLiteral("--bonus=6000")});
    QVERIFY(apportion.out.contains(QStringLiteral("税后收入增加：380")));
    const QStringList lines = apportion.out.split(QLatin1Char('\n'));
    QVERIFY(lines.at(2).simplified() == QStringLiteral("1,355 22,045 5,800 6,000 1,105 10,695 20% 555"));
    QVERIFY(lines.at(4).simplified() == QStringLiteral("975 22,425 5,800 2,000 325 7,475 10% 105"));
}

void TestCliPlan::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    const QString plan = QStringLiteral("plan");
    QTest::newRow("plan without goal") << QStringList{plan, QStringLiteral("--method=bonus")};
    QTest::newRow("plan goal 2") << QStringList{plan, QStringLiteral("--goal=2"),
                                                QStringLiteral("--method=bonus")};
    QTest::newRow("plan unknown method")
        << QStringList{plan, QStringLiteral("--goal=0"), QStringLiteral("--method=x")};
    QTest::newRow("plan months 13") << QStringList{
        plan, QStringLiteral("--goal=0"), QStringLiteral("--method=balanced"), QStringLiteral("--months=13")};
    QTest::newRow("plan annuity is not planned") << QStringList{
        plan, QStringLiteral("--goal=0"), QStringLiteral("--method=bonus"), QStringLiteral("--annuity=1")};
    QTest::newRow("inverse without mode")
        << QStringList{QStringLiteral("inverse"), QStringLiteral("--amount=1")};
    QTest::newRow("inverse amount in mode 3") << QStringList{
        QStringLiteral("inverse"), QStringLiteral("--mode=net-month-bonus"), QStringLiteral("--amount=1")};
    QTest::newRow("inverse net bonus in mode 1") << QStringList{
        QStringLiteral("inverse"), QStringLiteral("--mode=net-annual"), QStringLiteral("--net-bonus=1")};
    QTest::newRow("inverse negative") << QStringList{
        QStringLiteral("inverse"), QStringLiteral("--mode=gross-annual"), QStringLiteral("--amount=-1")};
    QTest::newRow("apportion months 0")
        << QStringList{QStringLiteral("apportion"), QStringLiteral("--months=0")};
    QTest::newRow("apportion three decimals")
        << QStringList{QStringLiteral("apportion"), QStringLiteral("--bonus=1.005")};
    QTest::newRow("apportion threshold")
        << QStringList{QStringLiteral("apportion"), QStringLiteral("--threshold=0")};
}

void TestCliPlan::badArguments()
{
    QFETCH(QStringList, args);
    const CliRun r = runCli(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.startsWith(QStringLiteral("lumo-cli ") + args.first()));
}

void TestCliPlan::jsonLines()
{
    const QByteArray plans =
        "{\"goal\":1,\"method\":\"balanced\",\"months\":12,\"threshold\":3500,\"gross\":9000,"
        "\"insurance\":0,\"bonus\":20000}\n"
        "{\"goal\":1}\n";
    const CliRun p = runCli({QStringLiteral("plan"), QStringLiteral("--jsonl")}, plans);
    QCOMPARE(p.exitCode, 0);
    const QStringList planLines = p.out.trimmed().split(QLatin1Char('\n'));
    QCOMPARE(planLines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(planLines[0].toUtf8()).object();
    QVERIFY(first.value(QStringLiteral("results")).toArray().size() >= 1);
    QVERIFY(QJsonDocument::fromJson(planLines[1].toUtf8()).object().contains(QStringLiteral("error")));

    const QByteArray inverse = "{\"mode\":\"net-month-bonus\",\"net-monthly\":5000,\"net-bonus\":10000}\n"
                               "{\"mode\":\"net-annual\",\"amount\":true}\n";
    const CliRun i = runCli({QStringLiteral("inverse"), QStringLiteral("--jsonl")}, inverse);
    const QStringList inverseLines = i.out.trimmed().split(QLatin1Char('\n'));
    QCOMPARE(inverseLines.size(), 2);
    QCOMPARE(QJsonDocument::fromJson(inverseLines[0].toUtf8())
                 .object()
                 .value(QStringLiteral("annualTax"))
                 .toInteger(),
             90928);
    QVERIFY(QJsonDocument::fromJson(inverseLines[1].toUtf8()).object().contains(QStringLiteral("error")));
}

// 三险一金 above the wage: the plan pays what was paid before, and the apportionment's gain is the
// tax saved. "results/0/grossTotal" walks objects and arrays.
void TestCliPlan::insuranceAboveWage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("value");
    const QStringList plan = {
        QStringLiteral("plan"),          QStringLiteral("--goal=0"),     QStringLiteral("--method=balanced"),
        QStringLiteral("--months=12"),   QStringLiteral("--gross=8000"), QStringLiteral("--insurance=9000"),
        QStringLiteral("--bonus=100000")};
    QTest::newRow("plan: 196,000 paid before")
        << plan << QStringLiteral("input/grossTotal") << qint64(19600000);
    QTest::newRow("plan: never more after")
        << plan << QStringLiteral("results/0/grossTotal") << qint64(19599996);
    QTest::newRow("plan: 4 fen less for the employer")
        << plan << QStringLiteral("results/0/costDecrease") << qint64(4);
    QTest::newRow("plan: taxable wage is wage less insurance")
        << plan << QStringLiteral("results/0/monthly/amount") << qint64(583333);
    QTest::newRow("plan: the gain is the tax saved less the cost saved")
        << plan << QStringLiteral("results/0/netIncrease") << qint64(1666500);
    const QStringList spread = {QStringLiteral("apportion"), QStringLiteral("--gross=5800"),
                                QStringLiteral("--insurance=7000"), QStringLiteral("--bonus=6000"),
                                QStringLiteral("--months=4")};
    QTest::newRow("apportion: tax saved") << spread << QStringLiteral("taxDecrease") << qint64(3900);
    QTest::newRow("apportion: the same gained") << spread << QStringLiteral("netIncrease") << qint64(3900);
    const QStringList uneven = {QStringLiteral("apportion"), QStringLiteral("--gross=6500"),
                                QStringLiteral("--bonus=6500"), QStringLiteral("--months=3")};
    QTest::newRow("apportion 6500 over 3: shares of 2166.66")
        << uneven << QStringLiteral("share") << qint64(216666);
    QTest::newRow("apportion 6500 over 3: 2 fen to the bonus's month")
        << uneven << QStringLiteral("afterBonusMonth/monthlyGross") << qint64(650000 + 216668);
    QTest::newRow("apportion 6500 over 3: gained as saved")
        << uneven << QStringLiteral("netIncrease") << qint64(32500);
}

void TestCliPlan::insuranceAboveWage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, path);
    QFETCH(qint64, value);
    QJsonValue v = runJson(args);
    for (const QString &step : path.split(QLatin1Char('/'))) {
        bool index = false;
        const int k = step.toInt(&index);
        v = index ? v.toArray().at(k) : v.toObject().value(step);
    }
    QCOMPARE(v.toInteger(-1), value);
}

QTEST_GUILESS_MAIN(TestCliPlan)
#include "tst_cli_plan.moc"
