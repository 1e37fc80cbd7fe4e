// Result sheets as CSV: a byte-order mark so Chinese opens right, fields quoted where they must
// be, amounts as plain numbers, texts that a spreadsheet would run as formulas defused, and a
// failed write that leaves the old file alone.
#include "batch/sheetcsv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSheetCsv : public QObject
{
    Q_OBJECT

private slots:
    void field_data();
    void field();
    void layoutLines();
    void bytesAsQtEncodes_data();
    void bytesAsQtEncodes();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
};

namespace {

SheetCell cell(const QString &text, bool numeric = false, int span = 1)
{
    SheetCell c;
    c.present = true;
    c.text = text;
    c.numeric = numeric;
    c.colSpan = span;
    return c;
}

// The text of a one-cell layout's only line, without the mark and the line end.
QString line(const SheetCell &c)
{
    SheetLayout layout;
    layout.rows.push_back({{c}, false});
    const QByteArray bytes = sheetLayoutCsv(layout);
    return QString::fromUtf8(bytes.mid(3)).chopped(2);
}

} // namespace

void TestSheetCsv::field_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<QString>("written");
    QTest::newRow("plain Chinese") << QStringLiteral("张三") << false << QStringLiteral("张三");
    QTest::newRow("amount loses its separators")
        << QStringLiteral("12,345.6") << true << QStringLiteral("12345.6");
    QTest::newRow("negative amount stays a number") << QStringLiteral("-20") << true << QStringLiteral("-20");
    QTest::newRow("rate stays text") << QStringLiteral("20%") << true << QStringLiteral("20%");
    QTest::newRow("comma in a name is quoted")
        << QStringLiteral("李,四") << false << QStringLiteral("\"李,四\"");
    QTest::newRow("quotes doubled") << QStringLiteral("a\"b") << false << QStringLiteral("\"a\"\"b\"");
    QTest::newRow("line break in a process text quoted")
        << QStringLiteral("1、月\n2、年") << false << QStringLiteral("\"1、月\n2、年\"");
    QTest::newRow("formula defused") << QStringLiteral("=1+1") << false << QStringLiteral("'=1+1");
    QTest::newRow("plus defused") << QStringLiteral("+86 10") << false << QStringLiteral("'+86 10");
    QTest::newRow("at sign defused") << QStringLiteral("@SUM(A1)") << false << QStringLiteral("'@SUM(A1)");
    QTest::newRow("minus text defused") << QStringLiteral("-A1") << false << QStringLiteral("'-A1");
    QTest::newRow("minus number kept in a text column")
        << QStringLiteral("-5") << false << QStringLiteral("-5");
    QTest::newRow("defused and quoted") << QStringLiteral("=HYPERLINK(\"x\",\"y\")") << false
                                        << QStringLiteral("\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\"");
    QTest::newRow("amount-like text in a text column keeps its commas")
        << QStringLiteral("1,000") << false << QStringLiteral("\"1,000\"");
}

void TestSheetCsv::field()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(QString, written);
    QCOMPARE(line(cell(text, numeric)), written);
}

void TestSheetCsv::bytesAsQtEncodes_data()
{
    QTest::addColumn<QString>("text");
    const auto row = [](const char *name, const QString &text) { QTest::newRow(name) << text; };
    const auto units = [](std::initializer_list<char16_t> list) {
        QString s;
        for (char16_t u : list)
            s += QChar(u);
        return s;
    };
    row("ASCII", QStringLiteral("abc 123"));
    row("last one-byte and first two-byte characters", units({0x7F, 0x80}));
    row("last two-byte and first three-byte characters", units({0x7FF, 0x800}));
    row("Chinese", QStringLiteral("张三 应发数"));
    row("euro and the last unit", units({0x20AC, 0xFFFF}));
    row("NUL inside", units({u'a', 0, u'b'}));
    row("surrogate pair", QStringLiteral("😀 ok"));
    row("pair at the end", QStringLiteral("个税😀"));
    row("lone high surrogate at the end", units({u'a', 0xD83D}));
    row("lone high surrogate before a letter", units({0xD83D, u'a'}));
    row("lone low surrogate", units({u'a', 0xDE00, u'b'}));
    row("pair reversed", units({0xDE00, 0xD83D}));
    row("quotes around Chinese", QStringLiteral("说\"好\"的"));
    row("quote right after a pair", QStringLiteral("😀\"x"));
    row("lone surrogate in a quoted text", units({u'"', 0xD800, u'"'}));
    QString process;
    for (int i = 0; i < 200; ++i)
        process += QStringLiteral("    【应纳税所得额】=%1元 \"注\"\n").arg(i);
    row("long process text", process);
}

// The file's bytes are the ones Qt's own encoder gives for the field.
void TestSheetCsv::bytesAsQtEncodes()
{
    QFETCH(QString, text);
    SheetLayout layout;
    layout.rows.push_back({{cell(text)}, false});
    QString field = text;
    if (field.contains(u',') || field.contains(u'"') || field.contains(u'\n') || field.contains(u'\r'))
        field = u'"' + field.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
    QCOMPARE(sheetLayoutCsv(layout), QByteArray("\xEF\xBB\xBF") + field.toUtf8() + "\r\n");
}

void TestSheetCsv::layoutLines()
{
    SheetLayout layout;
    layout.title = QStringLiteral("十二月工资");
    layout.headings.push_back(
        {{cell(QStringLiteral("基础信息"), false, 2), SheetCell(), cell(QStringLiteral("小计"))}, false});
    layout.headings.push_back(
        {{cell(QStringLiteral("编码")), cell(QStringLiteral("姓名")), cell(QStringLiteral("实发数"))},
         false});
    layout.rows.push_back(
        {{cell(QStringLiteral("001")), cell(QStringLiteral("张三")), cell(QStringLiteral("8,455"), true)},
         false});
    layout.rows.push_back(
        {{SheetCell(), cell(QStringLiteral("总计")), cell(QStringLiteral("8,455"), true)}, true});
    const QByteArray bytes = sheetLayoutCsv(layout);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(QString::fromUtf8(bytes.mid(3)),
             QStringLiteral(
                 "十二月工资,,\r\n基础信息,,小计\r\n编码,姓名,实发数\r\n001,张三,8455\r\n,总计,8455\r\n"));
}

void TestSheetCsv::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("read-only file") << true;
    QTest::newRow("folder in the way") << false;
}

void TestSheetCsv::failedWriteKeepsOldFile()
{
    QFETCH(bool, readOnly);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SheetLayout layout;
    layout.rows.push_back({{cell(QStringLiteral("新"))}, false});
    QString error;
    if (readOnly) {
        const QString file = dir.filePath(QStringLiteral("old.csv"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("old");
        }
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
        QVERIFY(!writeSheetCsv(layout, file, &error));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    } else {
        QVERIFY(!writeSheetCsv(layout, dir.path(), &error));
    }
    QVERIFY(!error.isEmpty());
    // A good write goes through, and leaves no temporary file behind.
    const QString good = dir.filePath(QStringLiteral("new.csv"));
    QVERIFY2(writeSheetCsv(layout, good, &error), qPrintable(error));
    QFile f(good);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\xEF\xBB\xBF") + QStringLiteral("新\r\n").toUtf8());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), readOnly ? 2 : 1);
}

QTEST_GUILESS_MAIN(TestSheetCsv)
#include "tst_sheetcsv.moc"
