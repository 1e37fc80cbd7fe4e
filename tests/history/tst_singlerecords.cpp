// The single pages' history records read widget-free: every field comes back, and a damaged or
// hostile record is refused whole. With LUMO_FUZZ_SEED_DIR set, the records written here are also
// saved there as seeds for the history fuzz target.
#include "engine/amount.h"
#include "history/singlerecords.h"
#include "tests/testkit.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

class TestSingleRecords : public QObject
{
    Q_OBJECT

private slots:
    void boundedText_data();
    void boundedText();
    void roundTrip_data();
    void roundTrip();
    void damaged_data();
    void damaged();
};

namespace {

// The page kinds, in the order of the tables below.
enum Kind
{
    Calc,
    Save,
    Apportion,
    Inverse
};

const char *const kExtensions[] = {"sc", "ssc", "ac", "ic"};

// What a field of a record is written as; the damaged rows change one of them.
struct Fields
{
    double amount = 1234.56;      // every amount field
    qint32 months = 6;            // N of ssc and ac
    int modes = 1;                // ic: how many of the three mode flags are set (the first ones)
    QString label = u"1,234.5"_s; // every label
    QString process = u"1、月应发工资\n    【月应税收入】=5,000元\n"_s;
    qint32 rows = -1, columns = -1; // the table's size; -1: the page's
};

void writeTable(QDataStream &out, qint32 rows, qint32 columns)
{
    out << rows << columns;
    for (qint32 r = 0; r < rows; ++r) {
        for (qint32 c = 0; c < columns; ++c) {
            if ((r + c) % 4 == 3) {
                writeEmptySnapshotCell(out);
                continue;
            }
            QMap<int, QVariant> roles;
            roles.insert(Qt::DisplayRole, u"%1·%2"_s.arg(r).arg(c));
            roles.insert(Qt::TextAlignmentRole, int(Qt::AlignRight | Qt::AlignVCenter));
            writeSnapshotCell(out, roles);
        }
    }
}

// A record laid out as the page's save() writes it.
QByteArray record(Kind kind, const Fields &f)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(kHistoryStreamVersion);
    const double a = f.amount;
    const qint32 sizes[][2] = {{kSingleCalcRows, kSingleCalcColumns},
                               {kSingleSaveRows, kSingleSaveColumns},
                               {kApportionRows, kApportionColumns},
                               {kInverseRows, kInverseColumns}};
    out << u"26-12-08 10:00"_s << a << 2.5;
    switch (kind) {
    case Calc:
        out << a << a << false << f.process;
        break;
    case Save:
        out << f.label << f.label << f.label << f.label << a << a << a << true << false << true << f.months
            << f.process;
        break;
    case Apportion:
        out << a << a << a << true << f.months << f.label << f.label;
        break;
    case Inverse:
        out << (f.modes >= 1) << a << a << (f.modes >= 2) << a << (f.modes >= 3) << a << a << false << f.label
            << f.label << f.label;
        break;
    }
    writeTable(out, f.rows < 0 ? sizes[kind][0] : f.rows, f.columns < 0 ? sizes[kind][1] : f.columns);
    return bytes;
}

// Reads the bytes as a record of `kind`; on success the page's table size must have come back.
bool read(Kind kind, QByteArray bytes, Fields *got = nullptr)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    HistoryReader reader(&buffer);
    Fields f;
    TableSnapshot table;
    bool ok = false;
    switch (kind) {
    case Calc: {
        SingleCalcRecord r;
        ok = readSingleCalcRecord(reader, &r);
        f.amount = r.insurance;
        f.process = r.processText;
        table = r.table;
        if (ok && (r.gross != r.insurance || r.annuity != r.insurance || r.local || r.bonus != 2.5))
            return false;
        break;
    }
    case Save: {
        SingleSaveRecord r;
        ok = readSingleSaveRecord(reader, &r);
        f.amount = r.bonus;
        f.months = r.months;
        f.label = r.netIncrease;
        f.process = r.processText;
        table = r.table;
        if (ok && (r.method != r.netIncrease || !r.local || r.raiseNet || !r.bonusOnly || r.headCost != 2.5))
            return false;
        break;
    }
    case Apportion: {
        ApportionRecord r;
        ok = readApportionRecord(reader, &r);
        f.amount = r.bonus;
        f.months = r.months;
        f.label = r.taxDecrease;
        table = r.table;
        if (ok && (r.netIncrease != r.taxDecrease || !r.local || r.headTax != 2.5))
            return false;
        break;
    }
    case Inverse: {
        InverseRecord r;
        ok = readInverseRecord(reader, &r);
        f.amount = r.netBonus;
        f.label = r.expenseTotal;
        f.modes = int(r.netAnnualMode) + int(r.grossAnnualMode) + int(r.netMonthMode);
        table = r.table;
        if (ok && (!r.netAnnualMode || r.employerTotal != r.taxTotal || r.local || r.headTax != 2.5))
            return false;
        break;
    }
    }
    f.rows = table.rows;
    f.columns = table.columns;
    if (got)
        *got = f;
    return ok && table.cells.size() == qsizetype(table.rows) * table.columns;
}

using testkit::saveSeed;

QString tagName()
{
    return QString::fromUtf8(QTest::currentDataTag()).replace(u' ', u'_');
}

} // namespace

void TestSingleRecords::boundedText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qsizetype>("limit");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("text");
    const auto stored = [](const QString &s) {
        QByteArray b;
        QDataStream out(&b, QIODevice::WriteOnly);
        out.setVersion(kHistoryStreamVersion);
        out << s;
        return b;
    };
    QTest::newRow("null text") << stored(QString()) << qsizetype(10) << true << QString();
    QTest::newRow("empty text") << stored(u""_s) << qsizetype(10) << true << u""_s;
    QTest::newRow("Chinese text") << stored(u"税后收入增加"_s) << qsizetype(10) << true << u"税后收入增加"_s;
    QTest::newRow("exactly the limit") << stored(u"12345"_s) << qsizetype(5) << true << u"12345"_s;
    QTest::newRow("one over the limit") << stored(u"123456"_s) << qsizetype(5) << false << QString();
    QTest::newRow("odd byte count") << QByteArray("\0\0\0\3abc", 7) << qsizetype(10) << false << QString();
    QTest::newRow("claims more than is left")
        << QByteArray("\0\0\0\x10\0a", 6) << qsizetype(100) << false << QString();
    QTest::newRow("claims 2 GiB") << QByteArray("\x7f\xff\xff\xfe\0a", 6) << qsizetype(1) << false
                                  << QString();
    QTest::newRow("length cut short") << QByteArray("\0\0", 2) << qsizetype(10) << false << QString();
}

void TestSingleRecords::boundedText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qsizetype, limit);
    QFETCH(bool, ok);
    QFETCH(QString, text);
    // A record head first, as every reader sees it.
    QByteArray record;
    {
        QDataStream out(&record, QIODevice::WriteOnly);
        out.setVersion(kHistoryStreamVersion);
        out << u"26-12-08 10:00"_s << 0.0 << 0.0;
    }
    record += bytes;
    QBuffer buffer(&record);
    buffer.open(QIODevice::ReadOnly);
    HistoryReader reader(&buffer);
    QVERIFY(reader.ok());
    QString got = u"unchanged"_s;
    QCOMPARE(readBoundedText(reader, limit, &got), ok);
    if (ok) {
        QCOMPARE(got, text);
        QCOMPARE(got.isNull(), text.isNull());
        QCOMPARE(reader.remaining(), qint64(0));
    }
}

void TestSingleRecords::roundTrip_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("amount");
    QTest::addColumn<qint32>("months");
    QTest::addColumn<QString>("label");
    for (int kind = Calc; kind <= Inverse; ++kind) {
        const QString ext = QString::fromLatin1(kExtensions[kind]);
        QTest::newRow(qPrintable(ext + u" record"_s)) << kind << 1234.56 << qint32(6) << u"1,234.5"_s;
        QTest::newRow(qPrintable(ext + u" largest amount"_s))
            << kind << kMaxInputYuan << qint32(12) << u"0"_s;
        QTest::newRow(qPrintable(ext + u" longest label"_s))
            << kind << 0.0 << qint32(1) << QString(kMaxStoredLabelLength, u'9');
    }
}

void TestSingleRecords::roundTrip()
{
    QFETCH(int, kind);
    QFETCH(double, amount);
    QFETCH(qint32, months);
    QFETCH(QString, label);
    Fields f;
    f.amount = amount;
    f.months = months;
    f.label = label;
    const QByteArray bytes = record(Kind(kind), f);
    saveSeed(tagName(), bytes);
    Fields got;
    QVERIFY(read(Kind(kind), bytes, &got));
    QCOMPARE(got.amount, amount);
    if (kind == Save || kind == Apportion)
        QCOMPARE(got.months, months);
    if (kind != Calc)
        QCOMPARE(got.label, label);
    if (kind == Calc || kind == Save)
        QCOMPARE(got.process, f.process);
    if (kind == Inverse)
        QCOMPARE(got.modes, 1);
    // Every other kind refuses it or reads something else: a record is read only as its own kind.
    for (int other = Calc; other <= Inverse; ++other) {
        if (other != kind)
            QVERIFY(!read(Kind(other), bytes));
    }
}

void TestSingleRecords::damaged_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("damage");
    const QString damages[] = {u"cut in half"_s,
                               u"last bytes missing"_s,
                               u"negative amount"_s,
                               u"amount above the largest input"_s,
                               u"amount not a number"_s,
                               u"label one character too long"_s,
                               u"table one row short"_s,
                               u"table one column too many"_s,
                               u"months 0"_s,
                               u"months 13"_s,
                               u"no mode"_s,
                               u"two modes"_s,
                               u"process text claims more than the file"_s,
                               u"time text claims 200 MB"_s};
    for (int kind = Calc; kind <= Inverse; ++kind) {
        for (const QString &damage : damages) {
            const bool hasMonths = kind == Save || kind == Apportion;
            if ((damage.startsWith(u"months") && !hasMonths) ||
                (damage.contains(u"mode") && kind != Inverse) ||
                (damage.startsWith(u"label") && kind == Calc) ||
                (damage.startsWith(u"process") && kind != Calc && kind != Save))
                continue;
            QTest::newRow(qPrintable(QString::fromLatin1(kExtensions[kind]) + u" damaged "_s + damage))
                << kind << damage;
        }
    }
}

void TestSingleRecords::damaged()
{
    QFETCH(int, kind);
    QFETCH(QString, damage);
    Fields f;
    if (damage == u"negative amount")
        f.amount = -0.01;
    else if (damage == u"amount above the largest input")
        f.amount = 1e9;
    else if (damage == u"amount not a number")
        f.amount = std::numeric_limits<double>::quiet_NaN();
    else if (damage == u"label one character too long")
        f.label = QString(kMaxStoredLabelLength + 1, u'1');
    else if (damage == u"table one row short")
        f.rows = kind == Calc        ? kSingleCalcRows - 1
                 : kind == Save      ? kSingleSaveRows - 1
                 : kind == Apportion ? kApportionRows - 1
                                     : kInverseRows - 1;
    else if (damage == u"table one column too many")
        f.columns = kind == Calc        ? kSingleCalcColumns + 1
                    : kind == Save      ? kSingleSaveColumns + 1
                    : kind == Apportion ? kApportionColumns + 1
                                        : kInverseColumns + 1;
    else if (damage == u"months 0")
        f.months = 0;
    else if (damage == u"months 13")
        f.months = 13;
    else if (damage == u"no mode")
        f.modes = 0;
    else if (damage == u"two modes")
        f.modes = 2;
    QByteArray bytes = record(Kind(kind), f);
    if (damage == u"cut in half") {
        bytes.truncate(bytes.size() / 2);
    } else if (damage == u"last bytes missing") {
        bytes.chop(3);
    } else if (damage == u"time text claims 200 MB") {
        bytes[0] = char(0x0C);
    } else if (damage == u"process text claims more than the file") {
        // The process text's length is the first field after the amounts and flags; it is made to
        // claim the largest text the reader accepts, far beyond the bytes that follow.
        const QByteArray stored = [&] {
            QByteArray b;
            QDataStream out(&b, QIODevice::WriteOnly);
            out.setVersion(kHistoryStreamVersion);
            out << f.process;
            return b;
        }();
        const qsizetype at = bytes.indexOf(stored);
        QVERIFY(at > 0);
        const quint32 claim = quint32(kMaxStoredProcessText * 2);
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = char(claim >> (24 - 8 * i));
    }
    saveSeed(tagName(), bytes);
    QVERIFY(!read(Kind(kind), bytes));
}

QTEST_APPLESS_MAIN(TestSingleRecords)
#include "tst_singlerecords.moc"
