// The compact table of the batch pages' history records: every stored property comes back, and a
// damaged record is refused whole before anything is built from it. With LUMO_FUZZ_SEED_DIR set,
// the records written here are also saved there as seeds for the history fuzz target.
#include "batch/columncatalogue.h"
#include "history/compacttable.h"
#include "history/historyrecord.h"
#include "tests/testkit.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

class TestCompactTable : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void damaged_data();
    void damaged();
    void claims_data();
    void claims();
};

namespace {

QList<CompactCell> sampleCells(int rows, int columns)
{
    QList<CompactCell> cells;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            CompactCell cell;
            cell.present = (r + c) % 5 != 4;
            if (!cell.present) {
                cells << cell;
                continue;
            }
            cell.type = c % 2 ? 1001 : 1002;
            cell.alignment = c % 3 ? 0x82 : 0;
            cell.text = c == 1 ? u"员工%1 ✓"_s.arg(r) : QString::number(r * 1000.25 + c, 'f', 2);
            cell.toolTip = c == 2 ? cell.text : c == 3 ? u"无法识别为金额：abc，已按 0 计算。"_s : QString();
            cell.bold = r == rows - 1;
            cell.hasNumber = cell.type == 1001;
            cell.number = c == 5 ? std::numeric_limits<double>::quiet_NaN() : r * 1000.25 + c;
            cell.hasBackground = c == 3;
            cell.background = qRgba(255, 199, 206, 255);
            cell.hasForeground = r == 0;
            cell.foreground = qRgb(0, 0, 255);
            cells << cell;
        }
    }
    return cells;
}

// What the batch page writes before its tables: the head, the threshold flag, the extension group.
QByteArray prefix()
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(kHistoryStreamVersion);
    ColumnGroup extension(u"扩展信息"_s, 6);
    extension.addItem(u"部门"_s, 0, 6, 80);
    out << u"26-12-08 10:00"_s << 1.5 << 2.5 << true << extension;
    return bytes;
}

// A record as the batch page writes it, with one table.
QByteArray record(int rows, int columns, const QList<CompactCell> &cells)
{
    QByteArray bytes = prefix();
    QDataStream out(&bytes, QIODevice::WriteOnly | QIODevice::Append);
    out.setVersion(kHistoryStreamVersion);
    CompactTableWriter writer(rows, columns);
    for (const CompactCell &cell : cells)
        writer.add(cell);
    if (!writer.write(out))
        return {};
    return bytes;
}

bool readRecord(QByteArray bytes, CompactTable *table, qint32 maxRows = 1000, qint32 maxColumns = 100)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    HistoryReader reader(&buffer);
    bool flag = false;
    ColumnGroup extension;
    reader.stream() >> flag >> extension;
    return reader.ok() && reader.finish() && readCompactTable(reader, maxRows, maxColumns, table) &&
           reader.remaining() == 0 && decodeCompactCells(*table);
}

using testkit::saveSeed;

} // namespace

void TestCompactTable::roundTrip_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::newRow("empty") << 0 << 0;
    QTest::newRow("no columns") << 3 << 0;
    QTest::newRow("title rows only") << 2 << 7;
    QTest::newRow("a sheet") << 40 << 24;
}

void TestCompactTable::roundTrip()
{
    QFETCH(int, rows);
    QFETCH(int, columns);
    const QList<CompactCell> cells = sampleCells(rows, columns);
    const QByteArray bytes = record(rows, columns, cells);
    QVERIFY(!bytes.isEmpty());
    saveSeed(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'), bytes);
    CompactTable table;
    QVERIFY(readRecord(bytes, &table));
    QCOMPARE(table.rows, rows);
    QCOMPARE(table.columns, columns);
    int seen = 0;
    QVERIFY(decodeCompactCells(table, [&](qint32 r, qint32 c, const CompactCell &got) {
        const CompactCell &want = cells[r * columns + c];
        QCOMPARE(got.present, want.present);
        ++seen;
        if (!want.present)
            return;
        QCOMPARE(got.type, want.type);
        QCOMPARE(got.alignment, want.alignment);
        QCOMPARE(got.text, want.text);
        QCOMPARE(got.toolTip, want.toolTip);
        QCOMPARE(got.bold, want.bold);
        QCOMPARE(got.hasNumber, want.hasNumber);
        if (want.hasNumber)
            QVERIFY(got.number == want.number || (std::isnan(got.number) && std::isnan(want.number)));
        QCOMPARE(got.hasBackground, want.hasBackground);
        if (want.hasBackground)
            QCOMPARE(got.background, want.background);
        QCOMPARE(got.hasForeground, want.hasForeground);
        if (want.hasForeground)
            QCOMPARE(got.foreground, want.foreground);
    }));
    QCOMPARE(seen, rows * columns);
}

void TestCompactTable::damaged_data()
{
    QTest::addColumn<int>("damage");
    QTest::newRow("cut in the compressed cells") << 0;
    QTest::newRow("a byte flipped in the compressed cells") << 1;
    QTest::newRow("unpacked size one too small") << 2;
    QTest::newRow("unpacked size one too large") << 3;
    QTest::newRow("a byte too many") << 4;
    QTest::newRow("one cell more than the table") << 5;
    QTest::newRow("one cell fewer than the table") << 6;
}

void TestCompactTable::damaged()
{
    QFETCH(int, damage);
    const int rows = 12, columns = 9;
    QList<CompactCell> cells = sampleCells(rows, columns);
    if (damage == 5)
        cells << cells.first();
    if (damage == 6)
        cells.removeLast();
    QByteArray bytes = record(rows, columns, cells);
    if (damage >= 5) {
        // The writer itself refuses a table whose cells do not match its size.
        QVERIFY(bytes.isEmpty());
        return;
    }
    // After the prefix: rows, columns, then the unpacked and packed sizes.
    const qsizetype sizesAt = prefix().size() + 8;
    switch (damage) {
    case 0:
        bytes.chop(10);
        break;
    case 1:
        bytes[bytes.size() - 12] = char(bytes[bytes.size() - 12] ^ 0x41);
        break;
    case 2:
        bytes[sizesAt + 7] = char(bytes[sizesAt + 7] - 1);
        break;
    case 3:
        bytes[sizesAt + 7] = char(bytes[sizesAt + 7] + 1);
        break;
    case 4:
        bytes.append('\0');
        break;
    }
    saveSeed(u"damaged_%1"_s.arg(damage), bytes);
    CompactTable table;
    QVERIFY(!readRecord(bytes, &table));
}

void TestCompactTable::claims_data()
{
    QTest::addColumn<qint32>("rows");
    QTest::addColumn<qint32>("columns");
    QTest::addColumn<qint64>("unpacked");
    QTest::addColumn<qint64>("packed");
    QTest::newRow("negative rows") << -1 << 5 << 0LL << 0LL;
    QTest::newRow("rows beyond the page's limit") << 1001 << 5 << 5005LL << 10LL;
    QTest::newRow("cells beyond the cap") << 1000 << 100 << 100000LL << 10LL;
    QTest::newRow("unpacked smaller than a byte a cell") << 10 << 10 << 99LL << 10LL;
    QTest::newRow("unpacked beyond the cap") << 1 << 1 << kMaxCompactBytes + 1 << 10LL;
    QTest::newRow("packed beyond the file") << 1 << 1 << 1LL << 1LL; // 1 stands for 2^32 below
    QTest::newRow("negative packed size") << 1 << 1 << 1LL << -5LL;
}

void TestCompactTable::claims()
{
    QFETCH(qint32, rows);
    QFETCH(qint32, columns);
    QFETCH(qint64, unpacked);
    QFETCH(qint64, packed);
    QByteArray bytes = prefix();
    {
        QDataStream out(&bytes, QIODevice::WriteOnly | QIODevice::Append);
        out.setVersion(kHistoryStreamVersion);
        out << rows << columns << unpacked << (packed == 1 ? qint64(1) << 32 : packed);
        out.writeRawData("\0\0\0\1x\x9c\3\0\0\0\0\1", 12);
    }
    saveSeed(u"claims_%1"_s.arg(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_')), bytes);
    CompactTable table;
    QVERIFY(!readRecord(bytes, &table, 1000, 100));
}

QTEST_APPLESS_MAIN(TestCompactTable)
#include "tst_compacttable.moc"
