#include "clirunner.h"

#include "excel/workbook.h"
#include "tests/testkit.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCliSheet : public QObject
{
    Q_OBJECT

private slots:
    void dumpJsonShape();
    void dumpText();
    void dumpNamesErrorsAndFormulas_data();
    void dumpNamesErrorsAndFormulas();
    void dumpWarnsOfMergesLeftOut_data();
    void dumpWarnsOfMergesLeftOut();
    void unreadableFile_data();
    void unreadableFile();
    void badArguments_data();
    void badArguments();
    void convertKeepsTexts_data();
    void convertKeepsTexts();
    void convertReadByIndependentReader_data();
    void convertReadByIndependentReader();
};

namespace {

QString fixture(const char *name)
{
    return QStringLiteral(LUMO_SOURCE_DIR "/tests/excel/fixtures/") + QString::fromUtf8(name);
}

QJsonArray dumpSheets(const QString &path)
{
    const CliRun r =
        runCli({QStringLiteral("sheet"), QStringLiteral("dump"), path, QStringLiteral("--json")});
    if (r.exitCode != 0)
        qWarning("%s", qPrintable(r.err));
    return QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("sheets")).toArray();
}

QJsonObject cellAt(const QJsonObject &sheet, int r, int c)
{
    for (const QJsonValue &v : sheet.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject o = v.toObject();
        if (o.value(QStringLiteral("r")).toInt() == r && o.value(QStringLiteral("c")).toInt() == c)
            return o;
    }
    return {};
}

} // namespace

void TestCliSheet::dumpJsonShape()
{
    const QJsonArray sheets = dumpSheets(fixture("xlsxwriter_basic.xlsx"));
    QCOMPARE(sheets.size(), 2);
    const QJsonObject s = sheets.at(0).toObject();
    QCOMPARE(s.value(QStringLiteral("name")).toString(), QStringLiteral("工资表"));
    QCOMPARE(s.value(QStringLiteral("lastRow")).toInt(), 1048575);
    QCOMPARE(s.value(QStringLiteral("lastCol")).toInt(), 16383);
    QCOMPARE(s.value(QStringLiteral("colWidths")).toArray().size(), 16384);
    QCOMPARE(s.value(QStringLiteral("colWidths")).toArray().at(0).toDouble(), 20.0);
    QCOMPARE(s.value(QStringLiteral("rowHeights")).toArray().size(), 1048576);
    QCOMPARE(s.value(QStringLiteral("rowHeights")).toArray().at(0).toDouble(), 36.0);
    QCOMPARE(s.value(QStringLiteral("merges")).toArray(),
             (QJsonArray{QJsonArray{0, 0, 0, 4}, QJsonArray{5, 7, 1, 2}}));
    const QJsonObject title = cellAt(s, 0, 0);
    const QStringList keys = {QStringLiteral("r"),      QStringLiteral("c"),         QStringLiteral("type"),
                              QStringLiteral("value"),  QStringLiteral("numFormat"), QStringLiteral("alignH"),
                              QStringLiteral("alignV"), QStringLiteral("font"),      QStringLiteral("text"),
                              QStringLiteral("kind")};
    QStringList sorted = keys;
    sorted.sort();
    QCOMPARE(title.keys(), sorted);
    QCOMPARE(title.value(QStringLiteral("type")).toString(), QStringLiteral("string"));
    QCOMPARE(title.value(QStringLiteral("alignH")).toInt(), 2);
    QCOMPARE(title.value(QStringLiteral("alignV")).toInt(), 1);
    const QJsonObject font = title.value(QStringLiteral("font")).toObject();
    QCOMPARE(font.value(QStringLiteral("name")).toString(), QStringLiteral("微软雅黑"));
    QCOMPARE(font.value(QStringLiteral("size")).toDouble(), 20.0);
    QVERIFY(font.value(QStringLiteral("bold")).toBool());
    const QJsonObject amount = cellAt(s, 1, 2);
    QCOMPARE(amount.value(QStringLiteral("value")).toDouble(), 1234567.891);
    QCOMPARE(amount.value(QStringLiteral("numFormat")).toInt(), 4);
    QCOMPARE(amount.value(QStringLiteral("text")).toString(), QStringLiteral("1,234,567.89"));
    QCOMPARE(amount.value(QStringLiteral("kind")).toInt(), 1001);
    const QJsonObject date = cellAt(s, 2, 0);
    QCOMPARE(date.value(QStringLiteral("text")).toString(), QStringLiteral("2013-01-01"));
    QCOMPARE(date.value(QStringLiteral("kind")).toInt(), 1004);
    const QJsonObject flag = cellAt(s, 3, 2);
    QCOMPARE(flag.value(QStringLiteral("type")).toString(), QStringLiteral("boolean"));
    QCOMPARE(flag.value(QStringLiteral("value")).toBool(), true);
    QCOMPARE(flag.value(QStringLiteral("text")).toString(), QStringLiteral("True"));
}

void TestCliSheet::dumpText()
{
    const CliRun r = runCli({QStringLiteral("sheet"), QStringLiteral("dump"), fixture("xlwt_basic.xls")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains(QStringLiteral("【工资表】")));
    QVERIFY(r.out.contains(QStringLiteral("合并：")));
    QVERIFY(r.out.contains(QStringLiteral("1,234,567.89")));
    QVERIFY(r.out.contains(QStringLiteral("2013-06-15 8:30")));
    QVERIFY(r.out.contains(QStringLiteral("【空表】 末行 -1 末列 -1")));
}

void TestCliSheet::dumpNamesErrorsAndFormulas_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    auto row = [](const char *name, const char *file, int r, int c, const char *type, const char *text,
                  int kind) {
        QTest::newRow(name) << fixture(file) << r << c << QString::fromLatin1(type) << QString::fromUtf8(text)
                            << kind;
    };
    row("xlsx error value", "othersuite_formats.xlsx", 3, 4, "error", "#DIV/0!", 1002);
    row("xlsx formula without a result", "othersuite_formats.xlsx", 1, 5, "formula", "=E2*0.105", 1002);
    row("xlsx shared formula further down", "othersuite_formats.xlsx", 3, 5, "formula", "=E4*0.105", 1002);
    row("xlsx own date format id 100", "othersuite_formats.xlsx", 1, 1, "number", "2023-12-06", 1004);
    row("xlsx elapsed hours", "othersuite_formats.xlsx", 5, 1, "number", "1086396:18:00", 1005);
    row("xls error value", "othersuite_formats.xls", 2, 4, "error", "#DIV/0!", 1002);
    row("xls formula error result", "othersuite_formats.xls", 2, 5, "error", "#N/A", 1002);
    row("xls own date format id 50", "othersuite_formats.xls", 1, 1, "number", "2023-12-06", 1004);
    row("openpyxl formula without a result", "openpyxl_basic.xlsx", 2, 1, "formula", "=B2*2", 1002);
}

void TestCliSheet::dumpNamesErrorsAndFormulas()
{
    QFETCH(QString, file);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(int, kind);
    const QJsonArray sheets = dumpSheets(file);
    QVERIFY(!sheets.isEmpty());
    const QJsonObject cell = cellAt(sheets.at(0).toObject(), row, col);
    QCOMPARE(cell.value(QStringLiteral("type")).toString(), type);
    QCOMPARE(cell.value(QStringLiteral("text")).toString(), text);
    QCOMPARE(cell.value(QStringLiteral("kind")).toInt(), kind);
    if (type != u"number")
        QCOMPARE(cell.value(QStringLiteral("value")).toString(), text);
    // The hidden helper column of the other suites' sheets.
    if (file.contains(u"othersuite"))
        QCOMPARE(sheets.at(0).toObject().value(QStringLiteral("colWidths")).toArray().at(3).toDouble(), 0.0);
}

void TestCliSheet::dumpWarnsOfMergesLeftOut_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("merges");
    QTest::addColumn<bool>("warned");
    QTest::newRow("xlsx 25,000 merges") << QStringLiteral("xlsx") << 25000 << true;
    QTest::newRow("xls 25,000 merges") << QStringLiteral("xls") << 25000 << true;
    QTest::newRow("xlsx 100 merges") << QStringLiteral("xlsx") << 100 << false;
}

void TestCliSheet::dumpWarnsOfMergesLeftOut()
{
    QFETCH(QString, suffix);
    QFETCH(int, merges);
    QFETCH(bool, warned);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("merges.") + suffix);
    {
        auto book = Workbook::create(path);
        Sheet *s = book->addSheet(QStringLiteral("S"));
        s->writeNum(0, 0, 1);
        for (int i = 0; i < merges; ++i) // two-cell merges, 100 to a row
            QVERIFY(s->setMerge(i / 100, i / 100, (i % 100) * 2, (i % 100) * 2 + 1));
        QVERIFY2(book->save(path), qPrintable(book->errorMessage()));
    }
    const CliRun r = runCli({QStringLiteral("sheet"), QStringLiteral("dump"), path});
    QCOMPARE(r.exitCode, 0); // the sheet is read all the same
    QCOMPARE(r.err.contains(QStringLiteral("部分合并单元格过多，已忽略")), warned);
    QVERIFY(!r.out.contains(QStringLiteral("部分合并单元格过多")));
}

void TestCliSheet::unreadableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << QStringLiteral("none.xls") << QByteArray() << QStringLiteral("不存在");
    QTest::newRow("text named xlsx") << QStringLiteral("a.xlsx") << QByteArray("a,b\n")
                                     << QStringLiteral("不是");
    QTest::newRow("text named xls") << QStringLiteral("a.xls") << QByteArray("a,b\n")
                                    << QStringLiteral("不是");
}

void TestCliSheet::unreadableFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!content.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    for (const QStringList &args : {QStringList{QStringLiteral("sheet"), QStringLiteral("dump"), path},
                                    QStringList{QStringLiteral("sheet"), QStringLiteral("convert"), path,
                                                dir.filePath(QStringLiteral("out.xlsx"))}}) {
        const CliRun r = runCli(args);
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("out.xlsx"))));
}

void TestCliSheet::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no sub-command") << QStringList{QStringLiteral("sheet")};
    QTest::newRow("unknown sub-command")
        << QStringList{QStringLiteral("sheet"), QStringLiteral("show"), QStringLiteral("a.xls")};
    QTest::newRow("dump without file") << QStringList{QStringLiteral("sheet"), QStringLiteral("dump")};
    QTest::newRow("dump two files") << QStringList{QStringLiteral("sheet"), QStringLiteral("dump"),
                                                   QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("convert one file")
        << QStringList{QStringLiteral("sheet"), QStringLiteral("convert"), QStringLiteral("a")};
    QTest::newRow("convert with --json")
        << QStringList{QStringLiteral("sheet"), QStringLiteral("convert"), QStringLiteral("a"),
                       QStringLiteral("b"), QStringLiteral("--json")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("sheet"), QStringLiteral("dump"),
                                                   QStringLiteral("a"), QStringLiteral("--all")};
}

void TestCliSheet::badArguments()
{
    QFETCH(QStringList, args);
    const CliRun r = runCli(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY(r.err.contains(QStringLiteral("用法")));
}

void TestCliSheet::convertKeepsTexts_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("xlsx to xls") << fixture("openpyxl_basic.xlsx") << QStringLiteral("xls");
    QTest::newRow("xls to xlsx") << fixture("xlwt_basic.xls") << QStringLiteral("xlsx");
    QTest::newRow("xls to xls") << fixture("xlwt_basic.xls") << QStringLiteral("XLS");
    QTest::newRow("xlsx to xlsx") << fixture("xlsxwriter_1904.xlsx") << QStringLiteral("xlsx");
}

// Every cell comes back as its display text, with the merges, widths, fonts and alignment.
void TestCliSheet::convertKeepsTexts()
{
    QFETCH(QString, source);
    QFETCH(QString, suffix);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("converted.") + suffix);
    const CliRun r = runCli({QStringLiteral("sheet"), QStringLiteral("convert"), source, out});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.err.isEmpty());
    const QJsonArray before = dumpSheets(source);
    const QJsonArray after = dumpSheets(out);
    QCOMPARE(after.size(), before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        const QJsonObject b = before.at(i).toObject();
        const QJsonObject a = after.at(i).toObject();
        QCOMPARE(a.value(QStringLiteral("name")), b.value(QStringLiteral("name")));
        QCOMPARE(a.value(QStringLiteral("merges")), b.value(QStringLiteral("merges")));
        const QJsonArray bw = b.value(QStringLiteral("colWidths")).toArray();
        const QJsonArray aw = a.value(QStringLiteral("colWidths")).toArray();
        for (qsizetype c = 0; c < std::min(aw.size(), bw.size()); ++c)
            QCOMPARE(aw.at(c).toDouble(), bw.at(c).toDouble());
        const QJsonArray bc = b.value(QStringLiteral("cells")).toArray();
        const QJsonArray ac = a.value(QStringLiteral("cells")).toArray();
        QCOMPARE(ac.size(), bc.size());
        for (qsizetype k = 0; k < bc.size(); ++k) {
            const QJsonObject x = bc.at(k).toObject();
            const QJsonObject y = ac.at(k).toObject();
            QCOMPARE(y.value(QStringLiteral("r")), x.value(QStringLiteral("r")));
            QCOMPARE(y.value(QStringLiteral("c")), x.value(QStringLiteral("c")));
            QCOMPARE(y.value(QStringLiteral("type")).toString(), QStringLiteral("string"));
            QCOMPARE(y.value(QStringLiteral("text")), x.value(QStringLiteral("text")));
            const QJsonObject xf = x.value(QStringLiteral("font")).toObject();
            const QJsonObject yf = y.value(QStringLiteral("font")).toObject();
            QCOMPARE(yf.value(QStringLiteral("name")), xf.value(QStringLiteral("name")));
            QCOMPARE(yf.value(QStringLiteral("size")), xf.value(QStringLiteral("size")));
            QCOMPARE(yf.value(QStringLiteral("bold")), xf.value(QStringLiteral("bold")));
        }
    }
}

void TestCliSheet::convertReadByIndependentReader_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("module");
    QTest::newRow("xls by xlrd") << QStringLiteral("xls") << QStringLiteral("xlrd");
    QTest::newRow("xlsx by openpyxl") << QStringLiteral("xlsx") << QStringLiteral("openpyxl");
}

void TestCliSheet::convertReadByIndependentReader()
{
    QFETCH(QString, suffix);
    QFETCH(QString, module);
    QProcess check;
    check.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"), QStringLiteral("import ") + module});
    if (!check.waitForFinished(30000) || check.exitCode() != 0)
        LUMO_SKIP_WITHOUT_TOOL(qPrintable(
            QStringLiteral("/usr/bin/python3 with %1 is not installed: not checked by an independent "
                           "reader (tools/setup-deps installs it)")
                .arg(module)));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("c.") + suffix);
    QCOMPARE(runCli({QStringLiteral("sheet"), QStringLiteral("convert"), fixture("openpyxl_basic.xlsx"), out})
                 .exitCode,
             0);
    const char *script =
        suffix == QLatin1String("xls")
            ? "import "
              "sys,xlrd,json\nb=xlrd.open_workbook(sys.argv[1],formatting_info=True)\ns=b.sheet_by_index(0)\n"
              "print(json.dumps([s.name,[[r,c,s.cell_value(r,c)] for r in range(s.nrows) for c in "
              "range(s.ncols) if s.cell_value(r,c)!=''],[list(m) for m in s.merged_cells]]))"
            : "import sys,openpyxl,json\ns=openpyxl.load_workbook(sys.argv[1]).worksheets[0]\n"
              "print(json.dumps([s.title,[[c.row-1,c.column-1,c.value] for row in s.iter_rows() for c "
              "in row if c.value is not None],[[m.min_row-1,m.max_row,m.min_col-1,m.max_col] for m in "
              "s.merged_cells.ranges]]))";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), out});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    const QJsonArray got = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
    QCOMPARE(got.at(0).toString(), QStringLiteral("员工"));
    const QJsonArray cells = got.at(1).toArray();
    auto text = [&](int r, int c) {
        for (const QJsonValue &v : cells) {
            const QJsonArray a = v.toArray();
            if (a.at(0).toInt() == r && a.at(1).toInt() == c)
                return a.at(2).toString();
        }
        return QString();
    };
    QCOMPARE(text(1, 1), QStringLiteral("12,345.68"));
    QCOMPARE(text(1, 2), QStringLiteral("2008-08-08"));
    QCOMPARE(text(1, 3), QStringLiteral("9:30"));
    QCOMPARE(text(2, 0), QStringLiteral("True"));
    QCOMPARE(text(4, 0), QStringLiteral("备注"));
    QCOMPARE(got.at(2).toArray(), (QJsonArray{QJsonArray{4, 6, 0, 4}}));
}

QTEST_GUILESS_MAIN(TestCliSheet)
#include "tst_cli_sheet.moc"
