// What other office programs and scripts write, read as those programs show it: their own number
// format ids, hidden columns, error values, formulas without a stored result, more merges than the
// layer keeps, strings split inside a character, the normal style's font.
#include "excel/celldisplay.h"
#include "excel/columnletters.h"
#include "excel/formats.h"
#include "excel/workbook.h"

#include "testbooks.h"

#include <QTemporaryDir>
#include <QTest>

using namespace testbooks;

class TestOtherWriters : public QObject
{
    Q_OBJECT

private slots:
    void ownNumberFormats_data();
    void ownNumberFormats();
    void ownFormatsSurviveWriting_data();
    void ownFormatsSurviveWriting();
    void hiddenColumns_data();
    void hiddenColumns();
    void errorsAndUnstoredFormulas_data();
    void errorsAndUnstoredFormulas();
    void shiftFormula_data();
    void shiftFormula();
    void mergesPastTheCapWarn_data();
    void mergesPastTheCapWarn();
    void stringSplitInsideACharacter_data();
    void stringSplitInsideACharacter();
    void normalStyleFont_data();
    void normalStyleFont();
};

namespace {

QByteArray xlsxStyles(const QByteArray &numFmts, int numFmtId)
{
    return "<styleSheet><numFmts>" + numFmts +
           "</numFmts><fonts><font><sz val=\"10\"/><name val=\"Arial\"/></font></fonts>"
           "<cellXfs><xf numFmtId=\"0\" fontId=\"0\"/><xf numFmtId=\"" +
           QByteArray::number(numFmtId) + "\" fontId=\"0\"/></cellXfs></styleSheet>";
}

QByteArray biffString16(const QString &text)
{
    QByteArray b = le16(int(text.size())) + QByteArray(1, '\1');
    for (const QChar c : text)
        b += le16(c.unicode());
    return b;
}

QByteArray font(const QString &name, int twips)
{
    QByteArray b = le16(twips) + le16(0) + le16(0x7FFF) + le16(400) + le16(0) + QByteArray(1, '\0') +
                   QByteArray(1, '\0') + QByteArray(1, '\0') + QByteArray(1, '\0');
    b += QByteArray(1, char(name.size())) + QByteArray(1, '\1');
    for (const QChar c : name)
        b += le16(c.unicode());
    return record(biff::Font, b);
}

QByteArray cellHead(int row, int col, int xf = 0)
{
    return le16(row) + le16(col) + le16(xf);
}

// A FORMULA record (of the token "1") whose result is given in its 8 result bytes.
QByteArray formula(int row, int col, const QByteArray &result)
{
    return record(biff::Formula,
                  cellHead(row, col) + result + le16(0) + le32(0) + le16(3) + QByteArray("\x1E\x01\x00", 3));
}

QByteArray specialResult(int type, int value)
{
    return QByteArray(1, char(type)) + QByteArray(1, '\0') + QByteArray(1, char(value)) +
           QByteArray(3, '\0') + le16(0xFFFF);
}

std::unique_ptr<Workbook> loadXlsx(const QByteArray &data, const QByteArray &styles = {},
                                   const QByteArray &extra = {})
{
    auto book = std::make_unique<Workbook>(Workbook::Kind::Xlsx);
    if (!book->loadFromData(zip(xlsxParts(data, {}, styles, extra))))
        qWarning("%s", qPrintable(book->errorMessage()));
    return book;
}

std::unique_ptr<Workbook> loadXls(const QByteArray &globals, const QByteArray &cells)
{
    auto book = std::make_unique<Workbook>(Workbook::Kind::Xls);
    if (!book->loadFromData(xlsFile(biffStream(globals, cells))))
        qWarning("%s", qPrintable(book->errorMessage()));
    return book;
}

} // namespace

void TestOtherWriters::ownNumberFormats_data()
{
    QTest::addColumn<bool>("xlsx");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    // 45268.45 is 2023-12-08 10:48.
    auto row = [](const char *name, bool xlsx, int id, const char *code, double v, const char *text,
                  int kind) {
        QTest::newRow(name) << xlsx << id << QString::fromUtf8(code) << v << QString::fromUtf8(text) << kind;
    };
    row("xlsx id 100 date", true, 100, "yyyy-mm-dd", 45268, "2023-12-08", DateCell);
    row("xlsx id 101 time of day", true, 101, "hh:mm:ss", 0.45, "10:48:00", TimeCell);
    row("xlsx id 102 date and time", true, 102, "yyyy-mm-dd hh:mm", 45268.45, "2023-12-08 10:48",
        DateTimeCell);
    row("xlsx id 103 grouped two decimals", true, 103, "#,##0.00", 1234567.891, "1,234,567.89", NumberCell);
    row("xlsx id 104 three decimals is a custom number", true, 104, "0.000", 0.891, "0.89", NumberCell);
    row("xlsx id 14 redefined as a number is no date", true, 14, "0.00", 45268, "45268.00", NumberCell);
    row("xlsx id 22 redefined as a custom number is no date", true, 22, "0.0", 45268.5, "45268.50",
        NumberCell);
    row("xlsx id 5 currency keeps its grouping", true, 5, "\"¥\"#,##0;\"¥\"\\-#,##0", 1234.4, "1,234",
        NumberCell);
    row("xlsx elapsed hours", true, 105, "[h]:mm:ss", 45266.5125, "1086396:18:00", TimeCell);
    row("xls id 50 date, a Chinese built-in id", false, 50, "YYYY-MM-DD", 45268, "2023-12-08", DateCell);
    row("xls id 51 number, a Chinese built-in id", false, 51, "0.000", 45268, "45268.00", NumberCell);
    row("xls id 52 time", false, 52, "HH:MM:SS", 0.45, "10:48:00", TimeCell);
    row("xls id 60 general", false, 60, "General", 1234.5, "1234.5", NumberCell);
    row("xls id 46 is elapsed time", false, 46, "[h]:mm:ss", 1.25, "30:00:00", TimeCell);
    row("xls id 14 undefined keeps its meaning", false, 14, "", 45268, "2023-12-08", DateCell);
    row("xls id 46 undefined is elapsed too", false, 46, "", 2.5, "60:00:00", TimeCell);
}

void TestOtherWriters::ownNumberFormats()
{
    QFETCH(bool, xlsx);
    QFETCH(int, id);
    QFETCH(QString, code);
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(int, kind);
    std::unique_ptr<Workbook> book;
    if (xlsx) {
        QByteArray numFmt;
        if (!code.isEmpty())
            numFmt = "<numFmt numFmtId=\"" + QByteArray::number(id) + "\" formatCode=\"" +
                     code.toHtmlEscaped().toUtf8() + "\"/>";
        book = loadXlsx("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>" + QByteArray::number(value, 'g', 17) +
                            "</v></c></row>",
                        xlsxStyles(numFmt, id));
    } else {
        QByteArray globals = font(QStringLiteral("Arial"), 200);
        if (!code.isEmpty())
            globals += record(biff::Format, le16(id) + biffString16(code));
        globals += xf(0, 0) + xf(0, id);
        book = loadXls(globals, record(biff::Number, cellHead(0, 0, 1) + f64(value)));
    }
    QCOMPARE(book->sheetCount(), 1);
    const CellDisplay d = displayCell(*book, *book->getSheet(0), 0, 0);
    QCOMPARE(d.text, text);
    QCOMPARE(int(d.kind), kind);
}

void TestOtherWriters::ownFormatsSurviveWriting_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("written as .xls") << QStringLiteral("xls");
    QTest::newRow("written as .xlsx") << QStringLiteral("xlsx");
}

// A workbook read from another suite and written again shows the same: its own ids below 164
// keep their codes in either format.
void TestOtherWriters::ownFormatsSurviveWriting()
{
    QFETCH(QString, suffix);
    const auto read = loadXlsx("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>45268</v></c></row>",
                               xlsxStyles("<numFmt numFmtId=\"100\" formatCode=\"yyyy-mm-dd\"/>", 100));
    QCOMPARE(displayCell(*read, *read->getSheet(0), 0, 0).text, QStringLiteral("2023-12-08"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("again.") + suffix);
    {
        auto again = Workbook::create(path);
        Sheet *s = again->addSheet(QStringLiteral("S"));
        Format *f = again->addFormat();
        f->setNumFormat(100);
        again->setNumFormatCode(100, read->numFormatCode(100));
        QVERIFY(s->writeNum(0, 0, read->getSheet(0)->readNum(0, 0), f));
        QVERIFY2(again->save(path), qPrintable(again->errorMessage()));
    }
    auto back = Workbook::create(path);
    QVERIFY2(back->load(path), qPrintable(back->errorMessage()));
    const CellDisplay d = displayCell(*back, *back->getSheet(0), 0, 0);
    QCOMPARE(d.text, QStringLiteral("2023-12-08"));
    QCOMPARE(int(d.kind), int(DateCell));
}

void TestOtherWriters::hiddenColumns_data()
{
    QTest::addColumn<bool>("xlsx");
    QTest::addColumn<QByteArray>("columns");   // <cols> children, or COLINFO (first, last, width, options)
    QTest::addColumn<QList<double>>("widths"); // of columns A to D
    QTest::newRow("xlsx hidden=1 with a width")
        << true << QByteArray("<col min=\"2\" max=\"3\" width=\"12.7109375\" hidden=\"1\"/>")
        << QList<double>{8.43, 0, 0, 8.43};
    QTest::newRow("xlsx hidden=true without a width")
        << true
        << QByteArray(
               "<col min=\"1\" max=\"1\" hidden=\"true\"/><col min=\"4\" max=\"4\" width=\"20.7109375\"/>")
        << QList<double>{0, 8.43, 8.43, 20};
    QTest::newRow("xlsx hidden=0 keeps the width")
        << true << QByteArray("<col min=\"2\" max=\"2\" width=\"12.7109375\" hidden=\"0\"/>")
        << QList<double>{8.43, 12, 8.43, 8.43};
    QTest::newRow("xls hidden flag") << false
                                     << QByteArray(le16(1) + le16(2) + le16(256 * 12) + le16(0) + le16(1))
                                     << QList<double>{8.43, 0, 0, 8.43};
    QTest::newRow("xls other flags keep the width")
        << false << QByteArray(le16(1) + le16(1) + le16(256 * 12) + le16(0) + le16(0x0100))
        << QList<double>{8.43, widthFromStored(12), 8.43, 8.43};
}

void TestOtherWriters::hiddenColumns()
{
    QFETCH(bool, xlsx);
    QFETCH(QByteArray, columns);
    QFETCH(QList<double>, widths);
    std::unique_ptr<Workbook> book;
    if (xlsx) {
        // <cols> stands before <sheetData>: the sheet is given whole here.
        QList<ZipPart> parts = xlsxParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
        parts[4].data.replace("<sheetData>", "<cols>" + columns + "</cols><sheetData>");
        book = std::make_unique<Workbook>(Workbook::Kind::Xlsx);
        QVERIFY2(book->loadFromData(zip(parts)), qPrintable(book->errorMessage()));
    } else {
        book = loadXls(font(QStringLiteral("Arial"), 200) + xf(0, 0),
                       record(biff::DefColWidth, le16(8)) + record(biff::ColInfo, columns) +
                           record(biff::Number, cellHead(0, 0) + f64(1)));
    }
    const Sheet *s = book->getSheet(0);
    QVERIFY(s);
    for (int c = 0; c < int(widths.size()); ++c)
        QVERIFY2(qFuzzyCompare(s->colWidth(c) + 1, widths.at(c) + 1),
                 qPrintable(QStringLiteral("column %1: %2").arg(c).arg(s->colWidth(c))));
}

void TestOtherWriters::errorsAndUnstoredFormulas_data()
{
    QTest::addColumn<bool>("xlsx");
    QTest::addColumn<QByteArray>("cells"); // the sheet's cells, all in row 1
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("origin");
    QTest::addColumn<int>("kind");
    const int error = int(CellOrigin::Error), formula_ = int(CellOrigin::Formula),
              value = int(CellOrigin::Value);
    const char *errors[] = {"#N/A", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#NULL!"};
    for (const char *e : errors)
        QTest::newRow(qPrintable(QStringLiteral("xlsx error %1").arg(QLatin1String(e))))
            << true << QByteArray("<c r=\"A1\" t=\"e\"><f>1/0</f><v>") + e + "</v></c>" << 0
            << QString::fromLatin1(e) << error << int(TextCell);
    QTest::newRow("xlsx formula without a value")
        << true << QByteArray("<c r=\"B1\"><f>C3*0.105</f></c>") << 1 << QStringLiteral("=C3*0.105")
        << formula_ << int(TextCell);
    QTest::newRow("xlsx formula with an empty value, as scripts write it")
        << true << QByteArray("<c r=\"B1\"><f>C3*0.105</f><v></v></c>") << 1 << QStringLiteral("=C3*0.105")
        << formula_ << int(TextCell);
    QTest::newRow("xlsx formula with a number keeps the number")
        << true << QByteArray("<c r=\"B1\"><f>C3*0.105</f><v>10.5</v></c>") << 1 << QStringLiteral("10.5")
        << value << int(NumberCell);
    QTest::newRow("xlsx formula with an empty text result is empty text")
        << true << QByteArray("<c r=\"B1\" t=\"str\"><f>\"\"</f><v></v></c>") << 1 << QString() << value
        << int(TextCell);
    QTest::newRow("xlsx shared formula, later cell")
        << true
        << QByteArray("<c r=\"A1\"><f t=\"shared\" ref=\"A1:C1\" si=\"0\">$D1+D$2*0.1</f></c>"
                      "<c r=\"B1\"><f t=\"shared\" si=\"0\"/></c><c r=\"C1\"><f t=\"shared\" si=\"0\"/></c>")
        << 2 << QStringLiteral("=$D1+F$2*0.1") << formula_ << int(TextCell);
    QTest::newRow("xlsx shared formula of an unknown index is left empty")
        << true << QByteArray("<c r=\"B1\"><f t=\"shared\" si=\"7\"/></c>") << 1 << QString() << value
        << int(TextCell);
    QTest::newRow("xls BOOLERR #DIV/0!") << false << record(biff::BoolErr, cellHead(0, 0) + "\x07\x01") << 0
                                         << QStringLiteral("#DIV/0!") << error << int(TextCell);
    QTest::newRow("xls BOOLERR #N/A") << false << record(biff::BoolErr, cellHead(0, 0) + "\x2A\x01") << 0
                                      << QStringLiteral("#N/A") << error << int(TextCell);
    QTest::newRow("xls BOOLERR unknown code shows #N/A")
        << false << record(biff::BoolErr, cellHead(0, 0) + "\x63\x01") << 0 << QStringLiteral("#N/A") << error
        << int(TextCell);
    QTest::newRow("xls BOOLERR boolean stays a boolean")
        << false << record(biff::BoolErr, cellHead(0, 0) + QByteArray("\x01\x00", 2)) << 0
        << QStringLiteral("True") << value << int(TextCell);
    QTest::newRow("xls formula with an error result") << false << formula(0, 1, specialResult(2, 0x17)) << 1
                                                      << QStringLiteral("#REF!") << error << int(TextCell);
    QTest::newRow("xls formula with #NAME?") << false << formula(0, 1, specialResult(2, 0x1D)) << 1
                                             << QStringLiteral("#NAME?") << error << int(TextCell);
    QTest::newRow("xls formula with a number result")
        << false << formula(0, 1, f64(3.5)) << 1 << QStringLiteral("3.5") << value << int(NumberCell);
}

void TestOtherWriters::errorsAndUnstoredFormulas()
{
    QFETCH(bool, xlsx);
    QFETCH(QByteArray, cells);
    QFETCH(int, col);
    QFETCH(QString, text);
    QFETCH(int, origin);
    QFETCH(int, kind);
    const auto book = xlsx ? loadXlsx("<row r=\"1\">" + cells + "</row>")
                           : loadXls(font(QStringLiteral("Arial"), 200) + xf(0, 0), cells);
    const Sheet *s = book->getSheet(0);
    QVERIFY(s);
    QCOMPARE(int(s->cellOrigin(0, col)), origin);
    const CellDisplay d = displayCell(*book, *s, 0, col);
    QCOMPARE(d.text, text);
    QCOMPARE(int(d.kind), kind);
    if (origin != int(CellOrigin::Value)) {
        // Nothing may take them for a number: they are text, read back as such.
        QCOMPARE(s->cellType(0, col), CellType::String);
        QCOMPARE(s->readStr(0, col), text);
        QCOMPARE(s->readNum(0, col), 0.0);
    }
}

void TestOtherWriters::shiftFormula_data()
{
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<QString>("shifted");
    auto row = [](const char *name, const char *f, int r, int c, const char *out) {
        QTest::newRow(name) << QString::fromUtf8(f) << r << c << QString::fromUtf8(out);
    };
    row("one row down", "C3*0.105", 1, 0, "C4*0.105");
    row("absolute parts stay", "$C$3+C$3+$C3", 2, 2, "$C$3+E$3+$C5");
    row("range", "SUM(A1:B2)", 1, 1, "SUM(B2:C3)");
    row("text in quotes stays", "\"A1\"&A1", 1, 0, "\"A1\"&A2");
    row("doubled quote inside text", "\"say \"\"A1\"\"\"&A1", 1, 0, "\"say \"\"A1\"\"\"&A2");
    row("function that looks like a reference", "LOG10(A1)", 1, 0, "LOG10(A2)");
    row("sheet name stays, its reference moves", "Sheet1!A1+'工资 A1'!B2", 1, 0, "Sheet1!A2+'工资 A1'!B3");
    row("number with exponent", "1E+5*A1", 1, 0, "1E+5*A2");
    row("lower-case reference", "c3*2", 0, 1, "D3*2");
    row("moved above the first row", "A1", -1, 0, "#REF!");
    row("moved past the last column", "XFD1", 0, 1, "#REF!");
    row("name that is no reference", "rate*ABCD1", 1, 0, "rate*ABCD1");
    row("Chinese name", "工资+A1", 1, 0, "工资+A2");
    row("unclosed quote ends the text", "\"A1", 1, 0, "\"A1");
}

void TestOtherWriters::shiftFormula()
{
    QFETCH(QString, formula);
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(QString, shifted);
    QCOMPARE(::shiftFormula(formula, rows, cols), shifted);
}

void TestOtherWriters::mergesPastTheCapWarn_data()
{
    QTest::addColumn<bool>("xlsx");
    QTest::addColumn<int>("merges");
    QTest::addColumn<int>("kept");
    QTest::addColumn<bool>("warned");
    const int cap = int(kMaxMergesRead);
    QTest::newRow("xlsx below the cap") << true << 100 << 100 << false;
    QTest::newRow("xlsx exactly the cap") << true << cap << cap << false;
    QTest::newRow("xlsx past the cap") << true << cap + 5000 << cap << true;
    QTest::newRow("xls below the cap") << false << 100 << 100 << false;
    QTest::newRow("xls past the cap") << false << cap + 5000 << cap << true;
}

void TestOtherWriters::mergesPastTheCapWarn()
{
    QFETCH(bool, xlsx);
    QFETCH(int, merges);
    QFETCH(int, kept);
    QFETCH(bool, warned);
    // Two-cell merges side by side, 100 to a row: none overlaps another.
    std::unique_ptr<Workbook> book;
    if (xlsx) {
        QByteArray list = "<mergeCells count=\"" + QByteArray::number(merges) + "\">";
        for (int i = 0; i < merges; ++i) {
            const int row = i / 100 + 1;
            const int col = (i % 100) * 2;
            const QByteArray a = columnLetters(col).toLatin1() + QByteArray::number(row);
            const QByteArray b = columnLetters(col + 1).toLatin1() + QByteArray::number(row);
            list += "<mergeCell ref=\"" + a + ":" + b + "\"/>";
        }
        list += "</mergeCells>";
        book = loadXlsx("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>", {}, list);
    } else {
        // .xls columns end at IV: 100 merges to a row fit, 1,000 to a record.
        QByteArray cells = record(biff::Number, cellHead(0, 0) + f64(1));
        for (int first = 0; first < merges; first += 1000) {
            const int n = std::min(1000, merges - first);
            QByteArray data = le16(n);
            for (int i = first; i < first + n; ++i)
                data += le16(i / 100) + le16(i / 100) + le16((i % 100) * 2) + le16((i % 100) * 2 + 1);
            cells += record(biff::MergedCells, data);
        }
        book = loadXls(font(QStringLiteral("Arial"), 200) + xf(0, 0), cells);
    }
    QCOMPARE(book->sheetCount(), 1);
    QCOMPARE(int(book->getSheet(0)->merges().size()), kept);
    QCOMPARE(book->loadWarnings().contains(mergesCappedWarning()), warned);
    QVERIFY(book->loadWarnings().size() <= 1); // said once, however many were left out
}

void TestOtherWriters::stringSplitInsideACharacter_data()
{
    // A formula's text result in a STRING record and its CONTINUE records.
    QTest::addColumn<QByteArray>("records");
    QTest::addColumn<QString>("text");
    const QByteArray head = le16(4) + QByteArray(1, '\1');
    // 工资合计: 5DE5 8D44 5408 8BA1, little-endian.
    const QByteArray chars = QByteArray("\xE5\x5D\x44\x8D\x08\x54\xA1\x8B", 8);
    QTest::newRow("split between characters, with a flags byte")
        << QByteArray(record(biff::String, head + chars.left(4)) +
                      record(biff::Continue, QByteArray(1, '\1') + chars.mid(4)))
        << QStringLiteral("工资合计");
    QTest::newRow("split inside a character, no flags byte")
        << QByteArray(record(biff::String, head + chars.left(3)) + record(biff::Continue, chars.mid(3)))
        << QStringLiteral("工资合计");
    QTest::newRow("split twice inside characters")
        << QByteArray(record(biff::String, head + chars.left(1)) + record(biff::Continue, chars.mid(1, 4)) +
                      record(biff::Continue, chars.mid(5)))
        << QStringLiteral("工资合计");
    QTest::newRow("continuation switching to 8-bit")
        << QByteArray(record(biff::String, head + chars.left(4)) +
                      record(biff::Continue, QByteArray(1, '\0') + "ab"))
        << QStringLiteral("工资ab");
    QTest::newRow("cut off after half a character keeps what came before")
        << QByteArray(record(biff::String, head + chars.left(5))) << QStringLiteral("工资");
    QTest::newRow("cut off at a record's end keeps the whole characters")
        << QByteArray(record(biff::String, head + chars.left(6))) << QStringLiteral("工资合");
}

void TestOtherWriters::stringSplitInsideACharacter()
{
    QFETCH(QByteArray, records);
    QFETCH(QString, text);
    const auto book =
        loadXls(font(QStringLiteral("Arial"), 200) + xf(0, 0), formula(0, 0, specialResult(0, 0)) + records);
    const Sheet *s = book->getSheet(0);
    QVERIFY(s);
    QCOMPARE(s->cellType(0, 0), CellType::String);
    QCOMPARE(s->readStr(0, 0), text);
}

void TestOtherWriters::normalStyleFont_data()
{
    QTest::addColumn<bool>("xlsx");
    QTest::addColumn<QByteArray>("styles"); // .xlsx styles part, or the .xls FONT records
    QTest::addColumn<QString>("family");
    QTest::addColumn<double>("size");
    QTest::newRow("xlsx first font")
        << true
        << QByteArray(
               "<styleSheet><fonts><font><sz val=\"10\"/><name val=\"Liberation Sans\"/></font></fonts>"
               "<cellXfs><xf fontId=\"0\"/></cellXfs></styleSheet>")
        << QStringLiteral("Liberation Sans") << 10.0;
    QTest::newRow("xlsx the normal style names its font")
        << true
        << QByteArray("<styleSheet><fonts><font><sz val=\"9\"/><name val=\"Arial\"/></font>"
                      "<font><sz val=\"12\"/><name val=\"宋体\"/></font></fonts>"
                      "<cellStyleXfs><xf fontId=\"1\"/></cellStyleXfs><cellXfs><xf "
                      "fontId=\"0\"/></cellXfs></styleSheet>")
        << QStringLiteral("宋体") << 12.0;
    QTest::newRow("xlsx without styles keeps Calibri 11")
        << true << QByteArray() << QStringLiteral("Calibri") << 11.0;
    QTest::newRow("xls first font") << false << QByteArray(font(QStringLiteral("宋体"), 240))
                                    << QStringLiteral("宋体") << 12.0;
    QTest::newRow("xls without fonts keeps Arial 10")
        << false << QByteArray() << QStringLiteral("Arial") << 10.0;
}

void TestOtherWriters::normalStyleFont()
{
    QFETCH(bool, xlsx);
    QFETCH(QByteArray, styles);
    QFETCH(QString, family);
    QFETCH(double, size);
    const auto book = xlsx ? loadXlsx("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>", styles)
                           : loadXls(styles, record(biff::Number, cellHead(0, 0, 99) + f64(1)));
    QCOMPARE(book->sheetCount(), 1);
    QVERIFY(!book->getSheet(0)->cellFormat(0, 0));
    QCOMPARE(book->defaultFont()->name(), family);
    QCOMPARE(book->defaultFont()->size(), size);
}

QTEST_GUILESS_MAIN(TestOtherWriters)
#include "tst_otherwriters.moc"
