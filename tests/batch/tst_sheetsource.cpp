// Reading salary sheets into records: a number cell gives its number whatever its format shows,
// texts go through the one amount rule, every cell read as 0 is reported at its place, rows
// without code and name are skipped, and the range reads as the import reads it.
#include "batch/sheetsource.h"
#include "excel/workbook.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestSheetSource : public QObject
{
    Q_OBJECT

private slots:
    void wageCell_data();
    void wageCell();
    void skippedRows();
    void range_data();
    void range();
    void titles();
    void shape_data();
    void shape();
};

namespace {

const QStringList kTargets = {QStringLiteral("编码"),       QStringLiteral("姓名"),
                              QStringLiteral("月应发工资"), QStringLiteral("三险一金"),
                              QStringLiteral("年终奖金"),   QStringLiteral("企业年金")};

enum class Kind
{
    Number,
    Text,
    Boolean,
    Blank,
};

} // namespace

Q_DECLARE_METATYPE(Kind)

void TestSheetSource::wageCell_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("numFormat");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<qint64>("fen");
    QTest::addColumn<QString>("problemColumn"); // empty: read without a problem

    const QString c = QStringLiteral("C");
    QTest::newRow("number") << Kind::Number << 10000.5 << QString() << 0 << c << qint64(1000050) << QString();
    QTest::newRow("number shown rounded by its format keeps its cents")
        << Kind::Number << 1234.56 << QString() << 3 << c << qint64(123456) << QString();
    QTest::newRow("number through a formula uses the number too")
        << Kind::Number << 1234.56 << QString() << 3 << QStringLiteral("C+0") << qint64(123456) << QString();
    QTest::newRow("text with thousands separators")
        << Kind::Text << 0.0 << QStringLiteral("12,000.50") << 0 << c << qint64(1200050) << QString();
    QTest::newRow("text that is no amount")
        << Kind::Text << 0.0 << QStringLiteral("待定") << 0 << c << qint64(0) << QStringLiteral("C");
    QTest::newRow("negative number") << Kind::Number << -5.0 << QString() << 0 << c << qint64(0)
                                     << QStringLiteral("C");
    QTest::newRow("boolean is no amount")
        << Kind::Boolean << 0.0 << QString() << 0 << c << qint64(0) << QStringLiteral("C");
    QTest::newRow("blank cell is 0 without a word")
        << Kind::Blank << 0.0 << QString() << 0 << c << qint64(0) << QString();
    QTest::newRow("column past the sheet is 0 without a word")
        << Kind::Number << 1.0 << QString() << 0 << QStringLiteral("Z") << qint64(0) << QString();
    QTest::newRow("formula with a syntax error names its target column")
        << Kind::Number << 100.0 << QString() << 0 << QStringLiteral("C*(2") << qint64(0)
        << QStringLiteral("月应发工资");
    QTest::newRow("formula result out of range")
        << Kind::Number << 999999999.0 << QString() << 0 << QStringLiteral("C*10") << qint64(0)
        << QStringLiteral("月应发工资");
}

void TestSheetSource::wageCell()
{
    QFETCH(Kind, kind);
    QFETCH(double, number);
    QFETCH(QString, text);
    QFETCH(int, numFormat);
    QFETCH(QString, formula);
    QFETCH(qint64, fen);
    QFETCH(QString, problemColumn);

    Workbook book(Workbook::Kind::Xlsx);
    Sheet *sheet = book.addSheet(QStringLiteral("工资"));
    Format *format = book.addFormat();
    format->setNumFormat(numFormat);
    for (int col = 0; col < 3; ++col)
        sheet->writeStr(0, col, kTargets[col]);
    sheet->writeStr(1, 0, QStringLiteral("001"));
    sheet->writeStr(1, 1, QStringLiteral("张三"));
    switch (kind) {
    case Kind::Number:
        sheet->writeNum(1, 2, number, format);
        break;
    case Kind::Text:
        sheet->writeStr(1, 2, text);
        break;
    case Kind::Boolean:
        sheet->writeBool(1, 2, true);
        break;
    case Kind::Blank:
        sheet->writeBlank(1, 2, format);
        break;
    }
    const SheetRecords read = readSheetRecords(
        book, *sheet, kTargets, {QStringLiteral("A"), QStringLiteral("B"), formula}, SheetRange{});
    QCOMPARE(read.rowsRead, 1);
    QCOMPARE(int(read.records.size()), 1);
    QCOMPARE(read.records[0].amounts[0], fen);
    QCOMPARE(read.records[0].sheetRow, 2);
    // The text the import would copy is what the format shows, which is not what is taxed.
    if (numFormat == 3 && formula == u"C")
        QCOMPARE(read.records[0].texts[2], QStringLiteral("1,235"));
    if (problemColumn.isEmpty()) {
        QVERIFY(read.unreadable.empty());
    } else {
        QCOMPARE(int(read.unreadable.size()), 1);
        QCOMPARE(read.unreadable[0].sheetRow, 2);
        QCOMPARE(read.unreadable[0].column, problemColumn);
        QVERIFY(read.unreadable[0].reason.endsWith(QStringLiteral("已按 0 计算。")));
    }
}

void TestSheetSource::skippedRows()
{
    Workbook book(Workbook::Kind::Xls);
    Sheet *sheet = book.addSheet(QStringLiteral("工资"));
    // Row 2 full, row 3 only a wage, row 4 only a name, row 5 a code that is a number.
    sheet->writeStr(1, 0, QStringLiteral("A"));
    sheet->writeStr(1, 1, QStringLiteral("甲"));
    sheet->writeNum(1, 2, 5000);
    sheet->writeNum(2, 2, 6000);
    sheet->writeStr(3, 1, QStringLiteral("乙"));
    sheet->writeNum(4, 0, 7);
    sheet->writeStr(4, 2, QStringLiteral("x"));
    const SheetRecords read =
        readSheetRecords(book, *sheet, kTargets,
                         {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, SheetRange{});
    QCOMPARE(read.rowsRead, 4);
    QCOMPARE(read.rowsSkipped, 1);
    QCOMPARE(int(read.records.size()), 3);
    QCOMPARE(read.records[0].code, QStringLiteral("A"));
    QCOMPARE(read.records[1].name, QStringLiteral("乙"));
    QCOMPARE(read.records[1].code, QString());
    QCOMPARE(read.records[2].code, QStringLiteral("7"));
    QCOMPARE(read.records[2].sheetRow, 5);
    // The skipped row's unreadable cells are not reported: only the row that was read.
    QCOMPARE(int(read.unreadable.size()), 1);
    QCOMPARE(read.unreadable[0].sheetRow, 5);
    // Without any code or name formula every row is skipped.
    const SheetRecords none =
        readSheetRecords(book, *sheet, kTargets, {QString(), QString(), QStringLiteral("C")}, SheetRange{});
    QCOMPARE(none.rowsSkipped, 4);
    QVERIFY(none.records.empty());
}

void TestSheetSource::range_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("resolvedFirst");
    QTest::addColumn<int>("resolvedLast");
    // The sheet has rows 1 to 6.
    QTest::newRow("defaults: row 2 to the end") << 2 << 0 << 2 << 6;
    QTest::newRow("last before first swaps") << 5 << 3 << 3 << 5;
    QTest::newRow("last past the end stops at the end") << 4 << 100 << 4 << 6;
    QTest::newRow("first past the end reads nothing") << 9 << 0 << 9 << 6;
    QTest::newRow("row 0 reads from row 1") << 0 << 2 << 1 << 2;
}

void TestSheetSource::range()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, resolvedFirst);
    QFETCH(int, resolvedLast);
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *sheet = book.addSheet(QStringLiteral("工资"));
    for (int r = 0; r < 6; ++r)
        sheet->writeStr(r, 0, QString::number(r + 1));
    const SheetRange resolved = resolveSheetRange(*sheet, {first, last});
    QCOMPARE(resolved.first, resolvedFirst);
    QCOMPARE(resolved.last, resolvedLast);
    const SheetRecords read = readSheetRecords(book, *sheet, kTargets, {QStringLiteral("A")}, {first, last});
    QCOMPARE(read.rowsRead, std::max(0, resolvedLast - resolvedFirst + 1));
    if (!read.records.empty())
        QCOMPARE(read.records.front().code, QString::number(resolvedFirst));
}

void TestSheetSource::titles()
{
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *sheet = book.addSheet(QStringLiteral("工资"));
    sheet->writeStr(0, 0, QStringLiteral("编码"));
    sheet->writeNum(0, 2, 2024);
    sheet->writeStr(3, 3, QStringLiteral("x"));
    QCOMPARE(sheetTitles(book, *sheet, 1),
             (QStringList{QStringLiteral("编码"), QString(), QStringLiteral("2024"), QString()}));
    QCOMPARE(sheetTitles(book, *sheet, 99), (QStringList{QString(), QString(), QString(), QString()}));
    Sheet *empty = book.addSheet(QStringLiteral("空"));
    QVERIFY(sheetTitles(book, *empty, 1).isEmpty());
    QVERIFY(readSheetRecords(book, *empty, kTargets, {QStringLiteral("A")}, {}).records.empty());
}

void TestSheetSource::shape_data()
{
    QTest::addColumn<QStringList>("rows"); // cells separated by "|"
    QTest::addColumn<int>("titleRow");
    QTest::addColumn<int>("firstRow");
    QTest::addColumn<int>("lastRow");
    const QString plain = QStringLiteral("编码|姓名|月应发工资");
    QTest::newRow("plain sheet") << QStringList{plain, u"A|甲|5000"_s, u"B|乙|6000"_s} << 1 << 2 << 0;
    QTest::newRow("merged title above the header")
        << QStringList{u"某公司 2026 年 12 月工资表"_s, QString(), plain, u"A|甲|5000"_s} << 3 << 4 << 0;
    QTest::newRow("synonyms of code and name")
        << QStringList{u"工资表"_s, u"员工姓名|员工编码|月工资"_s, u"甲|A|5000"_s} << 2 << 3 << 0;
    QTest::newRow("totals row in the name column")
        << QStringList{plain, u"A|甲|5000"_s, u"B|乙|6000"_s, u"|合计|11000"_s} << 1 << 2 << 3;
    QTest::newRow("subtotal, total with a blank inside, blank rows after")
        << QStringList{u"表"_s, plain, u"A|甲|5000"_s, u"小计||5000"_s, u"总 计||5000"_s, QString(), u"||"_s}
        << 2 << 3 << 3;
    QTest::newRow("合计 as a name amid the data is a person")
        << QStringList{plain, u"A|合计|5000"_s, u"B|乙|6000"_s} << 1 << 2 << 0;
    QTest::newRow("totals right under the titles: no data row to propose")
        << QStringList{plain, u"|合计|0"_s} << 1 << 2 << 0;
    QTest::newRow("code without name is no title row")
        << QStringList{u"编码|工号"_s, u"A|1"_s, u"|合计"_s} << 1 << 2 << 0;
    QStringList late(10, u"说明"_s);
    late << plain << u"A|甲|5000"_s;
    QTest::newRow("titles past the tenth row are not searched") << late << 1 << 2 << 0;
}

void TestSheetSource::shape()
{
    QFETCH(QStringList, rows);
    QFETCH(int, titleRow);
    QFETCH(int, firstRow);
    QFETCH(int, lastRow);
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *sheet = book.addSheet(QStringLiteral("工资"));
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList cells = rows[r].split(u'|');
        for (int c = 0; c < cells.size(); ++c) {
            if (!cells[c].isEmpty())
                sheet->writeStr(r, c, cells[c]);
        }
    }
    const SheetShape shape = proposeSheetShape(book, *sheet);
    QCOMPARE(shape.titleRow, titleRow);
    QCOMPARE(shape.firstRow, firstRow);
    QCOMPARE(shape.lastRow, lastRow);
}

QTEST_GUILESS_MAIN(TestSheetSource)
#include "tst_sheetsource.moc"
