#include "clirunner.h"

#include <QTest>

// Asking for the usage is not a mistake: it goes to stdout, with exit code 0, for the program and
// for every command, wherever among the options the request stands.
class TestCliHelp : public QObject
{
    Q_OBJECT

private slots:
    void usage_data();
    void usage();
};

void TestCliHelp::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutStart");
    QTest::addColumn<QString>("stderrStart");
    const QString program = QStringLiteral("用法: lumo-cli <命令> [选项]\n");
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << 0 << program << QString();
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << 0 << program << QString();
    QTest::newRow("no arguments is a mistake") << QStringList{} << 2 << QString() << program;
    QTest::newRow("unknown command is a mistake")
        << QStringList{QStringLiteral("nosuch")} << 2 << QString() << QStringLiteral("未知命令：nosuch\n");
    for (const char *command : {"calc", "plan", "inverse", "year", "apportion", "sheet", "eval"}) {
        const QString name = QString::fromLatin1(command);
        const QString usage = QStringLiteral("用法: lumo-cli %1 ").arg(name);
        QTest::newRow(qPrintable(name + QStringLiteral(" --help")))
            << QStringList{name, QStringLiteral("--help")} << 0 << usage << QString();
        QTest::newRow(qPrintable(name + QStringLiteral(" -h")))
            << QStringList{name, QStringLiteral("-h")} << 0 << usage << QString();
    }
    QTest::newRow("help after other options")
        << QStringList{QStringLiteral("calc"), QStringLiteral("--gross"), QStringLiteral("5000"),
                       QStringLiteral("--help")}
        << 0 << QStringLiteral("用法: lumo-cli calc ") << QString();
    QTest::newRow("help beside an option that is wrong")
        << QStringList{QStringLiteral("plan"), QStringLiteral("--goal=7"), QStringLiteral("--help")} << 0
        << QStringLiteral("用法: lumo-cli plan ") << QString();
    QTest::newRow("plan under the 2019 rules")
        << QStringList{QStringLiteral("plan"), QStringLiteral("--rules"), QStringLiteral("2019"),
                       QStringLiteral("--help")}
        << 0 << QStringLiteral("用法: lumo-cli ") << QString();
    QTest::newRow("still an unknown option without help")
        << QStringList{QStringLiteral("calc"), QStringLiteral("--helpme")} << 2 << QString()
        << QStringLiteral("lumo-cli calc: ");
}

void TestCliHelp::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutStart);
    QFETCH(QString, stderrStart);
    const CliRun r = runCli(args);
    QCOMPARE(r.exitCode, exitCode);
    if (stdoutStart.isEmpty())
        QCOMPARE(r.out, QString());
    else
        QVERIFY2(r.out.startsWith(stdoutStart), qPrintable(r.out));
    if (stderrStart.isEmpty())
        QCOMPARE(r.err, QString());
    else
        QVERIFY2(r.err.startsWith(stderrStart), qPrintable(r.err));
}

QTEST_GUILESS_MAIN(TestCliHelp)
#include "tst_cli_help.moc"
