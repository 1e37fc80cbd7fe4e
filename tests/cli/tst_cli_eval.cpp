#include "clirunner.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCliEval : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void errors_data();
    void errors();
    void nonFiniteIsNull();
    void humanOutput_data();
    void humanOutput();
    void freshVariables();
    void badArguments_data();
    void badArguments();
    void rowFormulas();
    void rowFormulasJson();
};

static QJsonObject jsonOf(const CliRun &r)
{
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &e);
    return doc.object();
}

void TestCliEval::values_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<double>("value");

    QTest::newRow("10-3-2") << u"10-3-2"_s << 9.0;
    QTest::newRow("8/4/2") << u"8/4/2"_s << 4.0;
    QTest::newRow("7\\2") << u"7\\2"_s << 3.0;
    QTest::newRow("-7\\2") << u"-7\\2"_s << -3.0;
    QTest::newRow("-7%3") << u"-7%3"_s << -1.0;
    QTest::newRow("7.9%3") << u"7.9%3"_s << 1.0;
    QTest::newRow("2<>2") << u"2<>2"_s << 0.0;
    QTest::newRow("1||(x=5)") << u"1||(x=5)"_s << 1.0;
    QTest::newRow("0x1F") << u"0x1F"_s << 31.0;
    QTest::newRow("0b101") << u"0b101"_s << 5.0;
    QTest::newRow("017") << u"017"_s << 15.0;
    QTest::newRow("1.5e2") << u"1.5e2"_s << 150.0;
    QTest::newRow("2e-1") << u"2e-1"_s << 0.2;
    QTest::newRow("{1+2]*3") << u"{1+2]*3"_s << 9.0;
    QTest::newRow("a=5") << u"a=5"_s << 5.0;
    QTest::newRow("1,2") << u"1,2"_s << 1.0;
    QTest::newRow("3--2") << u"3--2"_s << 5.0;
}

void TestCliEval::values()
{
    QFETCH(QString, expression);
    QFETCH(double, value);
    const CliRun r = runCli({u"eval"_s, u"--json"_s, u"--"_s, expression});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.isEmpty());
    const QJsonObject o = jsonOf(r);
    QCOMPARE(o.keys(), (QStringList{u"ok"_s, u"value"_s}));
    QCOMPARE(o.value(u"ok"_s).toBool(), true);
    QCOMPARE(o.value(u"value"_s).toDouble(), value);
    // The value is the shortest text of the double, not 17 digits of binary noise.
    if (value == 0.2)
        QVERIFY(r.out.contains(u"\"value\":0.2}"_s));
}

void TestCliEval::errors_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("position");

    QTest::newRow("08") << u"08"_s << 2 << u"语法错误"_s << 1;
    QTest::newRow("-a") << u"-a"_s << 2 << u"语法错误"_s << 1;
    QTest::newRow("foo(1)") << u"foo(1)"_s << 2 << u"语法错误"_s << 0;
    QTest::newRow("(1+2") << u"(1+2"_s << 3 << u"括号不匹配"_s << 5;
    QTest::newRow("1+2)") << u"1+2)"_s << 3 << u"括号不匹配"_s << 3;
    QTest::newRow("sin(1,2)") << u"sin(1,2)"_s << 3 << u"括号不匹配"_s << 5;
    QTest::newRow("0&&x=5") << u"0&&x=5"_s << 5 << u"不能给常数赋值"_s << 4;
    QTest::newRow("5=a") << u"5=a"_s << 5 << u"不能给常数赋值"_s << 1;
    QTest::newRow("1+a=5") << u"1+a=5"_s << 5 << u"不能给常数赋值"_s << 3;
    QTest::newRow("Chinese text") << u"1+工资"_s << 2 << u"语法错误"_s << 2;
    QTest::newRow("too long") << QString(1200, u'1') << 6 << u"表达式过长"_s << 999;
}

void TestCliEval::errors()
{
    QFETCH(QString, expression);
    QFETCH(int, error);
    QFETCH(QString, message);
    QFETCH(int, position);
    const CliRun r = runCli({u"eval"_s, u"--json"_s, expression});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = jsonOf(r);
    QCOMPARE(o.keys(), (QStringList{u"error"_s, u"message"_s, u"ok"_s, u"position"_s}));
    QCOMPARE(o.value(u"ok"_s).toBool(), false);
    QCOMPARE(o.value(u"error"_s).toInt(), error);
    QCOMPARE(o.value(u"message"_s).toString(), message);
    QCOMPARE(o.value(u"position"_s).toInt(), position);
}

void TestCliEval::nonFiniteIsNull()
{
    const CliRun r = runCli({u"eval"_s, u"--json"_s, u"1/0"_s});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = jsonOf(r);
    QVERIFY(!o.isEmpty());
    QVERIFY(o.value(u"value"_s).isNull());
    QCOMPARE(o.value(u"nonFinite"_s).toString(), u"inf"_s);
}

void TestCliEval::humanOutput_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("out");

    QTest::newRow("value") << u"1+2*3"_s << u"7\n"_s;
    QTest::newRow("fraction") << u"2e-1"_s << u"0.2\n"_s;
    QTest::newRow("large") << u"1e300*10"_s << u"1e+301\n"_s;
    // The text is indented by one so the marker stands under the byte where reading stopped.
    QTest::newRow("syntax error") << u"1+@"_s << u"错误 2：语法错误（位置 2）\n 1+@\n --Δ-\n"_s;
    QTest::newRow("bracket error") << u"(1+2"_s << u"错误 3：括号不匹配（位置 5）\n (1+2\n    --Δ\n"_s;
}

void TestCliEval::humanOutput()
{
    QFETCH(QString, expression);
    QFETCH(QString, out);
    const CliRun r = runCli({u"eval"_s, expression});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, out);
}

void TestCliEval::freshVariables()
{
    // Every run starts from zeroed variables.
    QCOMPARE(runCli({u"eval"_s, u"q=q+1"_s}).out, u"1\n"_s);
    QCOMPARE(runCli({u"eval"_s, u"q=q+1"_s}).out, u"1\n"_s);
}

void TestCliEval::badArguments_data()
{
    QTest::addColumn<QStringList>("args");

    QTest::newRow("no expression") << QStringList{u"eval"_s};
    QTest::newRow("only json") << QStringList{u"eval"_s, u"--json"_s};
    QTest::newRow("two expressions") << QStringList{u"eval"_s, u"1"_s, u"2"_s};
    QTest::newRow("unknown option") << QStringList{u"eval"_s, u"--fast"_s, u"1"_s};
    QTest::newRow("row not an array") << QStringList{u"eval"_s, u"--row"_s, u"{}"_s, u"A"_s};
    QTest::newRow("row cell unreadable") << QStringList{u"eval"_s, u"--row"_s, u"[true]"_s, u"A"_s};
    QTest::newRow("row without formula") << QStringList{u"eval"_s, u"--row"_s, u"[1]"_s};
}

void TestCliEval::badArguments()
{
    QFETCH(QStringList, args);
    const CliRun r = runCli(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.contains(u"用法: lumo-cli eval"_s));
}

void TestCliEval::rowFormulas()
{
    const CliRun r = runCli({u"eval"_s, u"--row"_s, uR"([{"number":1234.5,"text":"1,234.50"},"张三"])"_s,
                             u"基本工资=A+0"_s, u"绩效=[基本工资]*0.1"_s, u"B"_s, u"PI*2"_s});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, u"基本工资\t数值\t1234.50\n绩效\t数值\t123.45\n3\t文本\t张三\n4\t数值\t3.1415925*2\n"_s);
}

void TestCliEval::rowFormulasJson()
{
    const CliRun r = runCli({u"eval"_s, u"--json"_s, u"--row"_s, u"[3000, null]"_s, u"A+"_s, u"B+1"_s});
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines.at(0).toUtf8()).object();
    QCOMPARE(first.value(u"text"_s).toString(), u"3000+"_s);
    QCOMPARE(first.value(u"kind"_s).toString(), u"number"_s);
    QCOMPARE(first.value(u"note"_s).toString(), u"3000+\n    --Δ\n语法错误"_s);
    const QJsonObject second = QJsonDocument::fromJson(lines.at(1).toUtf8()).object();
    QCOMPARE(second.value(u"text"_s).toString(), u"B+1"_s);
    QCOMPARE(second.value(u"kind"_s).toString(), u"text"_s);
    QVERIFY(!second.contains(u"note"_s));
}

QTEST_GUILESS_MAIN(TestCliEval)
#include "tst_cli_eval.moc"
