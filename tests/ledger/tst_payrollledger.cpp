// The payroll ledger: months recorded in order, corrected, refused and undone; the year boundary
// and the 60,000 rule from the previous year; rows left out of a month; files that are not a
// ledger left byte for byte; a recorder killed at random moments leaves whole months only.
#include "ledger/payrollmonth.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using CurrentRules::BonusMethod;
using namespace Qt::StringLiterals;

namespace {

QString residentId(int k)
{
    const QString first17 = u"110105199001"_s + QString::number(10000 + k).right(5);
    return first17 + idCheckCharacter(first17);
}

PayrollInput person(int k, qint64 incomeYuan, const QString &name = {})
{
    PayrollInput in;
    in.sheetRow = k + 2;
    in.code = QString::number(k);
    in.name = name.isEmpty() ? u"员工%1"_s.arg(k) : name;
    in.idType = residentIdType();
    in.idNumber = residentId(k);
    in.amounts[PfIncome] = incomeYuan * 100;
    return in;
}

// Runs a month of `rows` against the ledger and records it; false when refused or failed.
bool recordRows(PayrollLedger &ledger, int year, int month, const std::vector<PayrollInput> &rows,
                PayrollMonthRun *run = nullptr, QString *error = nullptr,
                BonusMethod method = BonusMethod::Merged)
{
    PayrollSheet sheet;
    sheet.rows = rows;
    PayrollMonthRun local;
    PayrollMonthRun &r = run ? *run : local;
    QString e;
    QString &err = error ? *error : e;
    if (!runPayrollMonth(ledger, sheet, year, month, method, &r, &err))
        return false;
    QList<int> later;
    return ledger.recordMonth(year, month, u"test"_s, r.entries, &later, &err);
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Opens a file with the plain driver, as another program would.
struct RawDb
{
    explicit RawDb(const QString &path, const QString &name) : name(name)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        db.open();
    }
    ~RawDb()
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    QString scalar(const QString &sql) const
    {
        QSqlQuery q(QSqlDatabase::database(name, false));
        return q.exec(sql) && q.next() ? q.value(0).toString() : u"<error>"_s;
    }
    bool exec(const QString &sql) const { return QSqlQuery(QSqlDatabase::database(name, false)).exec(sql); }
    QString name;
};

} // namespace

class TestPayrollLedger : public QObject
{
    Q_OBJECT

private slots:
    void recordingOrder_data();
    void recordingOrder();
    void yearBoundary_data();
    void yearBoundary();
    void rowsLeftOut();
    void cancelledRun_data();
    void cancelledRun();
    void secondSeparateBonus_data();
    void secondSeparateBonus();
    void hostileFiles_data();
    void hostileFiles();
    void busyLedger();
    void killedWhileRecording();
};

void TestPayrollLedger::recordingOrder_data()
{
    // Steps: "record M INCOME", "undo M"; a trailing "!" expects a refusal.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("months");
    QTest::newRow("in order") << QStringList{u"record 1 10000"_s, u"record 2 10000"_s, u"record 3 10000"_s}
                              << QList<int>{1, 2, 3};
    QTest::newRow("a correction replaces the latest month whole")
        << QStringList{u"record 1 10000"_s, u"record 2 10000"_s, u"record 2 40000"_s, u"record 3 10000"_s}
        << QList<int>{1, 2, 3};
    QTest::newRow("an earlier month is refused while a later one is recorded")
        << QStringList{u"record 1 10000"_s, u"record 2 10000"_s, u"record 1 20000 !"_s} << QList<int>{1, 2};
    QTest::newRow("a skipped month stays skipped once a later one is recorded")
        << QStringList{u"record 1 10000"_s, u"record 3 10000"_s, u"record 2 10000 !"_s} << QList<int>{1, 3};
    QTest::newRow("undo only the latest month")
        << QStringList{u"record 1 10000"_s, u"record 2 30000"_s, u"undo 1 !"_s,
                       u"undo 2"_s,         u"undo 2 !"_s,       u"record 2 10000"_s}
        << QList<int>{1, 2};
}

void TestPayrollLedger::recordingOrder()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, months);
    QTemporaryDir dir;
    PayrollLedger ledger(dir.filePath(u"l.sqlite"_s));
    QString error;
    QVERIFY2(ledger.openForWriting(&error), qPrintable(error));
    QMap<int, qint64> income; // what each recorded month holds
    for (const QString &step : steps) {
        const QStringList w = step.split(u' ');
        const bool refused = w.last() == u"!"_s;
        const int month = w[1].toInt();
        bool ok;
        if (w[0] == u"record"_s) {
            std::vector<PayrollInput> rows = {person(1, w[2].toLongLong()), person(2, 8000)};
            ok = recordRows(ledger, 2026, month, rows, nullptr, &error);
            if (ok)
                income[month] = w[2].toLongLong();
        } else {
            QList<int> later;
            ok = ledger.undoMonth(2026, month, &later, &error);
            if (ok)
                income.remove(month);
        }
        QVERIFY2(ok != refused, qPrintable(step + u": "_s + error));
    }
    QList<int> recorded;
    for (const LedgerMonth &m : ledger.months(2026, &error))
        recorded << m.month;
    QCOMPARE(recorded, months);
    // Each month's entries are whole (two people) and cumulative over exactly the recorded months.
    qint64 sum = 0;
    int n = 0;
    for (auto it = income.cbegin(); it != income.cend(); ++it) {
        sum += it.value();
        ++n;
        const std::vector<PayrollEntry> entries = ledger.entries(2026, it.key(), {}, &error);
        QCOMPARE(entries.size(), size_t(2));
        QCOMPARE(entries[0].cumulativeIncome, sum * 100);
        QCOMPARE(entries[0].months, n);
    }
}

void TestPayrollLedger::yearBoundary_data()
{
    QTest::addColumn<int>("previousMonths"); // months of 2025 recorded
    QTest::addColumn<qint64>("previousIncome");
    QTest::addColumn<qint64>("previousBonus"); // in December
    QTest::addColumn<int>("column");           // 全年减除费用6万元 in January 2026: -1, 0, 1
    QTest::addColumn<Amount>("basic");         // January 2026's cumulative basic deduction

    QTest::newRow("all twelve months at 5,000: the rule applies")
        << 12 << qint64(5000) << qint64(0) << -1 << Amount(6000000);
    QTest::newRow("eleven months: not every month")
        << 11 << qint64(5000) << qint64(0) << -1 << Amount(500000);
    QTest::newRow("60,012 in all: above 60,000") << 12 << qint64(5001) << qint64(0) << -1 << Amount(500000);
    QTest::newRow("a bonus counts toward the 60,000")
        << 12 << qint64(4000) << qint64(20000) << -1 << Amount(500000);
    QTest::newRow("the sheet's 否 overrides the previous year")
        << 12 << qint64(5000) << qint64(0) << 0 << Amount(500000);
    QTest::newRow("no previous year: the sheet's 是 decides")
        << 0 << qint64(0) << qint64(0) << 1 << Amount(6000000);
}

void TestPayrollLedger::yearBoundary()
{
    QFETCH(int, previousMonths);
    QFETCH(qint64, previousIncome);
    QFETCH(qint64, previousBonus);
    QFETCH(int, column);
    QFETCH(Amount, basic);
    QTemporaryDir dir;
    PayrollLedger ledger(dir.filePath(u"l.sqlite"_s));
    QString error;
    QVERIFY(ledger.openForWriting(&error));
    for (int m = 1; m <= previousMonths; ++m) {
        PayrollInput in = person(1, previousIncome);
        if (m == 12)
            in.amounts[PfBonus] = previousBonus * 100;
        // Someone else fills the year, so the year is in the ledger even for eleven months.
        QVERIFY2(recordRows(ledger, 2025, m + (previousMonths == 11 ? 1 : 0), {in, person(2, 9000)}, nullptr,
                            &error),
                 qPrintable(error));
    }
    PayrollInput in = person(1, 7000);
    in.sixty = column;
    PayrollMonthRun run;
    QVERIFY(recordRows(ledger, 2026, 1, {in}, &run, &error));
    QCOMPARE(run.entries.size(), size_t(1));
    const PayrollEntry &e = run.entries[0];
    // A new year starts from zero.
    QCOMPARE(e.months, 1);
    QCOMPARE(e.cumulativeIncome, Amount(700000));
    QCOMPARE(e.withheldBefore, Amount(0));
    QCOMPARE(e.cumulativeBasic, basic);
    // February keeps January's decision without the column.
    PayrollMonthRun feb;
    QVERIFY(recordRows(ledger, 2026, 2, {person(1, 7000)}, &feb, &error));
    QCOMPARE(feb.entries[0].cumulativeBasic, basic == 6000000 ? basic : Amount(1000000));
}

void TestPayrollLedger::rowsLeftOut()
{
    QTemporaryDir dir;
    PayrollLedger ledger(dir.filePath(u"l.sqlite"_s));
    QString error;
    QVERIFY(ledger.openForWriting(&error));
    QVERIFY(recordRows(ledger, 2026, 1, {person(4, 9000, u"赵六"_s)}, nullptr, &error));
    PayrollInput badCheck = person(5, 9000);
    badCheck.idNumber[17] = badCheck.idNumber[17] == u'1' ? u'2' : u'1';
    PayrollInput noName = person(6, 9000);
    noName.name.clear();
    const std::vector<PayrollInput> rows = {
        person(1, 9000), person(2, 9000), person(3, 9000), person(4, 9000, u"赵七"_s), badCheck, noName};
    std::vector<PayrollInput> sheetRows = rows;
    sheetRows[2].idNumber = sheetRows[1].idNumber; // the same number twice
    sheetRows[2].idNumber.back() = sheetRows[2].idNumber.back() == u'X' ? u'x' : sheetRows[2].idNumber.back();
    PayrollSheet sheet;
    sheet.rows = sheetRows;
    PayrollMonthRun run;
    QVERIFY(runPayrollMonth(ledger, sheet, 2026, 2, BonusMethod::Merged, &run, &error));
    QCOMPARE(run.entries.size(), size_t(1));
    QCOMPARE(run.entries[0].input.sheetRow, 3);
    const QList<QPair<int, QString>> expected = {
        {4, u"出现了 2 次"_s}, {5, u"出现了 2 次"_s}, {6, u"赵六"_s}, {7, u"校验码"_s}, {8, u"缺少姓名"_s}};
    QCOMPARE(run.problems.size(), size_t(expected.size()));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(run.problems[size_t(i)].sheetRow, expected[i].first);
        QVERIFY2(run.problems[size_t(i)].reason.contains(expected[i].second),
                 qPrintable(run.problems[size_t(i)].reason));
    }
}

void TestPayrollLedger::cancelledRun_data()
{
    QTest::addColumn<int>("answersBeforeStop");
    QTest::addColumn<bool>("completes");
    QTest::newRow("never asked to stop") << -1 << true;
    QTest::newRow("stopped before the first row") << 0 << false;
    QTest::newRow("stopped while checking numbers") << 2 << false;
    QTest::newRow("stopped while computing") << 6 << false;
}

void TestPayrollLedger::cancelledRun()
{
    QFETCH(int, answersBeforeStop);
    QFETCH(bool, completes);
    QTemporaryDir dir;
    PayrollLedger ledger(dir.filePath(u"l.sqlite"_s));
    QString error;
    QVERIFY(ledger.openForWriting(&error));
    PayrollSheet sheet;
    for (int k = 0; k < 2000; ++k)
        sheet.rows.push_back(person(k, 9000 + k));
    int asked = 0;
    const auto cancelled = [&] { return answersBeforeStop >= 0 && asked++ >= answersBeforeStop; };
    PayrollMonthRun run;
    QCOMPARE(runPayrollMonth(ledger, sheet, 2026, 1, BonusMethod::Merged, &run, &error,
                             SecondSeparateBonus::Refused, cancelled),
             completes);
    // A stopped run says nothing; a finished one has every row.
    QVERIFY(error.isEmpty());
    if (completes)
        QCOMPARE(run.entries.size(), size_t(2000));
}

void TestPayrollLedger::secondSeparateBonus_data()
{
    QTest::addColumn<int>("earlierYear");
    QTest::addColumn<int>("earlierMonth");
    QTest::addColumn<bool>("earlierSeparate");
    QTest::addColumn<int>("month"); // of 2026, with a 10,000 bonus
    QTest::addColumn<bool>("separate");
    QTest::addColumn<bool>("refused");
    QTest::newRow("separate in March, separate again in May: refused")
        << 2026 << 3 << true << 5 << true << true;
    QTest::newRow("separate in March, May's merged") << 2026 << 3 << true << 5 << false << false;
    QTest::newRow("merged in March, May's separate") << 2026 << 3 << false << 5 << true << false;
    QTest::newRow("March recorded again: its own bonus is no earlier one")
        << 2026 << 3 << true << 3 << true << false;
    QTest::newRow("separate in December of the year before") << 2025 << 12 << true << 1 << true << false;
}

void TestPayrollLedger::secondSeparateBonus()
{
    QFETCH(int, earlierYear);
    QFETCH(int, earlierMonth);
    QFETCH(bool, earlierSeparate);
    QFETCH(int, month);
    QFETCH(bool, separate);
    QFETCH(bool, refused);
    QTemporaryDir dir;
    PayrollLedger ledger(dir.filePath(u"l.sqlite"_s));
    QString error;
    QVERIFY(ledger.openForWriting(&error));
    PayrollInput earlier = person(1, 9000);
    earlier.amounts[PfBonus] = 2000000;
    // A month between with no bonus: the earlier bonus is not the latest entry.
    QVERIFY2(recordRows(ledger, earlierYear, earlierMonth, {earlier, person(2, 9000)}, nullptr, &error,
                        earlierSeparate ? BonusMethod::Separate : BonusMethod::Merged),
             qPrintable(error));
    if (earlierYear == 2026 && month > earlierMonth + 1)
        QVERIFY(recordRows(ledger, 2026, earlierMonth + 1, {person(1, 9000)}, nullptr, &error));
    PayrollInput in = person(1, 9000);
    in.amounts[PfBonus] = 1000000;
    PayrollMonthRun run;
    QVERIFY(recordRows(ledger, 2026, month, {in, person(2, 9000)}, &run, &error,
                       separate ? BonusMethod::Separate : BonusMethod::Merged));
    // The other employee is calculated either way; a refused row is neither calculated nor recorded.
    QCOMPARE(run.entries.size(), size_t(refused ? 1 : 2));
    QCOMPARE(run.problems.size(), size_t(refused ? 1 : 0));
    if (refused) {
        QCOMPARE(run.problems[0].sheetRow, in.sheetRow);
        QCOMPARE(run.problems[0].column, payrollFieldTitle(PfBonus));
        QVERIFY2(run.problems[0].reason.contains(u"3 月的全年一次性奖金已单独计税"_s),
                 qPrintable(run.problems[0].reason));
        QCOMPARE(run.bonusTax, Amount(0));
    } else {
        QCOMPARE(run.entries[0].bonusTax > 0, separate);
    }
}

void TestPayrollLedger::hostileFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("random bytes") << u"random"_s << u"不是岚舟的工资台账"_s;
    QTest::newRow("an empty file") << u"empty"_s << u"不是岚舟的工资台账"_s;
    QTest::newRow("a truncated ledger") << u"truncated"_s << u"不完整"_s;
    QTest::newRow("another program's SQLite file") << u"other"_s << u"不是岚舟的工资台账"_s;
    QTest::newRow("a ledger of a newer schema") << u"future"_s << u"更新版本"_s;
    QTest::newRow("a ledger whose application mark is another's") << u"mark"_s << u"不是岚舟的工资台账"_s;
}

void TestPayrollLedger::hostileFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"l.sqlite"_s);
    if (kind == u"random"_s || kind == u"empty"_s) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray bytes(kind == u"empty"_s ? 0 : 8192, Qt::Uninitialized);
        for (char &c : bytes)
            c = char(QRandomGenerator::global()->bounded(256));
        f.write(bytes);
    } else if (kind == u"other"_s) {
        RawDb db(path, u"other"_s);
        QVERIFY(db.exec(u"CREATE TABLE notes (id INTEGER PRIMARY KEY, text TEXT)"_s));
        QVERIFY(db.exec(u"INSERT INTO notes (text) VALUES ('hello')"_s));
    } else {
        {
            PayrollLedger ledger(path);
            QString error;
            QVERIFY(ledger.openForWriting(&error));
            std::vector<PayrollInput> rows;
            for (int k = 0; k < 300; ++k)
                rows.push_back(person(k, 9000));
            QVERIFY(recordRows(ledger, 2026, 1, rows, nullptr, &error));
        }
        if (kind == u"truncated"_s) {
            QFile f(path);
            QVERIFY(f.resize(f.size() / 2));
        } else {
            RawDb db(path, u"raw"_s);
            QVERIFY(db.exec(kind == u"future"_s
                                ? u"PRAGMA user_version = 99"_s
                                : u"UPDATE ledger_info SET value = 'x' WHERE key = 'application'"_s));
        }
    }
    const QByteArray before = bytesOf(path);
    for (bool writing : {false, true}) {
        PayrollLedger ledger(path);
        QString error;
        QVERIFY(!(writing ? ledger.openForWriting(&error) : ledger.openForReading(&error)));
        QVERIFY2(error.contains(message), qPrintable(error));
    }
    QCOMPARE(bytesOf(path), before);
}

void TestPayrollLedger::busyLedger()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"l.sqlite"_s);
    PayrollLedger ledger(path);
    QString error;
    QVERIFY(ledger.openForWriting(&error));
    {
        RawDb other(path, u"other"_s);
        QVERIFY(other.exec(u"BEGIN IMMEDIATE"_s));
        QVERIFY(!recordRows(ledger, 2026, 1, {person(1, 9000)}, nullptr, &error));
        QVERIFY2(error.contains(u"另一个程序"_s), qPrintable(error));
        QVERIFY(other.exec(u"ROLLBACK"_s));
    }
    QVERIFY(ledger.months(2026, &error).isEmpty());
    QVERIFY2(recordRows(ledger, 2026, 1, {person(1, 9000)}, nullptr, &error), qPrintable(error));
}

void TestPayrollLedger::killedWhileRecording()
{
    constexpr int kEmployees = 10000;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"l.sqlite"_s);
    for (int round = 0; round < 4; ++round) {
        QProcess recorder;
        recorder.start(QStringLiteral(LEDGER_RECORDER),
                       {path, QString::number(2030 + 10 * round), QString::number(kEmployees)});
        QVERIFY(recorder.waitForReadyRead(60000));
        QTest::qWait(int(QRandomGenerator::global()->bounded(100, 1500)));
        recorder.kill();
        QVERIFY(recorder.waitForFinished(30000));

        RawDb db(path, u"check"_s);
        QCOMPARE(db.scalar(u"PRAGMA integrity_check"_s), u"ok"_s);
        QCOMPARE(db.scalar(u"SELECT count(*) FROM (SELECT 1 FROM entries GROUP BY year, month "
                           u"HAVING count(*) <> %1)"_s.arg(kEmployees)),
                 u"0"_s);
        QCOMPARE(db.scalar(u"SELECT count(*) FROM months m WHERE NOT EXISTS (SELECT 1 FROM entries e "
                           u"WHERE e.year = m.year AND e.month = m.month)"_s),
                 u"0"_s);
        QCOMPARE(db.scalar(u"SELECT count(*) FROM pragma_foreign_key_check"_s), u"0"_s);
    }
    // Still a ledger that opens for the next month.
    PayrollLedger ledger(path);
    QString error;
    QVERIFY2(ledger.openForWriting(&error), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestPayrollLedger)
#include "tst_payrollledger.moc"
