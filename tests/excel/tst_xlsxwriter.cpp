// The .xlsx writer: what it writes must read back unchanged through our reader, and open in the
// independent readers users have (openpyxl, Gnumeric's ssconvert) with the same contents, in a zip
// package Python's zipfile finds sound. The zip layer is checked on its own against our reader,
// with parts smaller and larger than its buffer.
#include "excel/columnletters.h"
#include "excel/formats.h"
#include "excel/workbook.h"
#include "excel/zipreader.h"
#include "excel/zipwriter.h"
#include "tests/testkit.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

class TestXlsxWriter : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void numbers_data();
    void numbers();
    void notFiniteRefused();
    void formats_data();
    void formats();
    void layout();
    void rows_data();
    void rows();
    void zipEntries_data();
    void zipEntries();
    void partsInExcelsOrder();
    void openpyxlReadsEverything();
    void ssconvertShowsTheCells();
    void unwritablePathKeepsNothing();
};

namespace {

QByteArray written(const Workbook &book)
{
    QByteArray bytes;
    QString error;
    if (!writeXlsx(book, &bytes, &error))
        qWarning("writeXlsx: %s", qPrintable(error));
    return bytes;
}

std::unique_ptr<Workbook> readBack(const Workbook &book)
{
    auto again = std::make_unique<Workbook>(Workbook::Kind::Xlsx);
    if (!again->loadFromData(written(book)))
        qWarning("read back: %s", qPrintable(again->errorMessage()));
    return again;
}

QByteArray part(const QByteArray &package, const QString &name)
{
    ZipReader zip;
    QByteArray out;
    if (!zip.open(package) || !zip.read(name, 1 << 30, &out))
        return {};
    return out;
}

bool havePythonModule(const QString &module)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import ") + module});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString repeated(const QString &unit, int times)
{
    QString s;
    for (int i = 0; i < times; ++i)
        s += unit;
    return s;
}

} // namespace

void TestXlsxWriter::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QStringLiteral("Basic pay");
    QTest::newRow("chinese") << QStringLiteral("应发工资合计（元）");
    QTest::newRow("xml specials") << QStringLiteral("a&b<c>d\"e'f&amp;");
    QTest::newRow("emoji") << QStringLiteral("奖金🎉👍🏽");
    QTest::newRow("tab and line feed") << QStringLiteral("a\tb\nc");
    QTest::newRow("carriage return") << QStringLiteral("line\r\nnext\r");
    QTest::newRow("control characters") << QString::fromUtf16(u"\u0001x\u0008y\u000B\u000C\u001F\u0000z", 9);
    QTest::newRow("escape-like text") << QStringLiteral("_x0041_ and _x005F_ and _x00");
    QTest::newRow("underscore before x") << QStringLiteral("a_xb_x123_ _X0041_ __x0041__");
    QTest::newRow("non-characters") << QString::fromUtf16(u"a\uFFFEb\uFFFFc");
    QTest::newRow("lone high surrogate") << QString::fromUtf16(u"a\xD83D b", 4);
    QTest::newRow("lone low surrogate at end") << QString::fromUtf16(u"ab\xDE00", 3);
    QTest::newRow("spaces at both ends") << QStringLiteral("  张三 ");
    QTest::newRow("only spaces") << QStringLiteral("   ");
    // 32,767 characters: the most a cell holds.
    QTest::newRow("longest cell text")
        << repeated(QStringLiteral("工资&"), kMaxCellTextLength / 3) + QStringLiteral("<");
    // The text is escaped in spans; a character pair or an escape across their edge must survive.
    for (int n : {509, 510, 511, 512, 513, 1023, 1024})
        QTest::newRow(qPrintable(QStringLiteral("emoji after %1 letters").arg(n)))
            << repeated(QStringLiteral("a"), n) + QStringLiteral("😀_x0041_\u0001");
}

void TestXlsxWriter::texts()
{
    QFETCH(QString, text);
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *s = book.addSheet(QStringLiteral("texts"));
    QVERIFY(s->writeStr(0, 0, text));
    QVERIFY(s->writeStr(0, 1, text));
    QVERIFY(s->writeStr(2, 3, QStringLiteral("after")));
    auto again = readBack(book);
    QCOMPARE(again->sheetCount(), 1);
    const Sheet *r = again->getSheet(0);
    QCOMPARE(r->readStr(0, 0), text);
    QCOMPARE(r->readStr(0, 1), text);
    QCOMPARE(r->readStr(2, 3), QStringLiteral("after"));
    QCOMPARE(r->cellCount(), qsizetype(3));
}

void TestXlsxWriter::numbers_data()
{
    QTest::addColumn<double>("value");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative zero") << -0.0;
    QTest::newRow("integer") << 12345.0;
    QTest::newRow("cents") << 8765.43;
    QTest::newRow("tenth") << 0.1;
    QTest::newRow("third") << 1.0 / 3.0;
    QTest::newRow("tax rate product") << 12000 * 0.03 - 0.105;
    QTest::newRow("2^53 + 2") << 9007199254740994.0;
    QTest::newRow("large with exponent") << -1.5e21;
    QTest::newRow("small") << 1.25e-7;
    QTest::newRow("smallest normal") << std::numeric_limits<double>::min();
    QTest::newRow("denormal") << std::numeric_limits<double>::denorm_min();
    QTest::newRow("largest") << std::numeric_limits<double>::max();
}

void TestXlsxWriter::numbers()
{
    QFETCH(double, value);
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *s = book.addSheet(QStringLiteral("numbers"));
    QVERIFY(s->writeNum(0, 0, value));
    QVERIFY(s->writeNum(0, 1, -value));
    auto again = readBack(book);
    const Sheet *r = again->getSheet(0);
    QCOMPARE(r->cellType(0, 0), CellType::Number);
    // Bit for bit: the shortest round-trip text loses nothing.
    QCOMPARE(r->readNum(0, 0), value);
    QCOMPARE(r->readNum(0, 1), -value);
    const QByteArray sheet = part(written(book), QStringLiteral("xl/worksheets/sheet1.xml"));
    QVERIFY(!sheet.contains("e+0") && !sheet.contains("00000000")); // never printf's padded forms
}

void TestXlsxWriter::notFiniteRefused()
{
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *s = book.addSheet(QStringLiteral("n"));
    QVERIFY(!s->writeNum(0, 0, std::nan("")));
    QVERIFY(!s->writeNum(0, 1, std::numeric_limits<double>::infinity()));
    QVERIFY(!s->writeNum(0, 2, -std::numeric_limits<double>::infinity()));
    QVERIFY(s->writeNum(1, 0, 1));
    auto again = readBack(book);
    QCOMPARE(again->getSheet(0)->cellCount(), qsizetype(1));
    QCOMPARE(again->getSheet(0)->readNum(1, 0), 1.0);
}

void TestXlsxWriter::formats_data()
{
    QTest::addColumn<QString>("fontName");
    QTest::addColumn<double>("size");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<int>("underline");
    QTest::addColumn<int>("alignH");
    QTest::addColumn<int>("alignV");
    QTest::addColumn<int>("fillColor"); // 0: no fill
    QTest::addColumn<QString>("code");  // empty: built-in id 14
    QTest::newRow("plain body") << QStringLiteral("微软雅黑") << 10.0 << false << false << 0 << 0 << 2 << 0
                                << QStringLiteral("#,##0.00");
    QTest::newRow("bold heading, fill 23")
        << QStringLiteral("微软雅黑") << 11.0 << true << false << 0 << 2 << 1 << 23 << QStringLiteral("@");
    QTest::newRow("italic double underline, fill 54")
        << QStringLiteral("Arial") << 9.5 << false << true << 2 << 3 << 0 << 54 << QStringLiteral("0.0%");
    QTest::newRow("font name with XML specials")
        << QStringLiteral("A&B \"<Font>\"") << 12.0 << false << false << 1 << 7 << 4 << 8 << QString();
    QTest::newRow("size not a number: the default size")
        << QStringLiteral("Arial") << std::nan("") << false << false << 0 << 0 << 2 << 0 << QString();
    QTest::newRow("code with quotes and ampersand")
        << QStringLiteral("宋体") << 20.0 << true << true << 0 << 5 << 3 << 63
        << QStringLiteral("\"¥\"#,##0.00;[Red]\"-¥\"#,##0.00&\"元\"");
}

void TestXlsxWriter::formats()
{
    QFETCH(QString, fontName);
    QFETCH(double, size);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(int, underline);
    QFETCH(int, alignH);
    QFETCH(int, alignV);
    QFETCH(int, fillColor);
    QFETCH(QString, code);
    Workbook book(Workbook::Kind::Xlsx);
    Font *font = book.addFont();
    font->setName(fontName);
    font->setSize(size);
    font->setBold(bold);
    font->setItalic(italic);
    font->setUnderline(underline);
    Format *f = book.addFormat();
    f->setFont(font);
    f->setAlignH(alignH);
    f->setAlignV(alignV);
    f->setBorderTop(CellBorder::Thin);
    if (fillColor) {
        f->setFillPattern(CellFill::Solid);
        f->setPatternForegroundColor(fillColor);
    }
    if (code.isEmpty()) {
        f->setNumFormat(14);
    } else {
        f->setNumFormat(170);
        book.setNumFormatCode(170, code);
    }
    Format *plain = book.addFormat(); // a second format on the same font: one font in the file
    plain->setFont(font);
    Sheet *s = book.addSheet(QStringLiteral("f"));
    QVERIFY(s->writeNum(0, 0, 41000.5, f));
    QVERIFY(s->writeStr(0, 1, QStringLiteral("x"), plain));
    QVERIFY(s->writeNum(0, 2, 3)); // no format at all
    auto again = readBack(book);
    const Sheet *r = again->getSheet(0);
    const Format *g = r->cellFormat(0, 0);
    QVERIFY(g);
    QCOMPARE(g->font()->name(), fontName);
    QCOMPARE(g->font()->size(), std::isnan(size) ? 11.0 : size);
    QCOMPARE(g->font()->bold(), bold);
    QCOMPARE(g->font()->italic(), italic);
    QCOMPARE(g->font()->underline(), underline);
    QCOMPARE(g->alignH(), alignH);
    QCOMPARE(g->alignV(), alignV);
    QCOMPARE(g->borderTop(), int(CellBorder::Thin));
    QCOMPARE(g->borderLeft(), int(CellBorder::NoBorder));
    QCOMPARE(g->fillPattern(), fillColor ? int(CellFill::Solid) : int(CellFill::NoFill));
    if (fillColor)
        QCOMPARE(g->patternForegroundColor(), fillColor);
    if (code.isEmpty()) {
        QCOMPARE(g->numFormat(), 14);
    } else {
        QVERIFY(g->numFormat() >= 164);
        QCOMPARE(again->numFormatCode(g->numFormat()), code);
    }
    QCOMPARE(r->cellFormat(0, 1)->font()->name(), fontName);
    QCOMPARE(r->cellFormat(0, 1)->fillPattern(), int(CellFill::NoFill));
    const Format *none = r->cellFormat(0, 2);
    QVERIFY(!none || (none->numFormat() == 0 && none->font()->name() == QStringLiteral("Calibri")));
    const QByteArray styles = part(written(book), QStringLiteral("xl/styles.xml"));
    QCOMPARE(styles.count("<font>"), qsizetype(2)); // the default font and the one both formats share
}

void TestXlsxWriter::layout()
{
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *s = book.addSheet(QStringLiteral("工资&表"));
    QVERIFY(s->writeStr(0, 0, QStringLiteral("标题")));
    QVERIFY(s->setMerge(0, 1, 0, 5));
    QVERIFY(s->setMerge(3, 3, 2, 2)); // one cell: not a merge in the file
    QVERIFY(s->setMerge(10, 12, 700, 702));
    QVERIFY(s->setCol(0, 0, 20));
    QVERIFY(s->setCol(1, 3, 12.57));
    QVERIFY(s->setCol(5, 5, 0.5));
    QVERIFY(s->setCol(6, 6, 0)); // hidden
    QVERIFY(s->setCol(16383, 16383, 3));
    QVERIFY(s->setRow(0, 30));
    QVERIFY(s->setRow(2, 8.25));   // a row with a height and no cells, between rows with cells
    QVERIFY(s->setRow(50000, 40)); // and after the last
    QVERIFY(s->writeNum(4, 16383, 7));
    QVERIFY(s->writeNum(1048575, 0, 8));
    QVERIFY(book.addSheet(QStringLiteral("空表")));
    Sheet *third = book.addSheet(QStringLiteral("third"));
    QVERIFY(third->writeBool(0, 0, true));
    QVERIFY(third->writeBool(0, 1, false));
    QVERIFY(third->writeStr(0, 2, QString())); // empty text without a format: nothing to keep
    Format *boxed = book.addFormat();
    boxed->setBorder(CellBorder::Thin);
    QVERIFY(third->writeBlank(0, 3, boxed));
    QVERIFY(third->writeStr(0, 4, QString(), boxed));

    auto again = readBack(book);
    QCOMPARE(again->sheetCount(), 3);
    QCOMPARE(again->getSheet(0)->name(), QStringLiteral("工资&表"));
    QCOMPARE(again->getSheet(1)->name(), QStringLiteral("空表"));
    QCOMPARE(again->getSheet(2)->name(), QStringLiteral("third"));
    const Sheet *r = again->getSheet(0);
    QCOMPARE(r->merges().size(), size_t(2));
    int fr, lr, fc, lc;
    QVERIFY(r->getMerge(1, 5, &fr, &lr, &fc, &lc));
    QCOMPARE((QList<int>{fr, lr, fc, lc}), (QList<int>{0, 1, 0, 5}));
    QVERIFY(r->getMerge(12, 700, &fr, &lr, &fc, &lc));
    QCOMPARE((QList<int>{fr, lr, fc, lc}), (QList<int>{10, 12, 700, 702}));
    QVERIFY(!r->getMerge(3, 2, &fr, &lr, &fc, &lc));
    QCOMPARE(r->colWidth(0), 20.0);
    QCOMPARE(r->colWidth(1), 12.57);
    QCOMPARE(r->colWidth(3), 12.57);
    QCOMPARE(r->colWidth(5), 0.5);
    QCOMPARE(r->colWidth(6), 0.0);
    QCOMPARE(r->colWidth(16383), 3.0);
    QVERIFY(!r->hasColWidth(4));
    QCOMPARE(r->rowHeight(0), 30.0);
    QCOMPARE(r->rowHeight(2), 8.25);
    QCOMPARE(r->rowHeight(50000), 40.0);
    QVERIFY(!r->hasRowHeight(1));
    QCOMPARE(r->readNum(4, 16383), 7.0);
    QCOMPARE(r->readNum(1048575, 0), 8.0);
    QCOMPARE(r->lastRow(), 1048575);
    QCOMPARE(r->lastCol(), 16383);
    QCOMPARE(again->getSheet(1)->cellCount(), qsizetype(0));
    const Sheet *t = again->getSheet(2);
    QCOMPARE(t->cellType(0, 0), CellType::Boolean);
    QVERIFY(t->readBool(0, 0));
    QCOMPARE(t->cellType(0, 1), CellType::Boolean);
    QVERIFY(!t->readBool(0, 1));
    QCOMPARE(t->cellType(0, 2), CellType::Empty);
    QVERIFY(!t->cellFormat(0, 2));
    QCOMPARE(t->cellType(0, 3), CellType::Empty);
    QCOMPARE(t->cellFormat(0, 3)->borderLeft(), int(CellBorder::Thin));
    QCOMPARE(t->cellType(0, 4), CellType::Empty);
    QCOMPARE(t->cellFormat(0, 4)->borderBottom(), int(CellBorder::Thin));
}

void TestXlsxWriter::rows_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("1 row") << 1;
    QTest::newRow("100k rows") << 100000;
}

// A salary sheet: a name, a department, amounts and a flag on every row.
void TestXlsxWriter::rows()
{
    QFETCH(int, rows);
    Workbook book(Workbook::Kind::Xlsx);
    Format *money = book.addFormat();
    money->setNumFormat(4);
    Sheet *s = book.addSheet(QStringLiteral("工资"));
    for (int r = 0; r < rows; ++r) {
        QVERIFY(s->writeStr(r, 0, QStringLiteral("员工%1").arg(r)));
        QVERIFY(s->writeStr(r, 1, QStringLiteral("部门%1").arg(r % 37)));
        QVERIFY(s->writeNum(r, 2, 5000 + r * 0.01, money));
        QVERIFY(s->writeNum(r, 3, -r / 7.0));
        QVERIFY(s->writeBool(r, 4, r % 2));
    }
    const QByteArray bytes = written(book);
    QVERIFY(!bytes.isEmpty());
    // Texts go inline, so no table of texts is left for readers to look up.
    QVERIFY(part(bytes, QStringLiteral("xl/sharedStrings.xml")).isEmpty());
    QVERIFY(!part(bytes, QStringLiteral("[Content_Types].xml")).contains("sharedStrings"));
    Workbook again(Workbook::Kind::Xlsx);
    QVERIFY2(again.loadFromData(bytes), qPrintable(again.errorMessage()));
    const Sheet *r = again.getSheet(0);
    QCOMPARE(r->cellCount(), qsizetype(rows) * 5);
    QCOMPARE(r->lastRow(), rows - 1);
    for (int i = 0; i < rows; ++i) {
        if (r->readStr(i, 0) != QStringLiteral("员工%1").arg(i) ||
            r->readStr(i, 1) != QStringLiteral("部门%1").arg(i % 37) || r->readNum(i, 2) != 5000 + i * 0.01 ||
            r->readNum(i, 3) != -i / 7.0 || r->readBool(i, 4) != bool(i % 2) ||
            r->cellFormat(i, 2)->numFormat() != 4)
            QFAIL(qPrintable(QStringLiteral("row %1 reads back differently").arg(i)));
    }
}

void TestXlsxWriter::zipEntries_data()
{
    QTest::addColumn<QList<QByteArray>>("entries");
    QByteArray noise(3 << 20, '\0'); // incompressible, three times the writer's buffer
    QRandomGenerator rng(7);
    for (char &c : noise)
        c = char(rng.bounded(256));
    QTest::newRow("empty entry") << QList<QByteArray>{QByteArray()};
    QTest::newRow("one byte") << QList<QByteArray>{QByteArray("x")};
    QTest::newRow("several text entries")
        << QList<QByteArray>{QByteArray("<a/>"), QByteArray(5000, 'z'), QByteArray("工资")};
    QTest::newRow("larger than the buffer, incompressible") << QList<QByteArray>{noise, QByteArray("end")};
    QTest::newRow("compressible, megabytes") << QList<QByteArray>{QByteArray("<row/>").repeated(1 << 20)};
}

void TestXlsxWriter::zipEntries()
{
    QFETCH(QList<QByteArray>, entries);
    QByteArray package;
    {
        ZipWriter z(&package);
        for (int i = 0; i < entries.size(); ++i) {
            QVERIFY(z.beginEntry(QStringLiteral("dir/part%1.xml").arg(i)));
            const QByteArray &e = entries.at(i);
            // In uneven pieces: small ones through the buffer, a large one around it.
            qsizetype at = 0;
            for (qsizetype piece = 1; at < e.size(); piece = piece * 3 + 1) {
                const qsizetype n = std::min(piece, e.size() - at);
                z.put(std::string_view(e.constData() + at, size_t(n)));
                at += n;
            }
        }
        QVERIFY(z.finish());
    }
    ZipReader reader;
    QVERIFY2(reader.open(package), qPrintable(reader.error()));
    for (int i = 0; i < entries.size(); ++i) {
        QByteArray out;
        QVERIFY2(reader.read(QStringLiteral("dir/part%1.xml").arg(i), 1 << 30, &out),
                 qPrintable(reader.error()));
        QCOMPARE(out.size(), entries.at(i).size());
        QVERIFY(out == entries.at(i));
    }
}

// Excel refuses a part whose elements are out of the schema's order, which our reader forgives;
// and it expects the first two fills to be "none" and "gray125", whatever the cells use.
void TestXlsxWriter::partsInExcelsOrder()
{
    Workbook book(Workbook::Kind::Xlsx);
    Format *f = book.addFormat();
    f->setFillPattern(CellFill::Solid);
    f->setPatternForegroundColor(23);
    f->setNumFormat(200);
    book.setNumFormatCode(200, QStringLiteral("0.000"));
    Sheet *s = book.addSheet(QStringLiteral("s"));
    QVERIFY(s->writeNum(0, 0, 1, f));
    QVERIFY(s->setMerge(0, 0, 0, 1));
    QVERIFY(s->setCol(0, 0, 10));
    const QByteArray bytes = written(book);
    const QByteArray sheet = part(bytes, QStringLiteral("xl/worksheets/sheet1.xml"));
    QList<qsizetype> at;
    for (const char *tag : {"<dimension", "<sheetViews", "<sheetFormatPr", "<cols", "<sheetData",
                            "<mergeCells", "<pageMargins"})
        at << sheet.indexOf(tag);
    QVERIFY2(!at.contains(-1), sheet.constData());
    QVERIFY2(std::is_sorted(at.begin(), at.end()), sheet.constData());
    const QByteArray styles = part(bytes, QStringLiteral("xl/styles.xml"));
    at.clear();
    for (const char *tag :
         {"<numFmts", "<fonts", "<fills", "<borders", "<cellStyleXfs", "<cellXfs", "<cellStyles"})
        at << styles.indexOf(tag);
    QVERIFY2(!at.contains(-1), styles.constData());
    QVERIFY2(std::is_sorted(at.begin(), at.end()), styles.constData());
    const qsizetype none = styles.indexOf("patternType=\"none\"");
    const qsizetype gray = styles.indexOf("patternType=\"gray125\"");
    const qsizetype solid = styles.indexOf("patternType=\"solid\"");
    QVERIFY(none >= 0 && none < gray && gray < solid);
    for (const QString &name :
         {QStringLiteral("[Content_Types].xml"), QStringLiteral("_rels/.rels"),
          QStringLiteral("xl/workbook.xml"), QStringLiteral("xl/_rels/workbook.xml.rels"),
          QStringLiteral("docProps/core.xml"), QStringLiteral("docProps/app.xml")})
        QVERIFY2(part(bytes, name).startsWith("<?xml"), qPrintable(name));
}

// Everything the export sets, as openpyxl sees it; openpyxl also refuses names outside the
// schema's lists (border styles, fill patterns, alignments), so a wrong name fails here.
void TestXlsxWriter::openpyxlReadsEverything()
{
    if (!havePythonModule(QStringLiteral("openpyxl")))
        LUMO_SKIP_WITHOUT_TOOL(
            "/usr/bin/python3 with openpyxl is not installed: the file is not checked by it");
    static const char *const borderNames[] = {
        "thin",        "medium",       "dashed",  "dotted",        "thick",      "double",
        "hair",        "mediumDashed", "dashDot", "mediumDashDot", "dashDotDot", "mediumDashDotDot",
        "slantDashDot"};
    static const char *const patternNames[] = {
        "solid",     "mediumGray", "darkGray",  "lightGray",    "darkHorizontal",  "darkVertical",
        "darkDown",  "darkUp",     "darkGrid",  "darkTrellis",  "lightHorizontal", "lightVertical",
        "lightDown", "lightUp",    "lightGrid", "lightTrellis", "gray125",         "gray0625"};
    static const char *const hNames[] = {"left",    "center",           "right",      "fill",
                                         "justify", "centerContinuous", "distributed"};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("all.xlsx"));
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *s = book.addSheet(QStringLiteral("样式"));
    for (int i = 0; i < 18; ++i) {
        Font *font = book.addFont();
        font->setName(QStringLiteral("字体%1").arg(i));
        font->setSize(8 + i * 0.5);
        font->setBold(i % 2);
        Format *f = book.addFormat();
        f->setFont(font);
        f->setBorderLeft(1 + i % 13);
        f->setBorderBottom(1 + (i + 5) % 13);
        f->setFillPattern(1 + i);
        f->setPatternForegroundColor(8 + i * 3);
        f->setAlignH(1 + i % 7);
        f->setAlignV(i % 5);
        f->setNumFormat(i % 2 ? 10 : 164 + i);
        if (i % 2 == 0)
            book.setNumFormatCode(164 + i, QStringLiteral("0.%1").arg(QString(i / 2 + 1, u'0')));
        QVERIFY(s->writeStr(i, 0, QStringLiteral("第%1行 & <b>").arg(i), f));
        QVERIFY(s->writeNum(i, 1, i * 1.5 + 0.25, f));
    }
    QVERIFY(s->writeBool(18, 0, true));
    QVERIFY(s->writeStr(18, 1, QStringLiteral("😀\u0001_x0041_")));
    QVERIFY(s->setMerge(20, 21, 0, 3));
    QVERIFY(s->setCol(0, 0, 20));
    QVERIFY(s->setRow(3, 30));
    QVERIFY(book.addSheet(QStringLiteral("空")));
    QVERIFY2(book.save(path), qPrintable(book.errorMessage()));

    const char script[] = R"PY(
import json, sys, zipfile
path = sys.argv[1]
z = zipfile.ZipFile(path)
bad = z.testzip()
import openpyxl
b = openpyxl.load_workbook(path)
out = {'bad': bad, 'sheets': [s.title for s in b.worksheets], 'cells': []}
s = b.worksheets[0]
for row in s.iter_rows():
    for c in row:
        if c.value is None:
            continue
        out['cells'].append({'r': c.row - 1, 'c': c.column - 1, 'v': c.value, 'type': type(c.value).__name__,
            'font': c.font.name, 'sz': float(c.font.sz), 'b': bool(c.font.b),
            'left': c.border.left.style, 'bottom': c.border.bottom.style, 'right': c.border.right.style,
            'pattern': c.fill.fill_type, 'fg': c.fill.fgColor.rgb if c.fill.fill_type else None,
            'h': c.alignment.horizontal, 'v_': c.alignment.vertical, 'fmt': c.number_format})
out['merges'] = [str(m) for m in s.merged_cells.ranges]
out['width'] = s.column_dimensions['A'].width
out['height'] = s.row_dimensions[4].height
print(json.dumps(out))
)PY";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(script), path});
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    const QJsonObject out = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    QVERIFY(out.value(QStringLiteral("bad")).isNull()); // zipfile found every entry sound
    QCOMPARE(out.value(QStringLiteral("sheets")).toArray(),
             (QJsonArray{QStringLiteral("样式"), QStringLiteral("空")}));
    QCOMPARE(out.value(QStringLiteral("merges")).toArray(), (QJsonArray{QStringLiteral("A21:D22")}));
    QCOMPARE(out.value(QStringLiteral("width")).toDouble(), 5302 / 256.0); // 20 digits and padding
    QCOMPARE(out.value(QStringLiteral("height")).toDouble(), 30.0);
    const QJsonArray cells = out.value(QStringLiteral("cells")).toArray();
    QCOMPARE(cells.size(), 38);
    static const char *const vNames[] = {"top", "center", nullptr, "justify", "distributed"};
    for (int i = 0; i < 18; ++i) {
        for (int k = 0; k < 2; ++k) {
            const QJsonObject c = cells.at(i * 2 + k).toObject();
            const QString where = QStringLiteral("row %1 column %2").arg(i).arg(k);
            QCOMPARE(c.value(QStringLiteral("r")).toInt(), i);
            if (k == 0)
                QCOMPARE(c.value(QStringLiteral("v")).toString(), QStringLiteral("第%1行 & <b>").arg(i));
            else
                QCOMPARE(c.value(QStringLiteral("v")).toDouble(), i * 1.5 + 0.25);
            QCOMPARE(c.value(QStringLiteral("font")).toString(), QStringLiteral("字体%1").arg(i));
            QCOMPARE(c.value(QStringLiteral("sz")).toDouble(), 8 + i * 0.5);
            QCOMPARE(c.value(QStringLiteral("b")).toBool(), bool(i % 2));
            QVERIFY2(c.value(QStringLiteral("left")).toString() == QLatin1String(borderNames[i % 13]),
                     qPrintable(where));
            QVERIFY2(c.value(QStringLiteral("bottom")).toString() == QLatin1String(borderNames[(i + 5) % 13]),
                     qPrintable(where));
            QVERIFY(c.value(QStringLiteral("right")).isNull());
            QVERIFY2(c.value(QStringLiteral("pattern")).toString() == QLatin1String(patternNames[i]),
                     qPrintable(where));
            const QString rgb =
                QStringLiteral("FF%1").arg(paletteColor(8 + i * 3), 6, 16, QLatin1Char('0')).toUpper();
            QCOMPARE(c.value(QStringLiteral("fg")).toString(), rgb);
            QVERIFY2(c.value(QStringLiteral("h")).toString() == QLatin1String(hNames[i % 7]),
                     qPrintable(where));
            if (vNames[i % 5])
                QVERIFY2(c.value(QStringLiteral("v_")).toString() == QLatin1String(vNames[i % 5]),
                         qPrintable(where));
            else
                QVERIFY(c.value(QStringLiteral("v_")).isNull());
            const QString fmt =
                i % 2 ? QStringLiteral("0.00%") : QStringLiteral("0.%1").arg(QString(i / 2 + 1, u'0'));
            QCOMPARE(c.value(QStringLiteral("fmt")).toString(), fmt);
        }
    }
    QCOMPARE(cells.at(36).toObject().value(QStringLiteral("type")).toString(), QStringLiteral("bool"));
    // openpyxl does not decode the "_xHHHH_" escapes of inline texts: it shows the escaped text
    // as the file holds it, which must then be exactly Excel's escaped form.
    const QString odd = cells.at(37).toObject().value(QStringLiteral("v")).toString();
    QVERIFY2(odd == QStringLiteral("😀\u0001_x0041_") || odd == QStringLiteral("😀_x0001__x005F_x0041_"),
             qPrintable(odd));
}

void TestXlsxWriter::ssconvertShowsTheCells()
{
    const QString exe = QStandardPaths::findExecutable(QStringLiteral("ssconvert"));
    if (exe.isEmpty())
        LUMO_SKIP_WITHOUT_TOOL("Gnumeric's ssconvert is not installed: the file is not checked by it");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book.xlsx"));
    const QString csv = dir.filePath(QStringLiteral("book.csv"));
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *s = book.addSheet(QStringLiteral("工资"));
    QVERIFY(s->writeStr(0, 0, QStringLiteral("姓名")));
    QVERIFY(s->writeStr(0, 1, QStringLiteral("应发 & <实发>")));
    QVERIFY(s->writeStr(1, 0, QStringLiteral("张三😀")));
    QVERIFY(s->writeNum(1, 1, 8765.43));
    QVERIFY(s->writeNum(2, 1, 0.1));
    QVERIFY(s->writeNum(2, 2, -1.5e21));
    QVERIFY(s->writeBool(3, 0, true));
    QVERIFY2(book.save(path), qPrintable(book.errorMessage()));
    QProcess p;
    p.start(exe, {QStringLiteral("--export-type=Gnumeric_stf:stf_csv"), path, csv});
    QVERIFY(p.waitForFinished(120000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    QFile f(csv);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), QStringLiteral("姓名,\"应发 & <实发>\","));
    QCOMPARE(lines.at(1), QStringLiteral("张三😀,8765.43,"));
    QCOMPARE(lines.at(2), QStringLiteral(",0.1,-1.5E+21"));
    QCOMPARE(lines.at(3), QStringLiteral("TRUE,,"));
}

// A failed save leaves what was at the path as it was.
void TestXlsxWriter::unwritablePathKeepsNothing()
{
    QTemporaryDir dir;
    Workbook book(Workbook::Kind::Xlsx);
    QVERIFY(book.addSheet(QStringLiteral("s"))->writeStr(0, 0, QStringLiteral("x")));
    const QString missingDir = dir.filePath(QStringLiteral("no/such/dir/book.xlsx"));
    QVERIFY(!book.save(missingDir));
    QVERIFY(!book.errorMessage().isEmpty());
    QVERIFY(!QFile::exists(missingDir));
}

QTEST_GUILESS_MAIN(TestXlsxWriter)
#include "tst_xlsxwriter.moc"
