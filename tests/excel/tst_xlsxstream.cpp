// The .xlsx reader parses every part while it inflates. Whatever the size of the inflated pieces,
// a workbook must read exactly as it does in one piece: a text, a cell or a UTF-8 character split
// across two pieces must come through whole, and a part cut short must fail. A few hundred
// kilobytes that inflate to one enormous XML token, or to elements nested millions deep, are
// refused with a message as they arrive; enormous text and blanks are read.
#include "excel/formats.h"
#include "excel/workbook.h"
#include "tests/excel/testbooks.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTest>

#include <zlib.h>

using namespace testbooks;
using namespace Qt::StringLiterals;

namespace {

QByteArray rawDeflate(const QByteArray &data)
{
    z_stream z = {};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(data.size()))) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

QList<ZipPart> deflated(QList<ZipPart> parts)
{
    for (ZipPart &p : parts)
        p.compressed = rawDeflate(p.data);
    return parts;
}

const QByteArray kStrings = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                            "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                            "<si><t>应发工资合计（元）</t></si>"
                            "<si><r><t>张</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">三 </t></r>"
                            "<rPh sb=\"0\" eb=\"1\"><t>ちょう</t></rPh></si>"
                            "<si><t>line&amp;&lt;1&gt;_x000A_end</t></si>"
                            "<si><t></t></si></sst>";

const QByteArray kSheet =
    "<row r=\"1\" ht=\"20\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
    "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"s\"><v>3</v></c></row>"
    "<row r=\"2\"><c r=\"A2\"><v>12345.678</v></c><c r=\"B2\" t=\"b\"><v>1</v></c>"
    "<c r=\"C2\" t=\"inlineStr\"><is><t>内联文字</t></is></c>"
    "<c r=\"D2\" t=\"str\"><f>A2</f><v>公式结果</v></c></row>"
    "<row r=\"40\"><c r=\"AB40\"><v>-0.5</v></c></row>";

const QByteArray kExtra = "<mergeCells count=\"1\"><mergeCell ref=\"A3:C4\"/></mergeCells>";

// Every cell of every sheet, as text, to compare two reads of one file.
QString contents(const Workbook &book)
{
    QString out;
    for (int i = 0; i < book.sheetCount(); ++i) {
        const Sheet &s = *book.getSheet(i);
        out += QStringLiteral("[%1 %2 %3 %4]\n")
                   .arg(s.name())
                   .arg(s.lastRow())
                   .arg(s.lastCol())
                   .arg(s.cellCount());
        for (const int r : s.rowIndexes()) {
            out += QStringLiteral("row %1 height %2\n").arg(r).arg(s.rowHeight(r));
            for (const int c : s.colIndexes(r))
                out += QStringLiteral("%1,%2 %3 %4 %5\n")
                           .arg(r)
                           .arg(c)
                           .arg(int(s.cellType(r, c)))
                           .arg(s.readNum(r, c), 0, 'g', 17)
                           .arg(s.readStr(r, c));
        }
        for (const CellRange &m : s.merges())
            out += QStringLiteral("merge %1 %2 %3 %4\n")
                       .arg(m.firstRow)
                       .arg(m.lastRow)
                       .arg(m.firstCol)
                       .arg(m.lastCol);
    }
    return out;
}

// The middle of a hostile part: hundreds of megabytes in one shape, deflated once for all rows.
const Deflated &hostileMiddle(const QString &shape)
{
    static QHash<QString, Deflated> made;
    if (!made.contains(shape)) {
        const qint64 big = 300'000'000;
        const qint64 text = 200'000'000;
        const QHash<QString, QList<std::pair<QByteArray, qint64>>> shapes = {
            {u"comment"_s, {{"<!--", 1}, {"x", big}, {"-->", 1}}},
            {u"comment before the root"_s, {{"<!--", 1}, {"x", big}, {"-->", 1}}},
            {u"processing instruction"_s, {{"<?lumo ", 1}, {"x", big}, {"?>", 1}}},
            {u"attribute value"_s, {{"<x a=\"", 1}, {"x", big}, {"\"/>", 1}}},
            {u"tag"_s, {{"<x", 1}, {" ", big}, {" a=\"1\"/>", 1}}},
            {u"CDATA section"_s, {{"<![CDATA[", 1}, {"x", big}, {"]]>", 1}}},
            {u"entity reference"_s, {{"&", 1}, {"x", big}, {";", 1}}},
            {u"text run"_s, {{"x", text}}},
            {u"blanks"_s, {{" ", text}}},
            {u"blanks before the root"_s, {{" ", text}}},
            {u"nesting"_s, {{"<x>", 2'000'000}, {"</x>", 2'000'000}}},
        };
        made.insert(shape, deflateRepeated(shapes.value(shape), false));
    }
    return made[shape];
}

// A workbook of one shared string, one number and one bold style, read back in each test.
QList<ZipPart> plainBook()
{
    const QByteArray styles = "<styleSheet><fonts><font/><font><b/></font></fonts>"
                              "<cellXfs><xf fontId=\"0\"/><xf fontId=\"1\"/></cellXfs></styleSheet>";
    return xlsxParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"1\"><v>12.5</v></c></row>",
                     "<sst><si><t>工资</t></si></sst>", styles);
}

} // namespace

class TestXlsxStream : public QObject
{
    Q_OBJECT

private slots:
    void anyPieceSizeReadsTheSame_data();
    void anyPieceSizeReadsTheSame();
    void partCutShortFails_data();
    void partCutShortFails();
    void oneCellAtTheLastRow();
    void longTextAcrossManyPieces_data();
    void longTextAcrossManyPieces();
    void hostilePart_data();
    void hostilePart();
    void cancelStopsTheRead_data();
    void cancelStopsTheRead();
};

void TestXlsxStream::anyPieceSizeReadsTheSame_data()
{
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<int>("chunk");
    for (const bool compressed : {false, true}) {
        for (const int chunk : {1, 2, 3, 5, 7, 13, 64, 4096}) {
            QTest::addRow("%s, %d-byte pieces", compressed ? "deflated" : "stored", chunk)
                << compressed << chunk;
        }
    }
}

void TestXlsxStream::anyPieceSizeReadsTheSame()
{
    QFETCH(bool, compressed);
    QFETCH(int, chunk);
    QList<ZipPart> parts = xlsxParts(kSheet, kStrings, {}, kExtra);
    if (compressed)
        parts = deflated(parts);
    const QByteArray file = zip(parts);

    Workbook whole(Workbook::Kind::Xlsx);
    QVERIFY2(readXlsx(file, &whole, 1 << 20), qPrintable(whole.errorMessage()));
    Workbook pieces(Workbook::Kind::Xlsx);
    QVERIFY2(readXlsx(file, &pieces, chunk), qPrintable(pieces.errorMessage()));
    QCOMPARE(contents(pieces), contents(whole));

    // And what it reads is the file's content, not merely the same mistake twice.
    const Sheet &s = *pieces.getSheet(0);
    QCOMPARE(s.readStr(0, 0), QStringLiteral("应发工资合计（元）"));
    QCOMPARE(s.readStr(0, 1), QStringLiteral("张三 "));
    QCOMPARE(s.readStr(0, 2), QStringLiteral("line&<1>\nend"));
    QCOMPARE(s.cellType(0, 3), CellType::String);
    QCOMPARE(s.readStr(0, 3), QString());
    QCOMPARE(s.readNum(1, 0), 12345.678);
    QVERIFY(s.readBool(1, 1));
    QCOMPARE(s.readStr(1, 2), QStringLiteral("内联文字"));
    QCOMPARE(s.readStr(1, 3), QStringLiteral("公式结果"));
    QCOMPARE(s.readNum(39, 27), -0.5);
    QCOMPARE(s.rowHeight(0), 20.0);
    QCOMPARE(s.merges().size(), size_t(1));
    QCOMPARE(s.cellCount(), qsizetype(9));
}

void TestXlsxStream::partCutShortFails_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<QByteArray>("strings");
    QTest::addColumn<int>("chunk");
    const QByteArray head = "<?xml version=\"1.0\"?><worksheet><sheetData>";
    const QByteArray strings = "<sst><si><t>工资</t></si></sst>";
    for (const int chunk : {1, 4, 65536}) {
        QTest::addRow("sheet ends inside a value, %d-byte pieces", chunk)
            << QByteArray(head + "<row r=\"1\"><c r=\"A1\"><v>12") << QByteArray() << chunk;
        QTest::addRow("sheet ends inside a start tag, %d-byte pieces", chunk)
            << QByteArray(head + "<row r=\"1\"><c r=\"A") << QByteArray() << chunk;
        QTest::addRow("sheet ends after a whole cell, %d-byte pieces", chunk)
            << QByteArray(head + "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>") << QByteArray() << chunk;
        QTest::addRow("shared strings end inside a character, %d-byte pieces", chunk)
            << QByteArray(head + "</sheetData></worksheet>") << strings.left(strings.indexOf("资") + 1)
            << chunk;
        QTest::addRow("empty sheet part, %d-byte pieces", chunk) << QByteArray() << QByteArray() << chunk;
    }
}

void TestXlsxStream::partCutShortFails()
{
    QFETCH(QByteArray, sheet);
    QFETCH(QByteArray, strings);
    QFETCH(int, chunk);
    QList<ZipPart> parts = xlsxParts({}, strings.isEmpty() ? QByteArray("<sst/>") : strings);
    parts[4].data = sheet;
    for (const bool compressed : {false, true}) {
        Workbook book(Workbook::Kind::Xlsx);
        QVERIFY(!readXlsx(zip(compressed ? deflated(parts) : parts), &book, chunk));
        QVERIFY2(book.errorMessage().contains(QStringLiteral("不完整")), qPrintable(book.errorMessage()));
    }
}

void TestXlsxStream::oneCellAtTheLastRow()
{
    Workbook book(Workbook::Kind::Xlsx);
    QVERIFY(book.loadFromData(
        zip(deflated(xlsxParts("<row r=\"1048576\"><c r=\"XFD1048576\"><v>7</v></c></row>")))));
    const Sheet &s = *book.getSheet(0);
    QCOMPARE(s.lastRow(), 1048575);
    QCOMPARE(s.lastCol(), 16383);
    QCOMPARE(s.cellCount(), qsizetype(1));
    QCOMPARE(s.rowIndexes(), std::vector<int>{1048575});
    QCOMPARE(s.readNum(1048575, 16383), 7.0);
    QCOMPARE(s.cellType(1048574, 16383), CellType::Empty);
    QCOMPARE(s.cellType(0, 0), CellType::Empty);

    // Written back and read again, it is still one cell.
    QByteArray bytes;
    QString error;
    QVERIFY2(writeXlsx(book, &bytes, &error), qPrintable(error));
    Workbook again(Workbook::Kind::Xlsx);
    QVERIFY2(again.loadFromData(bytes), qPrintable(again.errorMessage()));
    QCOMPARE(again.getSheet(0)->cellCount(), qsizetype(1));
    QCOMPARE(again.getSheet(0)->readNum(1048575, 16383), 7.0);
}

void TestXlsxStream::longTextAcrossManyPieces_data()
{
    QTest::addColumn<bool>("shared");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("chunk");
    for (const bool shared : {true, false}) {
        for (const int length : {kMaxCellTextLength, kMaxCellTextLength + 5000}) {
            for (const int chunk : {1, 5, 4096, 65536}) {
                QTest::addRow("%s, %d characters, %d-byte pieces", shared ? "shared string" : "inline string",
                              length, chunk)
                    << shared << length << chunk;
            }
        }
    }
}

// A text far longer than any piece, of three-byte characters with an escaped one in the middle,
// comes through whole (or cut to what a cell holds), with the cells after it in place.
void TestXlsxStream::longTextAcrossManyPieces()
{
    QFETCH(bool, shared);
    QFETCH(int, length);
    QFETCH(int, chunk);
    QString text;
    for (int i = 0; i < length; ++i)
        text += i == length / 2 ? QChar(u'&') : QChar(char16_t(u'工' + i % 7));
    QByteArray xmlText = text.toUtf8();
    xmlText.replace("&", "&amp;");
    const QByteArray value = shared ? QByteArray("<c r=\"B2\" t=\"s\"><v>0</v></c>")
                                    : "<c r=\"B2\" t=\"inlineStr\"><is><t>" + xmlText + "</t></is></c>";
    const QByteArray sheet = "<row r=\"2\">" + value + "<c r=\"C2\"><v>1.25</v></c></row>";
    const QByteArray strings = shared ? "<sst><si><t>" + xmlText + "</t></si></sst>" : QByteArray();
    const QByteArray file = zip(deflated(xlsxParts(sheet, strings)));
    Workbook book(Workbook::Kind::Xlsx);
    QVERIFY2(readXlsx(file, &book, chunk), qPrintable(book.errorMessage()));
    const Sheet &s = *book.getSheet(0);
    QCOMPARE(s.readStr(1, 1), text.left(kMaxCellTextLength));
    QCOMPARE(s.readNum(1, 2), 1.25);
    QCOMPARE(s.cellCount(), qsizetype(2));
}

void TestXlsxStream::hostilePart_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("refusal"); // a part of the message, or empty when the book reads
    const QString tooLong = u"MB 以上"_s;
    const QList<std::pair<QString, QString>> shapes = {
        {u"comment"_s, tooLong},
        {u"comment before the root"_s, tooLong},
        {u"processing instruction"_s, tooLong},
        {u"attribute value"_s, tooLong},
        {u"tag"_s, tooLong},
        {u"CDATA section"_s, tooLong},
        {u"entity reference"_s, tooLong},
        {u"text run"_s, QString()},
        {u"blanks"_s, QString()},
        {u"blanks before the root"_s, QString()},
        {u"nesting"_s, u"嵌套过深"_s},
    };
    const QStringList parts = {u"xl/sharedStrings.xml"_s, u"xl/worksheets/sheet1.xml"_s,   u"xl/styles.xml"_s,
                               u"xl/workbook.xml"_s,      u"xl/_rels/workbook.xml.rels"_s, u"_rels/.rels"_s};
    for (const auto &[shape, refusal] : shapes) {
        for (const QString &part : parts)
            QTest::addRow("%s in %s", qPrintable(shape), qPrintable(part)) << shape << part << refusal;
    }
}

// The hostile content goes just inside the part's root element, or just before it.
void TestXlsxStream::hostilePart()
{
    QFETCH(QString, shape);
    QFETCH(QString, part);
    QFETCH(QString, refusal);
    QList<ZipPart> parts = plainBook();
    const auto it =
        std::find_if(parts.begin(), parts.end(), [&](const ZipPart &p) { return p.name == part; });
    QVERIFY(it != parts.end());
    const QByteArray &xml = it->data;
    qsizetype root = 0;
    while ((root = xml.indexOf('<', root)) >= 0 && xml.mid(root, 2) == "<?")
        ++root;
    QVERIFY(root >= 0);
    const qsizetype at = shape.endsWith(u"before the root"_s) ? root : xml.indexOf('>', root) + 1;
    *it = joined(part, {deflateRepeated({{xml.left(at), 1}}, false), hostileMiddle(shape),
                        deflateRepeated({{xml.mid(at), 1}}, true)});
    const QByteArray file = zip(parts);
    QVERIFY(file.size() < 1024 * 1024);

    Workbook book(Workbook::Kind::Xlsx);
    QElapsedTimer clock;
    clock.start();
    const bool read = book.loadFromData(file);
    qInfo("%lld ms for %lld bytes", qint64(clock.elapsed()), qint64(file.size()));
    if (!refusal.isEmpty()) {
        QVERIFY(!read);
        QVERIFY2(book.errorMessage().contains(refusal) && book.errorMessage().contains(part),
                 qPrintable(book.errorMessage()));
        return;
    }
    QVERIFY2(read, qPrintable(book.errorMessage()));
    const Sheet &s = *book.getSheet(0);
    QCOMPARE(s.readStr(0, 0), u"工资"_s);
    QCOMPARE(s.readNum(0, 1), 12.5);
    QVERIFY(s.cellFormat(0, 1)->font()->bold());
}

void TestXlsxStream::cancelStopsTheRead_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("xlsx");
    QTest::addColumn<int>("answers"); // how often the reader asks before it is told to stop
    QList<ZipPart> blanks = plainBook();
    blanks[4] =
        joined(blanks[4].name,
               {deflateRepeated({{"<worksheet>", 1}, {" ", 50'000'000}}, false),
                deflateRepeated({{blanks[4].data.mid(blanks[4].data.indexOf("<sheetData")), 1}}, true)});
    QTest::newRow("xlsx, before the first piece") << zip(deflated(plainBook())) << true << 0;
    QTest::newRow("xlsx, inside 50 MB of blanks") << zip(blanks) << true << 100;
    QTest::newRow("xls, before the records") << xlsFile(biffStream({}, {})) << false << 0;
}

// The reader asks between pieces and stops at the first "yes", however much of the file is left.
void TestXlsxStream::cancelStopsTheRead()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, xlsx);
    QFETCH(int, answers);
    Workbook book(xlsx ? Workbook::Kind::Xlsx : Workbook::Kind::Xls);
    QVERIFY2(book.loadFromData(file), qPrintable(book.errorMessage()));
    int asked = 0;
    QVERIFY(!book.loadFromData(file, [&] { return asked++ >= answers; }));
    QCOMPARE(book.errorMessage(), Workbook::cancelledMessage());
    QCOMPARE(asked, answers + 1);
    QCOMPARE(book.sheetCount(), 0);
}

QTEST_GUILESS_MAIN(TestXlsxStream)
#include "tst_xlsxstream.moc"
