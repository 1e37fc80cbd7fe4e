// The current-rules records of the single pages and the year-sheet batch pages: every field comes back
// exactly, a record is read only as its own kind, and anything the pages could not have written is refused
// whole. With LUMO_FUZZ_SEED_DIR set, the records are also saved there as seeds for the history fuzz target.
#include "history/currentrecords.h"
#include "tests/testkit.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;
using CurrentRules::BonusMethod;

namespace {

enum Kind
{
    Year,
    Split,
    Inverse,
    YearSheet
};

struct Records
{
    CurrentYearRecord year;
    CurrentSplitRecord split;
    CurrentInverseRecord inverse;
    CurrentSheetRecord sheet;
};

QByteArray withHead(const std::function<void(QDataStream &)> &body)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(kHistoryStreamVersion);
    out << u"26-12-10 10:00"_s << 1234.5 << 67.8;
    body(out);
    return bytes;
}

QByteArray recordBytes(Kind kind, const Records &r)
{
    return withHead([&](QDataStream &out) {
        if (kind == Year)
            writeCurrentYearRecord(out, r.year);
        else if (kind == Split)
            writeCurrentSplitRecord(out, r.split);
        else if (kind == Inverse)
            writeCurrentInverseRecord(out, r.inverse);
        else
            writeCurrentSheetRecord(out, r.sheet);
    });
}

// Reads the bytes as `kind`: 1 when the record reads and, written again, gives the same bytes;
// 0 when it is refused and the record passed in is left alone; -1 otherwise.
int readsBack(Kind kind, QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    HistoryReader reader(&buffer);
    Records r;
    r.year.wage = r.split.enteredBonus = r.inverse.amount = 777;
    const QByteArray untouched = recordBytes(kind, r);
    bool ok = false;
    if (kind == Year)
        ok = readCurrentYearRecord(reader, &r.year);
    else if (kind == Split)
        ok = readCurrentSplitRecord(reader, &r.split);
    else if (kind == Inverse)
        ok = readCurrentInverseRecord(reader, &r.inverse);
    else
        ok = readCurrentSheetRecord(reader, &r.sheet);
    if (!ok)
        return recordBytes(kind, r) == untouched ? 0 : -1;
    return recordBytes(kind, r) == bytes ? 1 : -1;
}

QString tagName()
{
    return QString::fromUtf8(QTest::currentDataTag()).replace(u' ', u'_');
}

} // namespace

class TestCurrentRecords : public QObject
{
    Q_OBJECT

private slots:
    void records_data();
    void records();
    void yearInput_data();
    void yearInput();
    void splitInputs();
};

void TestCurrentRecords::records_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    const auto row = [](const char *name, Kind kind, const std::function<void(Records &)> &change, bool ok) {
        Records r;
        r.year = {2026, 3, 1234567, 150000, 200000, 10000, 3600000, 12, 1};
        r.split = {20000000, 2000000, 2400000, 3600000};
        r.inverse = {true, 17304000, 2000000, 0};
        r.sheet.import = {
            u"/home/会计/十二月.xlsx"_s, 1, 3, {4, 120}, {u"A"_s, u"B"_s, QString(), u"D*1.1"_s}};
        r.sheet.fromLedger = true;
        r.sheet.ledger = u"/home/会计/ledger.sqlite"_s;
        change(r);
        QTest::newRow(name) << int(kind) << recordBytes(kind, r) << ok;
    };
    const auto same = [](Records &) {};
    row("sc19 record", Year, same, true);
    row(
        "sc19 largest amounts in 2099 from December", Year,
        [](Records &r) {
            r.year = {kCurrentLastYear, 12,           kMaxInputFen,
                      kMaxInputFen,     kMaxInputFen, kMaxInputFen,
                      kMaxInputFen,     12,           2};
        },
        true);
    row(
        "sc19 2019 without a bonus before the start month", Year,
        [](Records &r) {
            r.year.year = kCurrentFirstYear;
            r.year.bonus = 0;
            r.year.bonusMonth = 1;
        },
        true);
    row(
        "sc19 damaged year 2018", Year, [](Records &r) { r.year.year = 2018; }, false);
    row(
        "sc19 damaged year 2100", Year, [](Records &r) { r.year.year = 2100; }, false);
    row(
        "sc19 damaged start month 0", Year, [](Records &r) { r.year.startMonth = 0; }, false);
    row(
        "sc19 damaged start month 13", Year, [](Records &r) { r.year.startMonth = 13; }, false);
    row(
        "sc19 damaged bonus month 13", Year, [](Records &r) { r.year.bonusMonth = 13; }, false);
    row(
        "sc19 damaged bonus before the start month", Year, [](Records &r) { r.year.bonusMonth = 2; }, false);
    row(
        "sc19 damaged method 3", Year, [](Records &r) { r.year.method = 3; }, false);
    row(
        "sc19 damaged method -1", Year, [](Records &r) { r.year.method = -1; }, false);
    row(
        "sc19 damaged negative wage", Year, [](Records &r) { r.year.wage = -1; }, false);
    row(
        "sc19 damaged other above the largest input", Year,
        [](Records &r) { r.year.other = kMaxInputFen + 1; }, false);
    row("ssc19 record", Split, same, true);
    row(
        "ssc19 no bonus entered", Split, [](Records &r) { r.split.enteredBonus = -1; }, true);
    row(
        "ssc19 largest amounts", Split,
        [](Records &r) {
            r.split = {kMaxInputFen, kMaxInputFen, kMaxInputFen, kMaxInputFen};
        },
        true);
    row(
        "ssc19 damaged entered bonus -2", Split, [](Records &r) { r.split.enteredBonus = -2; }, false);
    row(
        "ssc19 damaged entered bonus above the largest input", Split,
        [](Records &r) { r.split.enteredBonus = kMaxInputFen + 1; }, false);
    row(
        "ssc19 damaged negative insurance", Split, [](Records &r) { r.split.insurance = -1; }, false);
    row("bp19 record from the ledger's year", YearSheet, same, true);
    row(
        "ba19 record of a sheet alone in 2099", YearSheet,
        [](Records &r) {
            r.sheet.fromLedger = false;
            r.sheet.ledger.clear();
            r.sheet.year = kCurrentLastYear;
        },
        true);
    row(
        "bp19 damaged empty file name", YearSheet, [](Records &r) { r.sheet.import.file.clear(); }, false);
    row(
        "bp19 damaged ledger plan without its ledger", YearSheet, [](Records &r) { r.sheet.ledger.clear(); },
        false);
    row(
        "bp19 damaged title row 0", YearSheet, [](Records &r) { r.sheet.import.titleRow = 0; }, false);
    row(
        "bp19 damaged too many formulas", YearSheet,
        [](Records &r) { r.sheet.import.formulas = QStringList(kMaxSheetRecordFormulas + 1, u"A"_s); },
        false);
    row(
        "bp19 damaged month 13", YearSheet, [](Records &r) { r.sheet.month = 13; }, false);
    row("ic19 record", Inverse, same, true);
    row(
        "ic19 from the pay", Inverse,
        [](Records &r) {
            r.inverse = {false, kMaxInputFen, 0, kMaxInputFen};
        },
        true);
    row(
        "ic19 damaged amount above the largest input", Inverse,
        [](Records &r) { r.inverse.amount = kMaxInputFen + 1; }, false);
    row(
        "ic19 damaged negative special", Inverse, [](Records &r) { r.inverse.special = -1; }, false);

    // Damage to the bytes themselves.
    for (Kind kind : {Year, Split, Inverse, YearSheet}) {
        const QString ext = QString::fromLatin1(kind == Year      ? kCurrentCalcExtension
                                                : kind == Split   ? kCurrentSplitExtension
                                                : kind == Inverse ? kCurrentInverseExtension
                                                                  : kCurrentSheetPlanExtension);
        Records base;
        base.sheet.import.file = u"a.xlsx"_s;
        const QByteArray good = recordBytes(kind, base);
        const auto damaged = [&](const QString &what, const QByteArray &bytes) {
            QTest::newRow(qPrintable(ext + u" damaged "_s + what)) << int(kind) << bytes << false;
        };
        damaged(u"last byte missing"_s, good.chopped(1));
        damaged(u"a byte too many"_s, good + '\0');
        damaged(u"head only"_s, withHead([](QDataStream &) {}));
        damaged(u"time text claims 200 MB"_s, QByteArray(1, char(0x0C)) + good.mid(1));
    }
    QByteArray flag = recordBytes(Inverse, Records());
    flag[flag.size() - 25] = 2; // the direction flag, before the three amounts
    QTest::newRow("ic19 damaged flag 2") << int(Inverse) << flag << false;
}

void TestCurrentRecords::records()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    testkit::saveSeed(tagName(), bytes);
    QCOMPARE(readsBack(Kind(kind), bytes), ok ? 1 : 0);
    // Every kind has its own length, so no record reads as another kind.
    for (Kind other : {Year, Split, Inverse, YearSheet}) {
        if (other != Kind(kind))
            QCOMPARE(readsBack(other, bytes), 0);
    }
}

void TestCurrentRecords::yearInput_data()
{
    QTest::addColumn<int>("startMonth");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("months");
    QTest::addColumn<int>("coreMethod");
    QTest::newRow("January, separate") << 1 << 0 << 12 << int(BonusMethod::Separate);
    QTest::newRow("July, merged") << 7 << 1 << 6 << int(BonusMethod::Merged);
    QTest::newRow("December, the cheaper") << 12 << 2 << 1 << int(BonusMethod::Best);
}

// The record's year becomes the period from its start month to December at the same wage, with
// both kinds of deductions together; a record that reads is a year the core accepts.
void TestCurrentRecords::yearInput()
{
    QFETCH(int, startMonth);
    QFETCH(int, method);
    QFETCH(int, months);
    QFETCH(int, coreMethod);
    const CurrentYearRecord r{2027, startMonth, 1000000, 150000, 200000, 30000, 3600000, 12, method};
    const CurrentRules::YearInput in = toYearInput(r);
    QCOMPARE(in.gross, QList<Amount>(months, r.wage));
    QCOMPARE(in.startMonth, startMonth);
    QCOMPARE(in.insurance, r.insurance);
    QCOMPARE(in.deductions, r.special + r.other);
    QCOMPARE(in.bonus, r.bonus);
    QCOMPARE(in.bonusMonth, 12);
    QCOMPARE(int(in.method), coreMethod);
    QCOMPARE(in.year, 2027);
    QVERIFY(in.resident);
    QString error;
    QVERIFY2(CurrentRules::checkYearInput(in, &error), qPrintable(error));
}

void TestCurrentRecords::splitInputs()
{
    const CurrentRules::SplitInput split =
        toSplitInput(CurrentSplitRecord{20000000, 2000000, 2400000, 3600000});
    QCOMPARE(split.annual, Amount(20000000));
    QCOMPARE(split.insurance, Amount(2000000));
    QCOMPARE(split.deductions, Amount(2400000));
    QCOMPARE(split.maxBonus, Amount(-1));
    const CurrentRules::SplitInput fromPay =
        toSplitInput(CurrentInverseRecord{false, 20000000, 2000000, 2400000});
    QCOMPARE(fromPay.annual, Amount(20000000));
    QCOMPARE(fromPay.deductions, Amount(2400000));
    QCOMPARE(toSplitInput(CurrentInverseRecord{true, 20000000, 2000000, 2400000}).annual, Amount(0));
}

QTEST_APPLESS_MAIN(TestCurrentRecords)
#include "tst_currentrecords.moc"
