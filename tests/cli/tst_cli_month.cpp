// lumo-cli month and lumo-cli ledger as a payroll clerk runs them: a generated year of twelve
// sheets for 300 employees recorded month by month, each month's figures compared with a
// re-computation written here from the rules; refusals, the import template and a foreign file.
#include "batch/sheetlayout.h"
#include "clirunner.h"
#include "engine/amount.h"
#include "tests/ledger/generatedyear.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace generatedyear;

namespace {

qint64 taxOf(qint64 taxable)
{
    static const qint64 bounds[] = {3600000, 14400000, 30000000, 42000000, 66000000, 96000000};
    static const int rates[] = {3, 10, 20, 25, 30, 35, 45};
    static const qint64 quick[] = {0, 252000, 1692000, 3192000, 5292000, 8592000, 18192000};
    int r = 0;
    while (r < 6 && taxable > bounds[r])
        ++r;
    return taxable <= 0 ? 0 : std::max<qint64>((taxable * rates[r] + 50) / 100 - quick[r], 0);
}

qint64 bonusTaxOf(qint64 bonus)
{
    static const qint64 bounds[] = {300000, 1200000, 2500000, 3500000, 5500000, 8000000};
    static const int rates[] = {3, 10, 20, 25, 30, 35, 45};
    static const qint64 quick[] = {0, 21000, 141000, 266000, 441000, 716000, 1516000};
    int r = 0;
    while (r < 6 && bonus > 12 * bounds[r])
        ++r;
    return std::max<qint64>((bonus * rates[r] + 50) / 100 - quick[r], 0);
}

} // namespace

class TestCliMonth : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void generatedYear();
    void refusals_data();
    void refusals();
    void importTemplate();

private:
    QTemporaryDir m_dir;
};

void TestCliMonth::initTestCase()
{
    for (int m = 1; m <= 12; ++m)
        QVERIFY(writeMonthSheet(m_dir.filePath(u"m%1.xlsx"_s.arg(m)), m));
}

void TestCliMonth::generatedYear()
{
    const QString ledger = m_dir.filePath(u"year.sqlite"_s);
    struct State
    {
        int months = 0;
        qint64 income = 0, special = 0, other = 0, donation = 0, relief = 0, withheld = 0;
        bool firstJob = false, sixty = false;
    };
    std::vector<State> state(kEmployees);
    for (int m = 1; m <= 12; ++m) {
        const CliRun r =
            runCli({u"month"_s, m_dir.filePath(u"m%1.xlsx"_s.arg(m)), m_dir.filePath(u"out%1.xlsx"_s.arg(m)),
                    u"--period"_s, u"2026-%1"_s.arg(m, 2, 10, QLatin1Char('0')), u"--ledger"_s, ledger,
                    u"--record"_s, u"--json"_s});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QVERIFY(o.value(u"recorded"_s).toBool());
        QVERIFY(o.value(u"problems"_s).toArray().isEmpty());
        const QJsonArray records = o.value(u"records"_s).toArray();
        qint64 total = 0;
        int seen = 0;
        for (int k = 0; k < kEmployees; ++k) {
            const Pay p = payOf(k, m);
            if (!p.present)
                continue;
            State &s = state[size_t(k)];
            s.months += 1;
            s.firstJob = s.firstJob || p.firstJob;
            s.sixty = p.sixty >= 0 ? p.sixty == 1 : s.sixty;
            s.income += p.income;
            s.special += p.special;
            s.other += p.annuity + p.other;
            s.donation += p.donation;
            s.relief += p.relief;
            const qint64 basic = s.sixty ? 6000000 : 500000 * (s.firstJob ? m : s.months);
            const qint64 taxable =
                std::max<qint64>(s.income - basic - s.special - p.additional - s.other - s.donation, 0);
            const qint64 withheld = std::max<qint64>(taxOf(taxable) - s.relief - s.withheld, 0);
            const qint64 bonusTax = p.bonus ? bonusTaxOf(p.bonus) : 0;
            const QJsonObject rec = records.at(seen++).toObject();
            const QString where = u"2026-%1 员工%2"_s.arg(m).arg(k);
            QCOMPARE(rec.value(u"name"_s).toString(), u"员工%1"_s.arg(k));
            QVERIFY2(rec.value(u"cumulativeBasic"_s).toInteger() == basic, qPrintable(where));
            QVERIFY2(rec.value(u"cumulativeTaxable"_s).toInteger() == taxable, qPrintable(where));
            QVERIFY2(rec.value(u"withheldBefore"_s).toInteger() == s.withheld, qPrintable(where));
            QVERIFY2(rec.value(u"withheld"_s).toInteger() == withheld, qPrintable(where));
            QVERIFY2(rec.value(u"bonusTax"_s).toInteger() == bonusTax, qPrintable(where));
            QVERIFY2(rec.value(u"net"_s).toInteger() ==
                         p.income + p.bonus - p.special - p.annuity - withheld - bonusTax,
                     qPrintable(where));
            s.withheld += withheld;
            total += withheld + bonusTax;
        }
        QCOMPARE(seen, records.size());
        QCOMPARE(o.value(u"withheldTotal"_s).toInteger(), total);
    }
    // The ledger keeps the year: an earlier month is refused now, the latest can be corrected.
    const CliRun refused = runCli({u"month"_s, m_dir.filePath(u"m3.xlsx"_s), m_dir.filePath(u"again.xlsx"_s),
                                   u"--period"_s, u"2026-03"_s, u"--ledger"_s, ledger, u"--record"_s});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY2(refused.err.contains(u"12 月"_s), qPrintable(refused.err));
    const CliRun corrected =
        runCli({u"month"_s, m_dir.filePath(u"m12.xlsx"_s), m_dir.filePath(u"again.xlsx"_s), u"--period"_s,
                u"2026-12"_s, u"--ledger"_s, ledger, u"--record"_s});
    QVERIFY2(corrected.exitCode == 0, qPrintable(corrected.err));
    const CliRun list = runCli({u"ledger"_s, u"list"_s, u"--ledger"_s, ledger, u"--json"_s});
    QCOMPARE(QJsonDocument::fromJson(list.out.toUtf8()).object().value(u"months"_s).toArray().size(), 12);
    const CliRun show = runCli({u"ledger"_s, u"show"_s, u"--year"_s, u"2026"_s, u"--id"_s, idOf(5),
                                u"--ledger"_s, ledger, u"--json"_s});
    QCOMPARE(QJsonDocument::fromJson(show.out.toUtf8()).object().value(u"entries"_s).toArray().size(),
             state[5].months);
    const CliRun settle = runCli({u"ledger"_s, u"settle"_s, u"--year"_s, u"2026"_s,
                                  m_dir.filePath(u"settle.csv"_s), u"--ledger"_s, ledger, u"--json"_s});
    QVERIFY2(settle.exitCode == 0, qPrintable(settle.err));
    QCOMPARE(QJsonDocument::fromJson(settle.out.toUtf8()).object().value(u"employees"_s).toArray().size(),
             kEmployees);
    const CliRun exported = runCli({u"ledger"_s, u"export"_s, u"--year"_s, u"2026"_s,
                                    m_dir.filePath(u"year.xlsx"_s), u"--ledger"_s, ledger});
    QVERIFY2(exported.exitCode == 0, qPrintable(exported.err));
}

void TestCliMonth::refusals_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("ledgerBytes"); // a file put where the ledger goes; empty for none
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("separate bonus after 2027")
        << QStringList{u"--period"_s, u"2028-01"_s, u"--bonus-method"_s, u"separate"_s} << QString() << 2
        << u"不再单独计税"_s;
    QTest::newRow("a period before 2019")
        << QStringList{u"--period"_s, u"2018-12"_s} << QString() << 2 << u"--period"_s;
    QTest::newRow("month 13") << QStringList{u"--period"_s, u"2026-13"_s} << QString() << 2 << u"--period"_s;
    QTest::newRow("unknown template") << QStringList{u"--period"_s, u"2026-01"_s, u"--template"_s, u"其他"_s}
                                      << QString() << 2 << u"扣缴申报"_s;
    QTest::newRow("a --map of no column")
        << QStringList{u"--period"_s, u"2026-01"_s, u"--map"_s, u"部门=A"_s} << QString() << 2 << u"--map"_s;
    QTest::newRow("a text file as the ledger") << QStringList{u"--period"_s, u"2026-01"_s, u"--record"_s}
                                               << u"工号,姓名\n1,张三\n"_s << 1 << u"不是岚舟的工资台账"_s;
}

void TestCliMonth::refusals()
{
    QFETCH(QStringList, options);
    QFETCH(QString, ledgerBytes);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString ledger = m_dir.filePath(u"refusal.sqlite"_s);
    QFile::remove(ledger);
    if (!ledgerBytes.isEmpty()) {
        QFile f(ledger);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ledgerBytes.toUtf8());
    }
    const CliRun r = runCli(QStringList{u"month"_s, m_dir.filePath(u"m1.xlsx"_s), m_dir.filePath(u"r.csv"_s),
                                        u"--ledger"_s, ledger} +
                            options);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    if (!ledgerBytes.isEmpty()) {
        QFile f(ledger);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), ledgerBytes.toUtf8());
    } else {
        QVERIFY(!QFile::exists(ledger));
    }
}

void TestCliMonth::importTemplate()
{
    // A preview: the template is written, the ledger is neither written nor created.
    const QString ledger = m_dir.filePath(u"none.sqlite"_s);
    const QString out = m_dir.filePath(u"template.csv"_s);
    const CliRun r = runCli({u"month"_s, m_dir.filePath(u"m1.xlsx"_s), out, u"--period"_s, u"2026-01"_s,
                             u"--ledger"_s, ledger, u"--template"_s, u"扣缴申报"_s});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(!QFile::exists(ledger));
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(f.readAll()).remove(QChar(0xfeff)).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.first().trimmed(),
             u"工号,*姓名,*证件类型,*证件号码,本期收入,本期免税收入,基本养老保险费,基本医疗保险费,失业保险费,"
             u"住房公积金,累计子女教育,累计继续教育,累计住房贷款利息,累计住房租金,累计赡养老人,"
             u"累计3岁以下婴幼儿照护,累计个人养老金,企业(职业)年金,商业健康保险,税延养老保险,公务交通费用,"
             u"通讯费用,律师办案费用,西藏附加减除费用,其他,准予扣除的捐赠额,减免税额,协定减免,备注"_s);
    QCOMPARE(lines.size(), 1 + kEmployees - kEmployees / 25); // first jobs from April on are absent
    QVERIFY(lines.at(1).startsWith(u"E0,员工0,居民身份证,"_s + idOf(0) + u",3,000.00,"_s) ||
            lines.at(1).startsWith(u"E0,员工0,居民身份证,"_s + idOf(0) + u",3000"_s));
}

QTEST_GUILESS_MAIN(TestCliMonth)
#include "tst_cli_month.moc"
