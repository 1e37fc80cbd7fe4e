#include "engine/amount.h"
#include "excel/celldisplay.h"
#include "excel/workbook.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

class TestCellDisplay : public QObject
{
    Q_OBJECT

private slots:
    void numberText_data();
    void numberText();
    void fixedDecimalsAsTheSlowRule_data();
    void fixedDecimalsAsTheSlowRule();
    void groupDigits_data();
    void groupDigits();
    void dateUnpack_data();
    void dateUnpack();
    void cellKindsAndAlignment_data();
    void cellKindsAndAlignment();
    void fontComesWithTheFormat();
};

void TestCellDisplay::numberText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("numFormat");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    const QString none;
    auto row = [&](const char *name, double v, int id, const QString &code, const char *text, int kind,
                   bool date1904 = false) {
        QTest::newRow(name) << v << id << code << date1904 << QString::fromUtf8(text) << kind;
    };
    row("general 1234.5", 1234.5, 0, none, "1234.5", NumberCell);
    row("general 1200", 1200, 0, none, "1200", NumberCell);
    row("general 0.1+0.2 is 0.3", 0.1 + 0.2, 0, none, "0.3", NumberCell);
    row("general six decimals", 1.23456789, 0, none, "1.234568", NumberCell);
    row("general below six decimals is 0", 0.0000001, 0, none, "0", NumberCell);
    row("general tiny negative is 0, not -0", -0.0000001, 0, none, "0", NumberCell);
    row("general negative", -12.5, 0, none, "-12.5", NumberCell);
    row("format 1 half goes up", 2.5, 1, none, "3", NumberCell);
    row("format 1 negative half toward +inf", -2.5, 1, none, "-2", NumberCell);
    row("format 1 -2.6", -2.6, 1, none, "-3", NumberCell);
    row("format 1 small negative is 0, not -0", -0.4, 1, none, "0", NumberCell);
    row("format 1 largest double below a half is 0", 0.49999999999999994, 1, none, "0", NumberCell);
    row("format 1 odd whole number above 2^52 kept", 4503599627370497.0, 1, none, "4503599627370497",
        NumberCell);
    row("format 1 beyond 64-bit integers", 1e20, 1, none, "100000000000000000000", NumberCell);
    row("format 3 beyond 64-bit integers", -1e20, 3, none, "-100,000,000,000,000,000,000", NumberCell);
    row("format 2 two decimals", 3, 2, none, "3.00", NumberCell);
    row("format 2 2.675 as Excel shows it", 2.675, 2, none, "2.68", NumberCell);
    row("format 2 1.005 as Excel shows it", 1.005, 2, none, "1.01", NumberCell);
    row("format 2 tiny negative is 0.00", -0.001, 2, none, "0.00", NumberCell);
    row("format 3 minus 123456", -123456, 3, none, "-123,456", NumberCell);
    row("format 3 999 has no comma", 999, 3, none, "999", NumberCell);
    row("format 3 -999 no comma after sign", -999, 3, none, "-999", NumberCell);
    row("format 3 rounds first", 999.5, 3, none, "1,000", NumberCell);
    row("format 4 1234567.891", 1234567.891, 4, none, "1,234,567.89", NumberCell);
    row("format 4 negative", -1234.5, 4, none, "-1,234.50", NumberCell);
    row("format 5 keeps the sign", -1234, 5, none, "-1,234", NumberCell);
    row("format 6 positive stays positive", 1234, 6, none, "1,234", NumberCell);
    row("format 6 negative stays negative", -1234, 6, none, "-1,234", NumberCell);
    row("format 7", 1234.5, 7, none, "1,234.50", NumberCell);
    row("format 8 positive stays positive", 1234.5, 8, none, "1,234.50", NumberCell);
    row("format 9 two decimals of the raw value", 0.5, 9, none, "0.50", NumberCell);
    row("format 10 four decimals", 0.125, 10, none, "0.1250", NumberCell);
    row("format 10 large grouped", 12345.5, 10, none, "12,345.5000", NumberCell);
    row("other built-in: two decimals", 3.14159, 49, none, "3.14", NumberCell);
    row("format 14 2013-01-01", 41275, 14, none, "2013-01-01", DateCell);
    row("format 14 1900-02-28 is serial 59", 59, 14, none, "1900-02-28", DateCell);
    row("format 14 phantom 1900-02-29", 60, 14, none, "1900-02-29", DateCell);
    row("format 14 1900-03-01 is serial 61", 61, 14, none, "1900-03-01", DateCell);
    row("format 14 serial 1", 1, 14, none, "1900-01-01", DateCell);
    row("format 14 in the 1904 system", 39813, 14, none, "2013-01-01", DateCell, true);
    row("format 14 1904 serial 0", 0, 14, none, "1904-01-01", DateCell, true);
    row("format 15", 41275, 15, none, "2013-01-01", DateCell);
    row("format 16", 41275, 16, none, "1/1", DateCell);
    row("format 17", 41639, 17, none, "2013-12", DateCell);
    row("format 22", 41275.5, 22, none, "2013-01-01 12:00", DateTimeCell);
    row("format 22 morning without leading zero", 41275 + 8.5 / 24, 22, none, "2013-01-01 8:30",
        DateTimeCell);
    row("format 18 evening", 0.75, 18, none, "6:00 PM", TimeCell);
    row("format 18 midnight is 12 AM", 0, 18, none, "12:00 AM", TimeCell);
    row("format 19 noon", 0.5 + 1 / 86400.0, 19, none, "12:00:01 PM", TimeCell);
    row("format 20", 0.25, 20, none, "6:00", TimeCell);
    row("format 21", 0.25 + 61 / 86400.0, 21, none, "6:01:01", TimeCell);
    row("format 21 rounds to the millisecond, not down", 1 / 3.0, 21, none, "8:00:00", TimeCell);
    row("format 45", 125 / 86400.0, 45, none, "02:05", TimeCell);
    row("format 46", 0.25, 46, none, "06:00:00", TimeCell);
    row("format 46 counts the hours past a day", 1.25, 46, none, "30:00:00", TimeCell);
    row("format 46 rounds to the second", 1 / 3.0, 46, none, "08:00:00", TimeCell);
    row("format 46 before the epoch shows round(v)", -0.5, 46, none, "0", TimeCell);
    row("format 47 milliseconds", 1.5 / 86400.0, 47, none, "00:00:01.5", TimeCell);
    row("date before the epoch shows round(v)", -1.4, 14, none, "-1", DateCell);
    row("date past 9999 shows round(v)", 3e6, 14, none, "3000000", DateCell);
    row("custom yyyy-mm-dd", 41275, 164, QStringLiteral("yyyy-mm-dd"), "2013-01-01", DateCell);
    row("custom Chinese date", 41275, 176, QStringLiteral("yyyy\"年\"m\"月\"d\"日\""), "2013-01-01",
        DateCell);
    row("custom locale prefix, year and month", 41275, 177, QStringLiteral("[$-804]yyyy年m月"), "2013-1",
        DateCell);
    row("custom month and day", 41275, 165, QStringLiteral("m/d"), "1/1", DateCell);
    row("custom hh:mm is minutes, not months", 0.75, 166, QStringLiteral("hh:mm"), "18:00", TimeCell);
    row("custom mm:ss", 125 / 86400.0, 166, QStringLiteral("mm:ss"), "02:05", TimeCell);
    row("custom elapsed hours", 0.25, 167, QStringLiteral("[h]:mm:ss"), "06:00:00", TimeCell);
    // Elapsed-hour codes show as the built-in elapsed time, and stay time cells, not dates.
    row("custom elapsed hours and minutes", 8.5 / 24, 167, QStringLiteral("[h]:mm"), "08:30:00", TimeCell);
    row("custom elapsed two-digit hours", 8.5 / 24, 167, QStringLiteral("[hh]:mm"), "08:30:00", TimeCell);
    row("custom Chinese AM/PM", 14.5 / 24, 169, QStringLiteral("上午/下午h\"时\"mm\"分\""), "2:30 PM",
        TimeCell);
    row("custom tenths of seconds", 1.5 / 86400.0, 168, QStringLiteral("mm:ss.0"), "00:00:01.5", TimeCell);
    row("custom with AM/PM", 0.75, 169, QStringLiteral("h:mm AM/PM"), "6:00 PM", TimeCell);
    row("custom date and time", 41275.5, 170, QStringLiteral("yyyy/m/d h:mm"), "2013-01-01 12:00",
        DateTimeCell);
    row("custom number stays a number", 0.891, 171, QStringLiteral("0.000"), "0.89", NumberCell);
    row("custom m in quotes is not a month", 5, 172, QStringLiteral("#,##0\"m\""), "5.00", NumberCell);
    row("custom colour section is not a date", 5, 173, QStringLiteral("[Red]0.00;[Blue]-0.00"), "5.00",
        NumberCell);
    row("custom General is general", 1234.5, 164, QStringLiteral("General"), "1234.5", NumberCell);
    row("custom #,##0.00 is format 4", 1234.5, 180, QStringLiteral("#,##0.00"), "1,234.50", NumberCell);
    row("custom number id 202 is not a date", 41275, 202, QStringLiteral("0.0"), "41275.00", NumberCell);
    row("Chinese built-in 31 is a date", 41275, 31, none, "2013-01-01", DateCell);
    // Ids below 164 that the workbook defines itself: its code decides.
    row("own id 100 with a date code", 41275, 100, QStringLiteral("yyyy-mm-dd"), "2013-01-01", DateCell);
    row("own id 101 with a grouped code", 1234.5, 101, QStringLiteral("#,##0.00"), "1,234.50", NumberCell);
    row("id 14 with a number code is no date", 41275, 14, QStringLiteral("0.00"), "41275.00", NumberCell);
    row("id 20 with a custom number code is no time", 0.25, 20, QStringLiteral("0.0"), "0.25", NumberCell);
    row("id 5 with Excel's currency code keeps its grouping", 1234.4, 5,
        QStringLiteral("\"¥\"#,##0;\"¥\"\\-#,##0"), "1,234", NumberCell);
    row("Chinese built-in 50 with a number code is no date", 41275, 50, QStringLiteral("0.000"), "41275.00",
        NumberCell);
    row("own id 60 with elapsed hours", 2.5, 60, QStringLiteral("[h]:mm:ss"), "60:00:00", TimeCell);
    row("Chinese built-in 27 is year and month", 41275, 27, none, "2013-1", DateCell);
    row("Chinese built-in 32 is a time", 0.75, 32, none, "18:00", TimeCell);
}

void TestCellDisplay::numberText()
{
    QFETCH(double, value);
    QFETCH(int, numFormat);
    QFETCH(QString, code);
    QFETCH(bool, date1904);
    QFETCH(QString, text);
    QFETCH(int, kind);
    CellKind k = TextCell;
    QCOMPARE(::numberText(value, numFormat, code, date1904, &k), text);
    QCOMPARE(int(k), kind);
}

namespace {

// The display's decimal rule written out the plain way, one step at a time on texts: round to the
// 15 significant digits of the scientific text, then half away from zero to `decimals` places.
// The display itself takes shortcuts, which must never show a different text.
QString slowFixed(double value, int decimals)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    const QString sci = QString::number(std::fabs(value), 'e', 14);
    const qsizetype ePos = sci.indexOf(u'e');
    QString digits = sci.left(ePos);
    digits.remove(u'.');
    const int keep = sci.mid(ePos + 1).toInt() + 1 + decimals;
    QString kept;
    bool roundUp = false;
    if (keep >= digits.size()) {
        kept = digits + QString(keep - digits.size(), u'0');
    } else if (keep >= 0) {
        kept = digits.left(keep);
        roundUp = digits.at(keep) >= u'5';
    }
    if (roundUp) {
        qsizetype i = kept.size() - 1;
        while (i >= 0 && kept.at(i) == u'9')
            kept[i--] = u'0';
        if (i < 0)
            kept.prepend(u'1');
        else
            kept[i] = QChar(kept.at(i).unicode() + 1);
    }
    if (kept.size() < decimals + 1)
        kept.prepend(QString(decimals + 1 - kept.size(), u'0'));
    while (kept.size() > decimals + 1 && kept.front() == u'0')
        kept.remove(0, 1);
    QString out = decimals > 0 ? kept.left(kept.size() - decimals) + u'.' + kept.right(decimals) : kept;
    const bool zero = kept.count(u'0') == kept.size();
    if (value < 0 && !zero)
        out.prepend(u'-');
    return out;
}

QString slowGeneral(double value)
{
    QString s = slowFixed(value, 6);
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(u'.'))
        s.chop(1);
    return s;
}

} // namespace

void TestCellDisplay::fixedDecimalsAsTheSlowRule_data()
{
    QTest::addColumn<double>("value");
    const auto row = [](const char *name, double v) { QTest::newRow(name) << v; };
    row("zero", 0.0);
    row("negative zero", -0.0);
    row("2.675, a half in 15 digits", 2.675);
    row("-2.675", -2.675);
    row("1.005", 1.005);
    row("0.045", 0.045);
    row("99999.995 carries into a new digit", 99999.995);
    row("0.1+0.2 needs 17 digits", 0.1 + 0.2);
    row("1e15 + 0.5, a tie at the 16th digit", 1e15 + 0.5);
    row("2^53 + 2", 9007199254740994.0);
    row("123456789.125", 123456789.125);
    row("half a millionth", 0.0000005);
    row("just below half a millionth", 0.00000049999999);
    row("tiny", 1e-300);
    row("smallest subnormal", std::numeric_limits<double>::denorm_min());
    row("huge", 1e300);
    row("largest double", std::numeric_limits<double>::max());
    row("negative huge", -1.7976931348623157e308);
    row("one third", 1.0 / 3);
    row("two thirds negative", -2.0 / 3);
    row("9.995", 9.995);
    row("0.995", 0.995);
    row("0.00005, a half at four decimals", 0.00005);
    row("wage 12345.67", 12345.67);
    row("infinity", std::numeric_limits<double>::infinity());
    row("not a number", std::numeric_limits<double>::quiet_NaN());
    // Amounts as sheets hold them: fen values, thirds, and values off by one unit in the last place.
    QRandomGenerator random(20261209);
    for (int i = 0; i < 300; ++i) {
        double v = 0;
        switch (i % 4) {
        case 0:
            v = double(random.bounded(100000000)) / 100;
            break;
        case 1:
            v = std::nextafter(double(random.bounded(100000)) / 1000 + 0.0005, 0.0);
            break;
        case 2:
            v = (random.generateDouble() - 0.5) * std::pow(10.0, random.bounded(-8, 20));
            break;
        default:
            v = double(random.bounded(1000000)) / 3;
            break;
        }
        QTest::newRow(qPrintable(QStringLiteral("random %1: %2").arg(i).arg(v, 0, 'g', 17))) << v;
    }
}

void TestCellDisplay::fixedDecimalsAsTheSlowRule()
{
    QFETCH(double, value);
    const QString none;
    // Each format class that shows fixed decimals: general, plain and grouped two decimals,
    // percent with four, and an unknown custom number format.
    QCOMPARE(::numberText(value, 0, none, false, nullptr), slowGeneral(value));
    QCOMPARE(::numberText(value, 2, none, false, nullptr), slowFixed(value, 2));
    QCOMPARE(::numberText(value, 4, none, false, nullptr), ::groupDigits(slowFixed(value, 2)));
    QCOMPARE(::numberText(value, 10, none, false, nullptr), ::groupDigits(slowFixed(value, 4)));
    QCOMPARE(::numberText(value, 170, QStringLiteral("0.000\"元\""), false, nullptr), slowFixed(value, 2));
    QCOMPARE(::numberText(value, 165, QStringLiteral("General"), false, nullptr), slowGeneral(value));
}

void TestCellDisplay::groupDigits_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("short") << QStringLiteral("12") << QStringLiteral("12");
    QTest::newRow("three") << QStringLiteral("123") << QStringLiteral("123");
    QTest::newRow("four") << QStringLiteral("1234") << QStringLiteral("1,234");
    QTest::newRow("seven with decimals") << QStringLiteral("1234567.891") << QStringLiteral("1,234,567.891");
    QTest::newRow("negative six") << QStringLiteral("-123456") << QStringLiteral("-123,456");
    QTest::newRow("negative three") << QStringLiteral("-123.45") << QStringLiteral("-123.45");
}

void TestCellDisplay::groupDigits()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(::groupDigits(in), out);
}

void TestCellDisplay::dateUnpack_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QList<int>>("parts");
    QTest::newRow("2013-01-01") << 41275.0 << false << true << QList<int>{2013, 1, 1, 0, 0, 0, 0};
    QTest::newRow("phantom leap day") << 60.0 << false << true << QList<int>{1900, 2, 29, 0, 0, 0, 0};
    QTest::newRow("day zero") << 0.25 << false << true << QList<int>{1900, 1, 0, 6, 0, 0, 0};
    QTest::newRow("1904 epoch") << 0.0 << true << true << QList<int>{1904, 1, 1, 0, 0, 0, 0};
    QTest::newRow("last second of 9999")
        << 2958465.99999 << false << true << QList<int>{9999, 12, 31, 23, 59, 59, 136};
    QTest::newRow("rounding carries into the next day")
        << 41275.9999999999 << false << true << QList<int>{2013, 1, 2, 0, 0, 0, 0};
    QTest::newRow("negative") << -0.5 << false << false << QList<int>{};
    QTest::newRow("year 10000") << 2958466.0 << false << false << QList<int>{};
    QTest::newRow("rounds up into year 10000") << 2958465.999999999 << false << false << QList<int>{};
    QTest::newRow("not a number") << qQNaN() << false << false << QList<int>{};
}

void TestCellDisplay::dateUnpack()
{
    QFETCH(double, value);
    QFETCH(bool, date1904);
    QFETCH(bool, ok);
    QFETCH(QList<int>, parts);
    DateParts p;
    QCOMPARE(Workbook::dateUnpack(value, date1904, &p), ok);
    if (ok)
        QCOMPARE((QList<int>{p.year, p.month, p.day, p.hour, p.minute, p.second, p.msec}), parts);
}

void TestCellDisplay::cellKindsAndAlignment_data()
{
    QTest::addColumn<int>("type"); // 0 empty, 1 number, 2 string, 3 boolean
    QTest::addColumn<bool>("formatted");
    QTest::addColumn<int>("alignH");
    QTest::addColumn<int>("alignV");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("alignment");
    const int top = Qt::AlignTop, vc = Qt::AlignVCenter, bottom = Qt::AlignBottom;
    const int left = Qt::AlignLeft, hc = Qt::AlignHCenter, right = Qt::AlignRight;
    QTest::newRow("number without format: left top")
        << 1 << false << 0 << 0 << QStringLiteral("42") << int(NumberCell) << (left | top);
    QTest::newRow("general number goes right")
        << 1 << true << 0 << 2 << QStringLiteral("42") << int(NumberCell) << (right | bottom);
    QTest::newRow("general text goes left")
        << 2 << true << 0 << 0 << QStringLiteral("文本") << int(TextCell) << (left | top);
    QTest::newRow("centre centre") << 2 << true << 2 << 1 << QStringLiteral("文本") << int(TextCell)
                                   << (hc | vc);
    QTest::newRow("justify") << 2 << true << 5 << 0 << QStringLiteral("文本") << int(TextCell)
                             << int(Qt::AlignJustify | Qt::AlignTop);
    QTest::newRow("vertical justify on a number centres")
        << 1 << true << 3 << 3 << QStringLiteral("42") << int(NumberCell) << (right | vc);
    QTest::newRow("vertical justify on text goes top")
        << 2 << true << 1 << 3 << QStringLiteral("文本") << int(TextCell) << (left | top);
    QTest::newRow("boolean true is text")
        << 3 << false << 0 << 0 << QStringLiteral("True") << int(TextCell) << (left | top);
    QTest::newRow("empty cell is empty text")
        << 0 << false << 0 << 0 << QString() << int(TextCell) << (left | top);
    QTest::newRow("formatted blank is empty text")
        << 0 << true << 2 << 1 << QString() << int(TextCell) << (hc | vc);
}

void TestCellDisplay::cellKindsAndAlignment()
{
    QFETCH(int, type);
    QFETCH(bool, formatted);
    QFETCH(int, alignH);
    QFETCH(int, alignV);
    QFETCH(QString, text);
    QFETCH(int, kind);
    QFETCH(int, alignment);
    Workbook book(Workbook::Kind::Xlsx);
    Sheet *sheet = book.addSheet(QStringLiteral("S"));
    Format *f = nullptr;
    if (formatted) {
        f = book.addFormat();
        f->setAlignH(alignH);
        f->setAlignV(alignV);
    }
    switch (type) {
    case 1:
        sheet->writeNum(3, 4, 42, f);
        break;
    case 2:
        sheet->writeStr(3, 4, QStringLiteral("文本"), f);
        break;
    case 3:
        sheet->writeBool(3, 4, true, f);
        break;
    default:
        if (f)
            sheet->writeBlank(3, 4, f);
        break;
    }
    const CellDisplay d = displayCell(book, *sheet, 3, 4);
    QCOMPARE(d.text, text);
    QCOMPARE(int(d.kind), kind);
    QCOMPARE(d.alignment, alignment);
    QCOMPARE(d.hasFont, formatted);
}

void TestCellDisplay::fontComesWithTheFormat()
{
    Workbook book(Workbook::Kind::Xls);
    Sheet *sheet = book.addSheet(QStringLiteral("S"));
    Font *font = book.addFont();
    font->setName(QStringLiteral("微软雅黑"));
    font->setSize(20);
    font->setBold(true);
    font->setUnderline(2);
    Format *f = book.addFormat();
    f->setFont(font);
    sheet->writeStr(0, 0, QStringLiteral("标题"), f);
    Format *plain = book.addFormat(); // no font of its own: the workbook's default
    sheet->writeStr(0, 1, QStringLiteral("正文"), plain);
    const CellDisplay d = displayCell(book, *sheet, 0, 0);
    QCOMPARE(d.font.family, QStringLiteral("微软雅黑"));
    QCOMPARE(d.font.pointSize, 20.0);
    QVERIFY(d.font.bold);
    QVERIFY(d.font.underline);
    QVERIFY(!d.font.italic);
    const CellDisplay p = displayCell(book, *sheet, 0, 1);
    QCOMPARE(p.font.family, QStringLiteral("Arial"));
    QCOMPARE(p.font.pointSize, 10.0);
}

QTEST_GUILESS_MAIN(TestCellDisplay)
#include "tst_celldisplay.moc"
