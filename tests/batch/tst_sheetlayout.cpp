// The result-sheet writer: amount texts become numbers, texts stay texts, the .xls limits are
// checked before anything is written, and a failed save never touches an existing file.
#include "batch/sheetlayout.h"
#include "engine/amount.h"
#include "excel/workbook.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

class TestSheetLayout : public QObject
{
    Q_OBJECT

private slots:
    void amountText_data();
    void amountText();
    void amountTextAsTheGeneralReading_data();
    void amountTextAsTheGeneralReading();
    void fileName_data();
    void fileName();
    void writtenBack_data();
    void writtenBack();
    void xlsLimits_data();
    void xlsLimits();
    void longTextCut();
    void columnWidths_data();
    void columnWidths();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
};

namespace {

SheetCell cell(const QString &text, bool numeric = false, SheetCellStyle style = SheetCellStyle::BodyRight,
               int span = 1)
{
    SheetCell c;
    c.present = true;
    c.text = text;
    c.numeric = numeric;
    c.style = style;
    c.colSpan = span;
    return c;
}

// Two people and a totals row under a three-column group heading.
SheetLayout sample(const QString &title)
{
    SheetLayout l;
    l.title = title;
    l.titleSpan = 3;
    l.headings.push_back({{cell(QStringLiteral("小计"), false, SheetCellStyle::Heading, 3)}, false});
    l.headings.push_back(
        {{cell(QStringLiteral("姓名")), cell(QStringLiteral("应发数")), cell(QStringLiteral("税率"))},
         false});
    l.rows.push_back({{cell(QStringLiteral("张三"), false, SheetCellStyle::BodyLeft),
                       cell(QStringLiteral("12,345.6"), true), cell(QStringLiteral("20%"), false)},
                      false});
    l.rows.push_back({{cell(QStringLiteral("001"), false, SheetCellStyle::BodyLeft),
                       cell(QStringLiteral("-5"), true), SheetCell()},
                      false});
    l.rows.push_back({{cell(QStringLiteral("总计"), false, SheetCellStyle::BodyCenter),
                       cell(QStringLiteral("12,340.6"), true)},
                      true});
    l.columnWidths = {110, 110, 40};
    return l;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

void TestSheetLayout::amountText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("yuan");
    QTest::newRow("grouped with one decimal") << QStringLiteral("1,234.5") << true << 1234.5;
    QTest::newRow("negative whole") << QStringLiteral("-20") << true << -20.0;
    QTest::newRow("fen only") << QStringLiteral("0.05") << true << 0.05;
    QTest::newRow("ungrouped") << QStringLiteral("12345") << true << 12345.0;
    QTest::newRow("rate stays text") << QStringLiteral("20%") << false << 0.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("group of four") << QStringLiteral("1,2345") << false << 0.0;
    QTest::newRow("three decimals") << QStringLiteral("1.234") << false << 0.0;
    QTest::newRow("dot without fraction") << QStringLiteral("12.") << false << 0.0;
    QTest::newRow("lone minus") << QStringLiteral("-") << false << 0.0;
    QTest::newRow("leading comma") << QStringLiteral(",123") << false << 0.0;
}

void TestSheetLayout::amountText()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(double, yuan);
    double v = 0;
    QCOMPARE(amountFromText(text, &v), ok);
    if (ok)
        QCOMPARE(v, yuan);
}

namespace {

// What an amount text means read the general way: the pattern as a whole, then the digits without
// their separators handed to Qt's own number reading.
bool generalAmount(const QString &text, double *yuan)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(-?)((?:\\d{1,3}(?:,\\d{3})+)|\\d+)(\\.\\d{1,2})?$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return false;
    QString whole = m.captured(2);
    whole.remove(u',');
    if (whole.size() > 15)
        return false;
    bool ok = false;
    const double v = (whole + m.captured(3)).toDouble(&ok);
    if (!ok)
        return false;
    *yuan = m.captured(1).isEmpty() ? v : -v;
    return true;
}

} // namespace

void TestSheetLayout::amountTextAsTheGeneralReading_data()
{
    QTest::addColumn<QString>("text");
    const auto row = [](const char *name, const QString &text) { QTest::newRow(name) << text; };
    row("grouped with two decimals", QStringLiteral("1,234.50"));
    row("negative zero with decimals", QStringLiteral("-0.00"));
    row("negative zero", QStringLiteral("-0"));
    row("leading zeros", QStringLiteral("007"));
    row("zero before a group", QStringLiteral("0,123"));
    row("Arabic-Indic digits", QStringLiteral("١٢"));
    row("full-width digits", QStringLiteral("１２"));
    row("fifteen digits with fen", QStringLiteral("999999999999999.99"));
    row("fifteen grouped digits with fen", QStringLiteral("999,999,999,999,999.99"));
    row("sixteen digits", QStringLiteral("1234567890123456"));
    row("fen beyond 2^53", QStringLiteral("90071992547409.93"));
    row("fen just below 2^53", QStringLiteral("90071992547409.91"));
    row("ungrouped fifteen digits", QStringLiteral("123456789012345"));
    row("one decimal", QStringLiteral("0.1"));
    row("fen", QStringLiteral("0.01"));
    row("trailing zero fen", QStringLiteral("100.10"));
    row("empty", QString());
    row("blank", QStringLiteral(" "));
    row("leading blank", QStringLiteral(" 1"));
    row("trailing blank", QStringLiteral("1,234.5 "));
    row("plus sign", QStringLiteral("+1"));
    row("double minus", QStringLiteral("--1"));
    row("exponent", QStringLiteral("1e5"));
    row("two points", QStringLiteral("1.2.3"));
    row("point first", QStringLiteral(".5"));
    row("minus point", QStringLiteral("-.5"));
    row("lone comma", QStringLiteral(","));
    row("trailing comma", QStringLiteral("1,234,"));
    row("double comma", QStringLiteral("1,,234"));
    row("long first group", QStringLiteral("12345,678"));
    row("short later group", QStringLiteral("1,234,56"));
    row("comma in the fraction", QStringLiteral("1.2,3"));
    row("percent", QStringLiteral("1.5%"));
    row("mathematical digit one", QStringLiteral("𝟏"));
    row("minus sign character", QStringLiteral("−5"));
    // Texts made of the characters an amount has, in any order.
    QRandomGenerator random(1209);
    const QString alphabet = QStringLiteral("0123456789,,,..-");
    for (int i = 0; i < 400; ++i) {
        QString text;
        const int length = 1 + int(random.bounded(22));
        for (int k = 0; k < length; ++k)
            text += alphabet.at(random.bounded(int(alphabet.size())));
        QTest::newRow(qPrintable(QStringLiteral("random %1: %2").arg(i).arg(text))) << text;
    }
    // Well-formed amounts of every length, grouped and not.
    for (int i = 0; i < 200; ++i) {
        const qint64 fen = qint64(random.generateDouble() * std::pow(10.0, random.bounded(1, 18)));
        QString text = QString::number(fen / 100);
        if (i % 2)
            text = groupDigits(text);
        if (i % 3)
            text += u'.' + QString::number(fen % 100).rightJustified(2, u'0').left(i % 3 == 1 ? 2 : 1);
        if (i % 5 == 0)
            text.prepend(u'-');
        QTest::newRow(qPrintable(QStringLiteral("amount %1: %2").arg(i).arg(text))) << text;
    }
}

void TestSheetLayout::amountTextAsTheGeneralReading()
{
    QFETCH(QString, text);
    double fast = 1, general = 2;
    const bool expected = generalAmount(text, &general);
    QCOMPARE(amountFromText(text, &fast), expected);
    if (expected) {
        // Bit for bit: the sheet's number must not differ in its last place, nor in its sign.
        QCOMPARE(std::signbit(fast), std::signbit(general));
        QVERIFY2(fast == general,
                 qPrintable(QStringLiteral("%1 vs %2").arg(fast, 0, 'g', 17).arg(general, 0, 'g', 17)));
    }
}

void TestSheetLayout::fileName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("used");
    QTest::newRow("no suffix") << QStringLiteral("/a/结果") << QStringLiteral("/a/结果.xlsx");
    QTest::newRow("xls kept") << QStringLiteral("/a/r.xls") << QStringLiteral("/a/r.xls");
    QTest::newRow("upper XLSX kept") << QStringLiteral("/a/r.XLSX") << QStringLiteral("/a/r.XLSX");
    QTest::newRow("other suffix") << QStringLiteral("/a/r.csv") << QStringLiteral("/a/r.csv.xlsx");
}

void TestSheetLayout::fileName()
{
    QFETCH(QString, typed);
    QFETCH(QString, used);
    QCOMPARE(exportFileName(typed), used);
}

void TestSheetLayout::writtenBack_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("title");
    QTest::newRow("xls with title") << QStringLiteral("xls") << QStringLiteral("工资");
    QTest::newRow("xlsx with title") << QStringLiteral("xlsx") << QStringLiteral("工资");
    QTest::newRow("xls without title") << QStringLiteral("xls") << QString();
    QTest::newRow("xlsx without title") << QStringLiteral("xlsx") << QString();
}

void TestSheetLayout::writtenBack()
{
    QFETCH(QString, suffix);
    QFETCH(QString, title);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.") + suffix);
    QString error;
    QVERIFY2(writeSheetLayout(sample(title), path, &error), qPrintable(error));

    Workbook book(suffix == u"xlsx" ? Workbook::Kind::Xlsx : Workbook::Kind::Xls);
    QVERIFY2(book.load(path), qPrintable(book.errorMessage()));
    const Sheet *s = book.getSheet(0);
    QCOMPARE(s->name(), QStringLiteral("lumo"));
    const int h = title.isEmpty() ? 0 : 3;
    if (!title.isEmpty()) {
        QCOMPARE(s->readStr(1, 0), title);
        QCOMPARE(s->cellFormat(1, 0)->font()->size(), 20.0);
    }
    QCOMPARE(s->readStr(h, 0), QStringLiteral("小计"));
    int fr, lr, fc, lc;
    QVERIFY(s->getMerge(h, 1, &fr, &lr, &fc, &lc));
    QCOMPARE(QList<int>({fr, lr, fc, lc}), QList<int>({h, h, 0, 2}));
    QCOMPARE(s->cellFormat(h, 0)->patternForegroundColor(), 23);
    QVERIFY(s->cellFormat(h + 1, 1)->font()->bold());
    // Amounts are numbers with the grouped two-decimal format; texts stay texts.
    QCOMPARE(s->cellType(h + 2, 1), CellType::Number);
    QCOMPARE(s->readNum(h + 2, 1), 12345.6);
    QCOMPARE(s->cellFormat(h + 2, 1)->numFormat(), 4);
    QCOMPARE(s->cellType(h + 2, 2), CellType::String);
    QCOMPARE(s->readStr(h + 2, 2), QStringLiteral("20%"));
    QCOMPARE(s->cellType(h + 3, 0), CellType::String);
    QCOMPARE(s->readStr(h + 3, 0), QStringLiteral("001"));
    QCOMPARE(s->readNum(h + 3, 1), -5.0);
    QCOMPARE(s->cellFormat(h + 3, 2)->borderLeft(), int(CellBorder::Thin));
    // The totals row: fill 54 and bold, its missing cell included.
    QCOMPARE(s->cellFormat(h + 4, 1)->patternForegroundColor(), 54);
    QCOMPARE(s->cellFormat(h + 4, 2)->patternForegroundColor(), 54);
    QVERIFY(s->cellFormat(h + 4, 1)->font()->bold());
    QCOMPARE(s->cellFormat(h + 4, 0)->alignH(), int(CellAlignH::Right));
    QCOMPARE(s->cellFormat(h + 2, 0)->alignH(), int(CellAlignH::Left));
    QCOMPARE(s->cellFormat(h + 2, 0)->font()->name(), QStringLiteral("微软雅黑"));
    // Widths: the table's own where that is wider than the texts, else wide enough for them (the
    // 40-pixel rate column fits its bold heading).
    QCOMPARE(s->colWidth(0), 11.0);
    QVERIFY(s->colWidth(2) > 4.0);
    QCOMPARE(s->colWidth(2), sheetColumnWidths(sample(title))[2]);
}

void TestSheetLayout::xlsLimits_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("dataRows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("fits");
    QTest::newRow("xls last row fits") << QStringLiteral("xls") << 65536 - 5 << 3 << true;
    QTest::newRow("xls one row over") << QStringLiteral("xls") << 65536 - 4 << 3 << false;
    QTest::newRow("xls 256 columns") << QStringLiteral("xls") << 1 << 256 << true;
    QTest::newRow("xls 257 columns") << QStringLiteral("xls") << 1 << 257 << false;
    QTest::newRow("xlsx takes more rows") << QStringLiteral("xlsx") << 70000 << 300 << true;
}

void TestSheetLayout::xlsLimits()
{
    QFETCH(QString, suffix);
    QFETCH(int, dataRows);
    QFETCH(int, columns);
    QFETCH(bool, fits);
    SheetLayout l = sample(QStringLiteral("t")); // 3 title rows and 2 heading rows
    l.rows.assign(size_t(dataRows), SheetRow());
    l.columnWidths.assign(size_t(columns), 10);
    QString error;
    QCOMPARE(sheetLayoutFits(l, QStringLiteral("/x/r.") + suffix, &error), fits);
    if (!fits) {
        QVERIFY2(error.contains(QStringLiteral(".xlsx")), qPrintable(error));
        // Refused before anything is written: no file appears.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("r.") + suffix);
        QVERIFY(!writeSheetLayout(l, path, &error));
        QVERIFY(!QFile::exists(path));
    }
}

void TestSheetLayout::longTextCut()
{
    SheetLayout l;
    l.rows.push_back({{cell(QString(40000, u'税'), false, SheetCellStyle::BodyLeft)}, false});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.xlsx"));
    QString error;
    QVERIFY2(writeSheetLayout(l, path, &error), qPrintable(error));
    Workbook book(Workbook::Kind::Xlsx);
    QVERIFY(book.load(path));
    const QString text = book.getSheet(0)->readStr(0, 0);
    QCOMPARE(text.size(), kMaxCellTextLength);
    QVERIFY(text.endsWith(sheetCellMarker()));
}

void TestSheetLayout::columnWidths_data()
{
    // One column, 40 pixels wide in the table (4 units), holding one cell; the written width must
    // hold `atLeast` units and stay within `atMost`.
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<int>("kind"); // 0 body, 1 heading, 2 totals row
    QTest::addColumn<int>("tableWidth");
    QTest::addColumn<double>("atLeast");
    QTest::addColumn<double>("atMost");
    QTest::newRow("bold total of millions shows, no ###")
        << QStringLiteral("12,345,678.9") << true << 2 << 40 << 13 * 1.2 << 22.0;
    QTest::newRow("amount without decimals gets room for .00")
        << QStringLiteral("1234") << true << 0 << 40 << 8.0 << 12.0;
    QTest::newRow("negative amount") << QStringLiteral("-1,234.5") << true << 0 << 40 << 9.0 << 13.0;
    QTest::newRow("four-digit code is not cut")
        << QStringLiteral("000123") << false << 0 << 40 << 6.0 << 10.0;
    QTest::newRow("CJK name takes two units a character")
        << QStringLiteral("欧阳娜娜") << false << 0 << 40 << 8.0 << 12.0;
    QTest::newRow("bold CJK heading") << QStringLiteral("月应发工资") << false << 1 << 40 << 10 * 1.2 << 16.0;
    QTest::newRow("wider table keeps its width") << QStringLiteral("1") << true << 0 << 300 << 30.0 << 30.0;
    QTest::newRow("several lines take the longest")
        << QStringLiteral("ab\nabcdefghij\nabc") << false << 0 << 40 << 10.0 << 14.0;
    QTest::newRow("process text widened at most to 60")
        << QString(500, u'税') << false << 0 << 40 << 60.0 << 60.0;
    QTest::newRow("huge table width capped at 255")
        << QStringLiteral("x") << false << 0 << 100000 << 255.0 << 255.0;
    QTest::newRow("emoji counts once per character")
        << QStringLiteral("😀😀😀") << false << 0 << 10 << 6.0 << 9.0;
}

void TestSheetLayout::columnWidths()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(int, kind);
    QFETCH(int, tableWidth);
    QFETCH(double, atLeast);
    QFETCH(double, atMost);
    SheetLayout l;
    SheetRow row{{cell(text, numeric, kind == 1 ? SheetCellStyle::Heading : SheetCellStyle::BodyRight)},
                 kind == 2};
    (kind == 1 ? l.headings : l.rows).push_back(row);
    // A heading merged over two columns and the title never widen a column.
    l.headings.push_back({{cell(QString(80, u'标'), false, SheetCellStyle::Heading, 2)}, false});
    l.title = QString(80, u'题');
    l.titleSpan = 2;
    l.columnWidths = {tableWidth, 10};
    const std::vector<double> widths = sheetColumnWidths(l);
    QCOMPARE(widths.size(), size_t(2));
    QVERIFY2(widths[0] >= atLeast && widths[0] <= atMost, qPrintable(QString::number(widths[0])));
    QCOMPARE(widths[1], 1.0);
}

void TestSheetLayout::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("read-only file") << QStringLiteral("file");
    QTest::newRow("read-only folder") << QStringLiteral("folder");
    QTest::newRow("too many rows for xls") << QStringLiteral("limits");
    // A name at the length limit leaves no room for the temporary file's longer name: the save
    // fails even for root, after the layout was built and the workbook made.
    QTest::newRow("no temporary file can be made") << QStringLiteral("name");
}

void TestSheetLayout::failedSaveKeepsOldFile()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    const QString path = dir.filePath(how == u"name" ? QString(251, u'a') + QStringLiteral(".xls")
                                                     : QStringLiteral("old.xls"));
    const QByteArray old("the user's own workbook");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    SheetLayout l = sample(QStringLiteral("t"));
    if (how == u"file")
        QFile::setPermissions(path, QFile::ReadOwner);
    else if (how == u"folder")
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    else
        l.rows.assign(70000, SheetRow());
    QString error;
    const bool written = writeSheetLayout(l, path, &error);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (written && how == u"folder")
        QSKIP("this user may write into read-only folders (root): the failure cannot be staged");
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left
}

QTEST_GUILESS_MAIN(TestSheetLayout)
#include "tst_sheetlayout.moc"
