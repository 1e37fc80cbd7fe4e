#include "clirunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

class TestCliCalc : public QObject
{
    Q_OBJECT

private slots:
    void jsonShape();
    void jsonItems();
    void humanTable();
    void badArguments_data();
    void badArguments();
    void jsonLines();
};

void TestCliCalc::jsonShape()
{
    const CliRun r =
        runCli({QStringLiteral("calc"), QStringLiteral("--gross"), QStringLiteral("10000"),
                QStringLiteral("--insurance"), QStringLiteral("1000"), QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.isEmpty());
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QStringList keys = {QStringLiteral("threshold"),        QStringLiteral("monthlyGross"),
                              QStringLiteral("insurance"),        QStringLiteral("months"),
                              QStringLiteral("monthly"),          QStringLiteral("bonus"),
                              QStringLiteral("annuity"),          QStringLiteral("annualGross"),
                              QStringLiteral("annualMonthlyTax"), QStringLiteral("annualMonthlyAfterTax"),
                              QStringLiteral("grossTotal"),       QStringLiteral("taxableTotal"),
                              QStringLiteral("taxTotal"),         QStringLiteral("netTotal"),
                              QStringLiteral("processText")};
    QStringList sortedKeys = keys;
    sortedKeys.sort();
    QCOMPARE(o.keys(), sortedKeys);
    // Keys come out in the documented order.
    qsizetype last = -1;
    for (const QString &k : keys) {
        const qsizetype at = r.out.indexOf(QLatin1Char('"') + k + QStringLiteral("\":"));
        QVERIFY2(at > last, qPrintable(k));
        last = at;
    }
    QCOMPARE(o.value(QStringLiteral("threshold")).toInteger(), 350000);
    QCOMPARE(o.value(QStringLiteral("monthlyGross")).toInteger(), 1000000);
    const QJsonObject monthly = o.value(QStringLiteral("monthly")).toObject();
    QCOMPARE(monthly.value(QStringLiteral("amount")).toInteger(), 900000);
    QCOMPARE(monthly.value(QStringLiteral("tax")).toInteger(), 54500);
    QCOMPARE(monthly.value(QStringLiteral("afterTax")).toInteger(), 845500);
    QCOMPARE(monthly.value(QStringLiteral("rate")).toInteger(), 20);
    QCOMPARE(monthly.value(QStringLiteral("quickDeduction")).toInteger(), 55500);
    QVERIFY(o.value(QStringLiteral("bonus")).isNull());
    QVERIFY(o.value(QStringLiteral("annuity")).isNull());
    QCOMPARE(o.value(QStringLiteral("netTotal")).toInteger(), 845500);
    const QStringList lines = o.value(QStringLiteral("processText")).toString().split(QLatin1Char('\n'));
    QCOMPARE(lines.at(1), QStringLiteral("    【月应税收入】=月应发工资-三险一金=10,000-1,000=9,000元"));
    QCOMPARE(lines.at(2), QStringLiteral("    【应纳税所得额】=月应税收入-免征额=9,000-3,500=5,500元"));
    QCOMPARE(lines.at(3), QStringLiteral("        适用税率20% 速算扣除数555"));
    QCOMPARE(lines.at(4),
             QStringLiteral("    【缴纳个税】=应纳税所得额×税率-速算扣除数=5,500×20%-555=545元"));
    QCOMPARE(lines.at(8), QStringLiteral("    【实发数合计】=8,455元"));
}

void TestCliCalc::jsonItems()
{
    // A bonus inside the shortfall: present, but in no row.
    const CliRun r =
        runCli({QStringLiteral("calc"), QStringLiteral("--threshold=4800"), QStringLiteral("--gross=4000"),
                QStringLiteral("--bonus=800"), QStringLiteral("--annuity"), QStringLiteral("0.01"),
                QStringLiteral("--months"), QStringLiteral("12"), QStringLiteral("--json")});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(o.value(QStringLiteral("threshold")).toInteger(), 480000);
    QCOMPARE(o.value(QStringLiteral("months")).toInteger(), 12);
    const QJsonObject bonus = o.value(QStringLiteral("bonus")).toObject();
    QCOMPARE(bonus.value(QStringLiteral("amount")).toInteger(), 80000);
    QCOMPARE(bonus.value(QStringLiteral("tax")).toInteger(), 0);
    QVERIFY(bonus.value(QStringLiteral("rate")).isNull());
    QVERIFY(bonus.value(QStringLiteral("quickDeduction")).isNull());
    QCOMPARE(o.value(QStringLiteral("annuity")).toObject().value(QStringLiteral("amount")).toInteger(), 1);
    QCOMPARE(o.value(QStringLiteral("annualGross")).toInteger(), 4800000);
}

void TestCliCalc::humanTable()
{
    const CliRun r =
        runCli({QStringLiteral("calc"), QStringLiteral("--gross"), QStringLiteral("10000"),
                QStringLiteral("--insurance"), QStringLiteral("1000"), QStringLiteral("--process")});
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    QVERIFY(lines.at(0).contains(QStringLiteral("应税收入")));
    QVERIFY(lines.at(1).startsWith(QStringLiteral("月应发工资")));
    QVERIFY(lines.at(1).contains(QStringLiteral("9,000")));
    QVERIFY(lines.at(1).contains(QStringLiteral("8,455")));
    QVERIFY(lines.at(1).contains(QStringLiteral("20%")));
    QCOMPARE(lines.at(2).trimmed(), QStringLiteral("年终奖金"));
    QVERIFY(lines.at(4).startsWith(QStringLiteral("总计")));
    // Figures are right-aligned under their header, Chinese counted as two columns.
    const auto columnAfter = [](const QString &line, const QString &text) {
        const QString upTo = line.left(line.indexOf(text) + text.size());
        return upTo.size() +
               upTo.count(QRegularExpression(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]")));
    };
    QCOMPARE(columnAfter(lines.at(1), QStringLiteral("8,455")),
             columnAfter(lines.at(0), QStringLiteral("实发数")));
    QCOMPARE(columnAfter(lines.at(4), QStringLiteral("8,455")),
             columnAfter(lines.at(0), QStringLiteral("实发数")));
    QVERIFY(r.out.contains(QStringLiteral("【缴纳个税】=应纳税所得额×税率-速算扣除数=5,500×20%-555=545元")));
}

void TestCliCalc::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("negative") << QStringList{QStringLiteral("--gross"), QStringLiteral("-1")};
    QTest::newRow("too large") << QStringList{QStringLiteral("--gross"), QStringLiteral("1000000000")};
    QTest::newRow("not a number") << QStringList{QStringLiteral("--bonus"), QStringLiteral("abc")};
    QTest::newRow("three decimals") << QStringList{QStringLiteral("--insurance"), QStringLiteral("1.001")};
    QTest::newRow("unknown threshold") << QStringList{QStringLiteral("--threshold"), QStringLiteral("5000")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--salary"), QStringLiteral("1")};
    QTest::newRow("missing value") << QStringList{QStringLiteral("--gross")};
    QTest::newRow("months zero") << QStringList{QStringLiteral("--months"), QStringLiteral("0")};
    QTest::newRow("months thirteen") << QStringList{QStringLiteral("--months"), QStringLiteral("13")};
    QTest::newRow("stray argument") << QStringList{QStringLiteral("10000")};
    QTest::newRow("repeated option") << QStringList{QStringLiteral("--gross=1"), QStringLiteral("--gross=2")};
    QTest::newRow("jsonl with options")
        << QStringList{QStringLiteral("--jsonl"), QStringLiteral("--gross=2")};
}

void TestCliCalc::badArguments()
{
    QFETCH(QStringList, args);
    const CliRun r = runCli(QStringList{QStringLiteral("calc")} + args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.contains(QStringLiteral("lumo-cli calc:")));
}

void TestCliCalc::jsonLines()
{
    const QByteArray input = "{\"threshold\":3500,\"gross\":10000,\"insurance\":1000}\n"
                             "{\"gross\":-5}\n"
                             "not json\n"
                             "{\"bonus\":18000.12,\"gross\":8000}\n"
                             "{\"threshold\":4800,\"gross\":\"4000\",\"bonus\":800,\"months\":12}\n"
                             "{\"gross\":1.234}\n"
                             "{\"wage\":1}\n"
                             "{\"months\":1.5}\n";
    const CliRun r = runCli({QStringLiteral("calc"), QStringLiteral("--jsonl")}, input);
    QCOMPARE(r.exitCode, 0);
    QStringList lines = r.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.size(), 8);
    QList<QJsonObject> objects;
    for (const QString &line : lines)
        objects << QJsonDocument::fromJson(line.toUtf8()).object();
    QCOMPARE(objects[0].value(QStringLiteral("monthly")).toObject().value(QStringLiteral("tax")).toInteger(),
             54500);
    QVERIFY(objects[1].contains(QStringLiteral("error")));
    QVERIFY(objects[2].contains(QStringLiteral("error")));
    QCOMPARE(objects[3].value(QStringLiteral("bonus")).toObject().value(QStringLiteral("rate")).toInteger(),
             10);
    QCOMPARE(objects[4].value(QStringLiteral("bonus")).toObject().value(QStringLiteral("tax")).toInteger(),
             0);
    QCOMPARE(objects[4].value(QStringLiteral("months")).toInteger(), 12);
    for (int i : {5, 6, 7})
        QVERIFY2(objects[i].contains(QStringLiteral("error")), qPrintable(lines[i]));
}

QTEST_GUILESS_MAIN(TestCliCalc)
#include "tst_cli_calc.moc"
