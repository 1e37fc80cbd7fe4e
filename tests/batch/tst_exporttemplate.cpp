// Export templates and the sheet of an export: built-in and saved templates per mode, the settings
// file under damage, and the rows, headings and number cells of each scope.
#include "batch/columncatalogue.h"
#include "batch/exporttemplate.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestExportTemplate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void builtinNames_data();
    void builtinNames();
    void builtinTemplates_data();
    void builtinTemplates();
    void savedTemplates_data();
    void savedTemplates();
    void startingTemplate_data();
    void startingTemplate();
    void settingsDamage_data();
    void settingsDamage();
    void sameNameReplaced();
    void writeFailureReported_data();
    void writeFailureReported();
    void names_data();
    void names();
    void headings_data();
    void headings();
    void scopes_data();
    void scopes();
    void effectiveScope_data();
    void effectiveScope();
    void numberCells_data();
    void numberCells();
    void processLeftOut();

private:
    QTemporaryDir m_dir;
};

namespace {

QStringList titles(const QList<ExportColumn> &columns)
{
    QStringList out;
    for (const ExportColumn &c : columns)
        out << (c.type ? u"R"_s : u"O"_s) + QString::number(c.column);
    return out;
}

QStringList range(const QString &prefix, int first, int last)
{
    QStringList out;
    for (int i = first; i <= last; ++i)
        out << prefix + QString::number(i);
    return out;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

ExportTableCell text(const QString &t, SheetCellStyle align = SheetCellStyle::BodyRight, int kind = 0)
{
    return {t, kind, align};
}

// A salary table of `people` rows between its two title rows and a totals row; cell (r, c) reads
// "<tag>r.c" except in the columns given values.
PlainExportTable table(const QString &tag, int people, int columns, bool totals,
                       const QMap<int, QStringList> &values = {})
{
    PlainExportTable t;
    const int rows = 2 + people + (totals ? 1 : 0);
    for (int r = 0; r < rows; ++r) {
        std::vector<std::optional<ExportTableCell>> row;
        for (int c = 0; c < columns; ++c) {
            if (values.contains(c) && r >= 2 && r - 2 < values[c].size())
                row.push_back(text(values[c][r - 2]));
            else
                row.push_back(text(u"%1%2.%3"_s.arg(tag).arg(r).arg(c)));
        }
        t.rows.push_back(row);
    }
    return t;
}

// What a sheet row shows: its cell texts joined by "|" (missing cells empty), "*" first on totals.
QString rowText(const SheetRow &row)
{
    QStringList cells;
    for (const SheetCell &cell : row.cells)
        cells << (cell.present ? cell.text : QString());
    while (!cells.isEmpty() && cells.last().isEmpty())
        cells.removeLast();
    return (row.total ? u"*"_s : QString()) + cells.join(u'|');
}

ExportColumn resultColumn(int mode, int column)
{
    return exportResultList(mode).at(column);
}

// Two imported extra columns on the calculation page, as an import leaves them.
const ColumnGroup *extensionOf(int mode)
{
    static const ColumnGroup calc = [] {
        ColumnGroup group = ColumnCatalogue::instance().extensionGroup(TreeCalcSource);
        group.addItem(u"部门"_s, 0, 6, 80);
        group.addItem(u"补贴"_s, 0, 7, 90);
        return group;
    }();
    return mode == BatchCalcPage ? &calc : nullptr;
}

ExportColumn originalColumn(int mode, int column)
{
    return exportOriginalList(mode, extensionOf(mode)).at(column);
}

} // namespace

void TestExportTemplate::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QCOMPARE(extensionOf(BatchCalcPage)->itemCount(), 2);
}

void TestExportTemplate::builtinNames_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("templates");
    QTest::addColumn<int>("scopes");
    QTest::addColumn<QString>("caption");
    QTest::newRow("calculation") << 0
                                 << QStringList{u"仅原始表"_s, u"仅原始表计算结果"_s, u"全部薪酬列"_s,
                                                u"我要自定义导出列"_s}
                                 << 0 << u"原始计算结果"_s;
    QTest::newRow("planning") << 1
                              << QStringList{u"仅原始表"_s, u"筹划后计算结果"_s, u"有效筹划比对结果"_s,
                                             u"我要自定义导出列"_s}
                              << 4 << u"筹划结果"_s;
    QTest::newRow("apportionment") << 2
                                   << QStringList{u"仅原始表"_s, u"分摊后计算结果"_s, u"分摊比对结果"_s,
                                                  u"我要自定义导出列"_s}
                                   << 3 << u"分摊结果"_s;
}

void TestExportTemplate::builtinNames()
{
    QFETCH(int, mode);
    QFETCH(QStringList, templates);
    QFETCH(int, scopes);
    QFETCH(QString, caption);
    QCOMPARE(builtinTemplateNames(mode), templates);
    QCOMPARE(exportScopeNames(mode).size(), scopes);
    QCOMPARE(exportResultCaption(mode), caption);
    QVERIFY(exportTemplateExplanation(mode).startsWith(u"<font color=gray>说明：<br>1、"_s));
    QVERIFY(exportTemplateExplanation(mode).contains(u"<br>\t\t\t4、"_s));
}

void TestExportTemplate::builtinTemplates_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<int>("scope"); // loaded with scope 0 kept where the template sets none
    QTest::newRow("calc 0: basic original only") << 0 << 0 << range(u"O"_s, 0, 5) << 0;
    QTest::newRow("calc 1: the result list") << 0 << 1 << range(u"R"_s, 0, 22) << 0;
    QTest::newRow("calc 2: results, then the imported columns")
        << 0 << 2 << range(u"R"_s, 0, 22) + QStringList{u"O6"_s, u"O7"_s} << 0;
    QTest::newRow("calc 3: nothing chosen yet") << 0 << 3 << QStringList() << 0;
    QTest::newRow("plan 0: five basic columns") << 1 << 0 << range(u"O"_s, 0, 4) << 0;
    QTest::newRow("plan 1: results after") << 1 << 1 << range(u"R"_s, 0, 19) << 1;
    QTest::newRow("plan 2: effective comparison") << 1 << 2 << range(u"R"_s, 0, 19) << 3;
    QTest::newRow("apportion 1: results after") << 2 << 1 << range(u"R"_s, 0, 13) << 1;
    QTest::newRow("apportion 2: comparison") << 2 << 2 << range(u"R"_s, 0, 13) << 2;
    QTest::newRow("no saved template at 4") << 0 << 4 << QStringList() << 0;
    QTest::newRow("negative index") << 1 << -1 << QStringList() << 0;
    QTest::newRow("unknown mode") << 7 << 1 << QStringList() << 0;
}

void TestExportTemplate::builtinTemplates()
{
    QFETCH(int, mode);
    QFETCH(int, index);
    QFETCH(QStringList, columns);
    QFETCH(int, scope);
    const ExportChoice choice = loadExportTemplate(mode, index, ExportSettings(), 0, extensionOf(mode));
    QCOMPARE(titles(choice.columns), columns);
    QCOMPARE(choice.scope, scope);
}

void TestExportTemplate::savedTemplates_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("lastSet");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<int>("scope");
    QTest::newRow("first saved template is index 4")
        << 1
        << QByteArray(
               "[exportSet1]\nlastSet=4\nmine\\exportScope=2\nmine\\0000\\type=1\nmine\\0000\\column=5\n"
               "mine\\0001\\type=0\nmine\\0001\\column=1\n")
        << 4 << QStringList{u"mine"_s} << 4 << QStringList{u"R5"_s, u"O1"_s} << 2;
    QTest::newRow("a vanished column is dropped")
        << 0
        << QByteArray(
               "[exportSet0]\nt\\0000\\type=1\nt\\0000\\column=23\nt\\0001\\type=0\nt\\0001\\column=8\n"
               "t\\0002\\type=1\nt\\0002\\column=3\nt\\0003\\type=2\nt\\0003\\column=0\n")
        << 0 << QStringList{u"t"_s} << 4 << QStringList{u"R3"_s} << 1;
    QTest::newRow("missing type and column mean original column 0")
        << 0 << QByteArray("[exportSet0]\nt\\0000\\other=1\n") << 0 << QStringList{u"t"_s} << 4
        << QStringList{u"O0"_s} << 1;
    QTest::newRow("values that are no numbers name no column")
        << 0
        << QByteArray(
               "[exportSet0]\nt\\0000\\type=x\nt\\0000\\column=1\nt\\0001\\type=1\nt\\0001\\column=2.5\n")
        << 0 << QStringList{u"t"_s} << 4 << QStringList() << 1;
    QTest::newRow("absurd scope and lastSet fall back")
        << 1
        << QByteArray("[exportSet1]\nlastSet=99\nt\\exportScope=-7\nt\\0000\\type=1\nt\\0000\\column=0\n")
        << 0 << QStringList{u"t"_s} << 4 << QStringList{u"R0"_s} << 1;
    QTest::newRow("scope 3 is planning only") << 2 << QByteArray("[exportSet2]\nt\\exportScope=3\n") << 0
                                              << QStringList{u"t"_s} << 4 << QStringList() << 1;
    QTest::newRow("other modes' groups are not listed")
        << 2 << QByteArray("[exportSet1]\nlastSet=2\nt\\exportScope=0\n") << 0 << QStringList() << 4
        << QStringList() << 0;
    QTest::newRow("an index beyond the saved templates")
        << 0 << QByteArray("[exportSet0]\na\\0000\\type=1\n") << 0 << QStringList{u"a"_s} << 5
        << QStringList() << 0;
    QTest::newRow("not an ini file at all") << 0 << QByteArray("\x00\xff\xfe[[[\n==\n\\\\\\", 14) << 0
                                            << QStringList() << 4 << QStringList() << 0;
    QTest::newRow("lastSet not a number")
        << 0 << QByteArray("[exportSet0]\nlastSet=two\n") << 0 << QStringList() << 3 << QStringList() << 0;
}

void TestExportTemplate::savedTemplates()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, ini);
    QFETCH(int, lastSet);
    QFETCH(QStringList, names);
    QFETCH(int, index);
    QFETCH(QStringList, columns);
    QFETCH(int, scope);
    const QString path = m_dir.filePath(u"saved.ini"_s);
    writeFile(path, ini);
    const ExportSettings settings = readExportSettings(path, mode);
    QCOMPARE(settings.lastSet, lastSet);
    QStringList read;
    for (const SavedExportTemplate &t : settings.templates)
        read << t.name;
    QCOMPARE(read, names);
    const ExportChoice choice = loadExportTemplate(mode, index, settings, 0, extensionOf(mode));
    QCOMPARE(titles(choice.columns), columns);
    QCOMPARE(choice.scope, scope);
}

void TestExportTemplate::startingTemplate_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("sheet");
    QTest::newRow("first export: 全部薪酬列") << 0 << QByteArray() << 2 << u"个税计算结果"_s;
    QTest::newRow("first export: 有效筹划比对结果") << 1 << QByteArray() << 2 << u"节税筹划结果"_s;
    QTest::newRow("first export: 分摊比对结果") << 2 << QByteArray() << 2 << u"奖金分摊结果"_s;
    QTest::newRow("a saved 仅原始表 still wins")
        << 0 << QByteArray("[exportSet0]\nlastSet=0\n") << 0 << u"个税计算结果"_s;
    QTest::newRow("a saved template wins")
        << 1 << QByteArray("[exportSet1]\nlastSet=4\nt\\exportScope=1\n") << 4 << u"节税筹划结果"_s;
    QTest::newRow("another mode's choice does not count")
        << 2 << QByteArray("[exportSet1]\nlastSet=0\n") << 2 << u"奖金分摊结果"_s;
    QTest::newRow("lastSet beyond the list")
        << 0 << QByteArray("[exportSet0]\nlastSet=9\n") << 2 << u"个税计算结果"_s;
    QTest::newRow("lastSet not a number")
        << 0 << QByteArray("[exportSet0]\nlastSet=two\n") << 2 << u"个税计算结果"_s;
}

void TestExportTemplate::startingTemplate()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, ini);
    QFETCH(int, expected);
    QFETCH(QString, sheet);
    const QString path = m_dir.filePath(u"start.ini"_s);
    QFile::remove(path);
    if (!ini.isEmpty())
        writeFile(path, ini);
    QCOMPARE(initialExportTemplate(readExportSettings(path, mode)), expected);
    // The worksheet is named after the result it holds.
    ExportRequest request;
    request.mode = mode;
    QCOMPARE(buildExportLayout(request).sheetName, sheet);
}

void TestExportTemplate::settingsDamage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing file") << u"missing"_s;
    QTest::newRow("a folder in its place") << u"folder"_s;
    QTest::newRow("larger than a settings file can be") << u"huge"_s;
    QTest::newRow("more templates than are read") << u"many"_s;
}

void TestExportTemplate::settingsDamage()
{
    QFETCH(QString, kind);
    const QString path = m_dir.filePath(u"damage-"_s + kind);
    if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == u"huge") {
        QByteArray bytes = "[exportSet0]\nlastSet=4\nt\\exportScope=1\n";
        bytes += QByteArray(kMaxExportSettingsBytes, ';');
        writeFile(path, bytes);
    } else if (kind == u"many") {
        QByteArray bytes = "[exportSet0]\n";
        for (int i = 0; i < kMaxSavedTemplates + 50; ++i)
            bytes += "t" + QByteArray::number(i) + "\\exportScope=1\n";
        writeFile(path, bytes);
    }
    const ExportSettings settings = readExportSettings(path, 0);
    QCOMPARE(settings.lastSet, 0);
    QCOMPARE(settings.templates.size(), kind == u"many" ? kMaxSavedTemplates : 0);
}

void TestExportTemplate::sameNameReplaced()
{
    const QString path = m_dir.filePath(u"replace.ini"_s);
    QFile::remove(path);
    QString error;
    const QList<ExportColumn> five = exportResultList(1).mid(0, 5);
    QVERIFY2(writeExportSettings(path, 1, 2, u"周报"_s, 3, five, &error), qPrintable(error));
    QVERIFY(
        writeExportSettings(path, 1, 4, u"周报"_s, 0, {resultColumn(1, 9), originalColumn(1, 4)}, &error));
    // Another mode's group and an empty name only touch lastSet of their mode.
    QVERIFY(writeExportSettings(path, 0, 1, QString(), 2, five, &error));
    const ExportSettings settings = readExportSettings(path, 1);
    QCOMPARE(settings.lastSet, 4);
    QCOMPARE(settings.templates.size(), 1);
    const ExportChoice choice = loadExportTemplate(1, 4, settings, 1);
    QCOMPARE(titles(choice.columns), (QStringList{u"R9"_s, u"O4"_s}));
    QCOMPARE(choice.scope, 0);
    const ExportSettings calc = readExportSettings(path, 0);
    QCOMPARE(calc.lastSet, 1);
    QVERIFY(calc.templates.isEmpty());
}

void TestExportTemplate::writeFailureReported_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("read-only file") << u"readonly"_s;
    QTest::newRow("a folder in its place") << u"folder"_s;
    QTest::newRow("oversized file is left alone") << u"huge"_s;
    QTest::newRow("invalid name") << u"name"_s;
}

void TestExportTemplate::writeFailureReported()
{
    QFETCH(QString, kind);
    const QString path = m_dir.filePath(u"fail-"_s + kind);
    QByteArray before = "[exportSet0]\nlastSet=1\n";
    if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
    } else {
        if (kind == u"huge")
            before += QByteArray(kMaxExportSettingsBytes, ';');
        writeFile(path, before);
        if (kind == u"readonly")
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    }
    QString error;
    const bool ok =
        writeExportSettings(path, 0, 3, kind == u"name" ? u"a/b"_s : u"t"_s, 1, exportResultList(0), &error);
    QVERIFY(!ok);
    QVERIFY(!error.isEmpty());
    if (kind != u"folder") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
}

void TestExportTemplate::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("chinese name") << u"每月工资表"_s << true;
    QTest::newRow("spaces inside") << u"my export 1"_s << true;
    QTest::newRow("blank") << u"   "_s << false;
    QTest::newRow("slash would nest groups") << u"a/b"_s << false;
    QTest::newRow("backslash would nest groups") << u"a\\b"_s << false;
    QTest::newRow("64 characters") << QString(64, u'名') << true;
    QTest::newRow("65 characters") << QString(65, u'名') << false;
}

void TestExportTemplate::names()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QString error;
    QCOMPARE(exportTemplateNameValid(name, &error), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (!valid)
        return;
    // A valid name comes back as itself.
    const QString path = m_dir.filePath(u"names.ini"_s);
    QFile::remove(path);
    QVERIFY(writeExportSettings(path, 2, 0, name, 2, {resultColumn(2, 3)}, &error));
    const ExportSettings settings = readExportSettings(path, 2);
    QCOMPARE(settings.templates.size(), 1);
    QCOMPARE(settings.templates[0].name, name);
}

void TestExportTemplate::headings_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QList<ExportColumn>>("columns");
    QTest::addColumn<QStringList>("groups"); // heading cells "text:span", in column order
    QTest::addColumn<int>("sheetRows");      // two people and the totals
    const QList<ExportColumn> result = exportResultList(0);
    QTest::newRow("three columns of one group under one heading")
        << QString() << result.mid(2, 3) << QStringList{u"小计:3"_s} << 5;
    QTest::newRow("with a title three rows more")
        << u"十二月工资"_s << result.mid(2, 3) << QStringList{u"小计:3"_s} << 8;
    QTest::newRow("original and result basic groups stay apart")
        << QString() << QList<ExportColumn>{originalColumn(0, 0), originalColumn(0, 1), result[0], result[1]}
        << QStringList{u"基础信息:2"_s, u"基础信息:2"_s} << 5;
    QTest::newRow("a group split by another is two runs")
        << QString() << QList<ExportColumn>{result[2], result[5], result[3]}
        << QStringList{u"小计:1"_s, u"月应发工资:1"_s, u"小计:1"_s} << 5;
    QTest::newRow("no columns") << u"空"_s << QList<ExportColumn>() << QStringList() << 8;
}

void TestExportTemplate::headings()
{
    QFETCH(QString, title);
    QFETCH(QList<ExportColumn>, columns);
    QFETCH(QStringList, groups);
    QFETCH(int, sheetRows);
    const PlainExportTable base = table(u"b"_s, 2, 8, false);
    const PlainExportTable before = table(u"r"_s, 2, 23, true);
    ExportRequest request;
    request.base = &base;
    request.before = &before;
    request.columns = columns;
    request.title = title;
    const SheetLayout layout = buildExportLayout(request);
    QCOMPARE(layout.title, title);
    QCOMPARE(layout.titleSpan, std::max<int>(1, columns.size()));
    QCOMPARE(layout.headings.size(), size_t(2));
    QStringList read;
    for (const SheetCell &cell : layout.headings[0].cells) {
        if (cell.present)
            read << cell.text + u':' + QString::number(cell.colSpan);
    }
    QCOMPARE(read, groups);
    for (qsizetype i = 0; i < columns.size(); ++i) {
        QCOMPARE(layout.headings[1].cells[size_t(i)].text, columns[i].name);
        QCOMPARE(layout.columnWidths[size_t(i)], int(columns[i].width));
    }
    QCOMPARE(layout.sheetRowCount(), sheetRows);
}

void TestExportTemplate::scopes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("scope");
    QTest::addColumn<QStringList>("rows");
    // Columns: original 1 (姓名), result 1 (姓名), result 5.
    QTest::newRow("calculation ignores the scope")
        << 0 << 2 << QStringList{u"b2.1|r2.1|r2.5"_s, u"b3.1|r3.1|r3.5"_s, u"*|r4.1|r4.5"_s};
    QTest::newRow("apportion before")
        << 2 << 0 << QStringList{u"b2.1|r2.1|r2.5"_s, u"b3.1|r3.1|r3.5"_s, u"*|r4.1|r4.5"_s};
    QTest::newRow("apportion after") << 2 << 1
                                     << QStringList{u"b2.1|a2.1|a2.5"_s, u"b3.1|a3.1|a3.5"_s,
                                                    u"*|a4.1|a4.5"_s};
    QTest::newRow("apportion comparison: two rows a person, two totals")
        << 2 << 2 << QStringList{u"b2.1|r2.1|r2.5"_s, u"||a2.5"_s,      u"b3.1|r3.1|r3.5"_s,
                                 u"||a3.5"_s,         u"*|r4.1|r4.5"_s, u"*|a4.1|a4.5"_s};
    QTest::newRow("planning leaves out the row before the totals")
        << 1 << 1 << QStringList{u"b2.1|a2.1|a2.5"_s, u"*|a4.1|a4.5"_s};
    QTest::newRow("planning comparison keeps everyone")
        << 1 << 2 << QStringList{u"b2.1|r2.1|r2.5"_s, u"||a2.5"_s, u"*|r4.1|r4.5"_s, u"*|a4.1|a4.5"_s};
    QTest::newRow("absurd scope is after")
        << 2 << 9 << QStringList{u"b2.1|a2.1|a2.5"_s, u"b3.1|a3.1|a3.5"_s, u"*|a4.1|a4.5"_s};
}

void TestExportTemplate::scopes()
{
    QFETCH(int, mode);
    QFETCH(int, scope);
    QFETCH(QStringList, rows);
    const PlainExportTable base = table(u"b"_s, 2, 6, false);
    const PlainExportTable before = table(u"r"_s, 2, 23, true);
    const PlainExportTable after = table(u"a"_s, 2, 23, true);
    ExportRequest request;
    request.mode = mode;
    request.scope = ScopeBefore;
    request.base = &base;
    request.before = &before;
    request.after = mode ? &after : nullptr;
    request.scope = scope;
    request.columns = {originalColumn(mode, 1), resultColumn(mode, 1), resultColumn(mode, 5)};
    const SheetLayout layout = buildExportLayout(request);
    QStringList read;
    for (const SheetRow &row : layout.rows)
        read << rowText(row);
    QCOMPARE(read, rows);
}

void TestExportTemplate::effectiveScope_data()
{
    QTest::addColumn<QStringList>("netIncrease"); // per person, in the after table
    QTest::addColumn<QStringList>("costDecrease");
    QTest::addColumn<QStringList>("names"); // the people exported
    QTest::newRow("nobody saves: only the totals")
        << QStringList{u"0"_s, u"0.00"_s, u""_s} << QStringList{u"0"_s, u"0"_s, u"0"_s} << QStringList();
    QTest::newRow("a saving with thousands separators")
        << QStringList{u"1,000.5"_s, u"0"_s, u"0"_s} << QStringList{u"0"_s, u"0"_s, u"0"_s}
        << QStringList{u"r2.1"_s};
    QTest::newRow("a lower cost counts too")
        << QStringList{u"0"_s, u"0"_s, u"0"_s} << QStringList{u"0"_s, u"0"_s, u"12"_s}
        << QStringList{u"r4.1"_s};
    QTest::newRow("unreadable text is no saving")
        << QStringList{u"abc"_s, u"-"_s, u"3"_s} << QStringList{u"0"_s, u"0"_s, u"0"_s}
        << QStringList{u"r4.1"_s};
}

void TestExportTemplate::effectiveScope()
{
    QFETCH(QStringList, netIncrease);
    QFETCH(QStringList, costDecrease);
    QFETCH(QStringList, names);
    // Three people, the row that planning tables hold before their totals, the totals.
    const PlainExportTable base = table(u"b"_s, 4, 5, false);
    const PlainExportTable before = table(u"r"_s, 4, 20, true);
    const PlainExportTable after = table(u"a"_s, 4, 20, true, {{5, netIncrease}, {6, costDecrease}});
    ExportRequest request;
    request.mode = 1;
    request.base = &base;
    request.before = &before;
    request.after = &after;
    request.scope = ScopeEffective;
    request.columns = {resultColumn(1, 1), resultColumn(1, 5)};
    const SheetLayout layout = buildExportLayout(request);
    QStringList read;
    for (size_t i = 0; i < layout.rows.size(); i += 2) {
        QVERIFY(i + 1 < layout.rows.size());
        read << layout.rows[i].cells[0].text;
        if (i + 2 < layout.rows.size())
            QVERIFY(!layout.rows[i + 1].cells[0].present); // a person's name only once
    }
    // The totals of the people listed: the row before everyone's totals in both tables.
    QCOMPARE(read.takeLast(), u"r5.1"_s);
    QCOMPARE(read, names);
    QVERIFY(layout.rows[layout.rows.size() - 2].total && layout.rows.back().total);
    QCOMPARE(layout.rows.back().cells[0].text, u"a5.1"_s);
}

void TestExportTemplate::numberCells_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<ExportColumn>("column");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("numeric");
    QTest::newRow("code stays text") << 0 << originalColumn(0, 0) << 1001 << false;
    QTest::newRow("name stays text") << 0 << resultColumn(0, 1) << 0 << false;
    QTest::newRow("imported wage is a number") << 0 << originalColumn(0, 2) << 1002 << true;
    QTest::newRow("result gross is a number") << 0 << resultColumn(0, 2) << 0 << true;
    QTest::newRow("rate stays text") << 0 << resultColumn(0, 10) << 0 << false;
    QTest::newRow("quick deduction is a number") << 0 << resultColumn(0, 11) << 0 << true;
    QTest::newRow("process stays text") << 0 << resultColumn(0, 22) << 0 << false;
    QTest::newRow("imported number column is a number") << 0 << originalColumn(0, 7) << 1001 << true;
    QTest::newRow("imported text column stays text") << 0 << originalColumn(0, 6) << 1002 << false;
    QTest::newRow("spread months count is a number") << 2 << resultColumn(2, 4) << 0 << true;
}

void TestExportTemplate::numberCells()
{
    QFETCH(int, mode);
    QFETCH(ExportColumn, column);
    QFETCH(int, kind);
    QFETCH(bool, numeric);
    PlainExportTable base = table(u"b"_s, 1, 8, false);
    PlainExportTable results = table(u"r"_s, 1, 23, true);
    PlainExportTable &source = column.type ? results : base;
    source.rows[2][column.column] = text(u"1,234.5"_s, SheetCellStyle::BodyRight, kind);
    ExportRequest request;
    request.mode = mode;
    request.scope = ScopeBefore;
    request.base = &base;
    request.before = &results;
    request.columns = {column};
    const SheetLayout layout = buildExportLayout(request);
    QCOMPARE(layout.rows.size(), size_t(2));
    QCOMPARE(layout.rows[0].cells[0].numeric, numeric);
    // A count of months is written whole ("3", not "3.00").
    QCOMPARE(layout.rows[0].cells[0].whole, mode == 2 && column.type == 1 && column.column == 4);
    QCOMPARE(layout.rows[0].cells[0].style, SheetCellStyle::BodyRight);
    QVERIFY(!layout.rows[0].total);
    QVERIFY(layout.rows[1].total);
}

void TestExportTemplate::processLeftOut()
{
    const PlainExportTable base = table(u"b"_s, 1, 6, false);
    const PlainExportTable results = table(u"r"_s, 1, 23, true);
    ExportRequest request;
    request.base = &base;
    request.before = &results;
    request.columns = exportResultList(0);
    request.includeProcess = false;
    const SheetLayout layout = buildExportLayout(request);
    QCOMPARE(layout.columnCount(), 22);
    QCOMPARE(layout.headings[1].cells.back().text, u"速算扣除数"_s);
    QCOMPARE(layout.headings[0].cells[17].text, u"企业年金"_s);
}

QTEST_GUILESS_MAIN(TestExportTemplate)
#include "tst_exporttemplate.moc"
