// Every workbook under tests/excel/fixtures, made by another program, read and compared with what
// its maker wrote into it (NAME.expected.json, written by tools/make-excel-fixtures beside it).
#include "excel/celldisplay.h"
#include "excel/workbook.h"
#include "tests/testkit.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <set>

class TestFixtures : public QObject
{
    Q_OBJECT

private slots:
    void fixture_data();
    void fixture();
    void xlsxTruncatedAtEveryTenthByte();
    void producersShowWhatWeShow_data();
    void producersShowWhatWeShow();
};

namespace {

QString fixtureDir()
{
    return QStringLiteral(LUMO_SOURCE_DIR "/tests/excel/fixtures");
}

} // namespace

void TestFixtures::fixture_data()
{
    QTest::addColumn<QString>("path");
    const QStringList names =
        QDir(fixtureDir())
            .entryList({QStringLiteral("*.xls"), QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 5);
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << QDir(fixtureDir()).filePath(name);
}

void TestFixtures::fixture()
{
    QFETCH(QString, path);
    QFile file(path + QStringLiteral(".expected.json"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QJsonArray sheets =
        QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("sheets")).toArray();
    auto book = Workbook::create(path);
    QVERIFY2(book->load(path), qPrintable(book->errorMessage()));
    QCOMPARE(book->sheetCount(), int(sheets.size()));
    for (int i = 0; i < book->sheetCount(); ++i) {
        const Sheet &sheet = *book->getSheet(i);
        const QJsonObject want = sheets.at(i).toObject();
        QCOMPARE(sheet.name(), want.value(QStringLiteral("name")).toString());
        QCOMPARE(sheet.lastRow(), want.value(QStringLiteral("lastRow")).toInt());
        QCOMPARE(sheet.lastCol(), want.value(QStringLiteral("lastCol")).toInt());

        std::set<std::vector<int>> merges, wantMerges;
        for (const CellRange &m : sheet.merges())
            merges.insert({m.firstRow, m.lastRow, m.firstCol, m.lastCol});
        for (const QJsonValue &m : want.value(QStringLiteral("merges")).toArray()) {
            const QJsonArray a = m.toArray();
            wantMerges.insert({a.at(0).toInt(), a.at(1).toInt(), a.at(2).toInt(), a.at(3).toInt()});
        }
        QVERIFY(merges == wantMerges);

        const QJsonObject widths = want.value(QStringLiteral("colWidths")).toObject();
        for (auto it = widths.begin(); it != widths.end(); ++it)
            QCOMPARE(sheet.colWidth(it.key().toInt()), it.value().toDouble());
        const QJsonObject heights = want.value(QStringLiteral("rowHeights")).toObject();
        for (auto it = heights.begin(); it != heights.end(); ++it)
            QCOMPARE(sheet.rowHeight(it.key().toInt()), it.value().toDouble());

        qsizetype valueCells = 0;
        for (const int r : sheet.rowIndexes()) {
            for (const int c : sheet.colIndexes(r))
                valueCells += sheet.cellType(r, c) != CellType::Empty;
        }
        const QJsonArray cells = want.value(QStringLiteral("cells")).toArray();
        QCOMPARE(valueCells, cells.size());
        for (const QJsonValue &v : cells) {
            const QJsonObject cell = v.toObject();
            const int r = cell.value(QStringLiteral("r")).toInt();
            const int c = cell.value(QStringLiteral("c")).toInt();
            const QString where = QStringLiteral("%1 R%2C%3").arg(sheet.name()).arg(r).arg(c);
            const CellType type = sheet.cellType(r, c);
            QVERIFY2(QLatin1String(cellTypeName(sheet, r, c)) ==
                         cell.value(QStringLiteral("type")).toString(),
                     qPrintable(where));
            const QJsonValue value = cell.value(QStringLiteral("value"));
            if (type == CellType::Number)
                QVERIFY2(qFuzzyCompare(sheet.readNum(r, c) + 1e9, value.toDouble() + 1e9), qPrintable(where));
            else if (type == CellType::String)
                QVERIFY2(sheet.readStr(r, c) == value.toString(), qPrintable(where));
            else
                QVERIFY2(sheet.readBool(r, c) == value.toBool(), qPrintable(where));
            const Format *f = sheet.cellFormat(r, c);
            if (cell.contains(QStringLiteral("numFormat")))
                QCOMPARE(f ? f->numFormat() : 0, cell.value(QStringLiteral("numFormat")).toInt());
            const CellDisplay d = displayCell(*book, sheet, r, c);
            QVERIFY2(d.text == cell.value(QStringLiteral("text")).toString(),
                     qPrintable(where + QStringLiteral(": ") + d.text));
            QVERIFY2(int(d.kind) == cell.value(QStringLiteral("kind")).toInt(), qPrintable(where));
            if (cell.contains(QStringLiteral("alignH"))) {
                QCOMPARE(f->alignH(), cell.value(QStringLiteral("alignH")).toInt());
                QCOMPARE(f->alignV(), cell.value(QStringLiteral("alignV")).toInt());
            }
            if (cell.contains(QStringLiteral("font"))) {
                const QJsonObject font = cell.value(QStringLiteral("font")).toObject();
                QCOMPARE(f->font()->name(), font.value(QStringLiteral("name")).toString());
                QCOMPARE(f->font()->size(), font.value(QStringLiteral("size")).toDouble());
                QCOMPARE(f->font()->bold(), font.value(QStringLiteral("bold")).toBool());
                QCOMPARE(f->font()->italic(), font.value(QStringLiteral("italic")).toBool());
                QCOMPARE(f->font()->underline() != 0, font.value(QStringLiteral("underline")).toBool());
                QCOMPARE(f->font()->strikeOut(), font.value(QStringLiteral("strike")).toBool());
            }
        }
    }
}

// A download cut off anywhere must give a message, never a crash or a half-read workbook.
void TestFixtures::xlsxTruncatedAtEveryTenthByte()
{
    QFile file(QDir(fixtureDir()).filePath(QStringLiteral("openpyxl_basic.xlsx")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    for (qsizetype n = 0; n < bytes.size(); n += 10) {
        Workbook book(Workbook::Kind::Xlsx);
        QVERIFY(!book.loadFromData(bytes.left(n)));
        QVERIFY(!book.errorMessage().isEmpty());
    }
}

namespace {

// The cells of a comma-separated file, quotes as RFC 4180 has them.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field);
    return rows;
}

// Times of day as a suite shows them under "hh:mm:ss" (09:00:00) and as the display rules give
// them (9:00:00) are the same time.
QString withoutLeadingHourZero(const QString &text)
{
    static const QRegularExpression time(QStringLiteral("^0(\\d:\\d\\d(:\\d\\d)?)$"));
    const QRegularExpressionMatch m = time.match(text);
    return m.hasMatch() ? m.captured(1) : text;
}

bool run(const QString &program, const QStringList &args, const QString &dir, QString *output)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(180000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    *output = QString::fromLocal8Bit(p.readAll());
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
    }
    return ok;
}

} // namespace

// The hand-made salary sheet of other suites' habits, converted by the suites themselves where
// they are installed (Gnumeric's ssconvert, LibreOffice's soffice): every cell of the file each
// one writes must show here as the suite itself shows it in its own export of displayed values.
void TestFixtures::producersShowWhatWeShow_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("ssconvert .xlsx") << QStringLiteral("ssconvert") << QStringLiteral("xlsx");
    QTest::newRow("ssconvert .xls") << QStringLiteral("ssconvert") << QStringLiteral("xls");
    QTest::newRow("soffice .xlsx") << QStringLiteral("soffice") << QStringLiteral("xlsx");
    QTest::newRow("soffice .xls") << QStringLiteral("soffice") << QStringLiteral("xls");
}

void TestFixtures::producersShowWhatWeShow()
{
    QFETCH(QString, program);
    QFETCH(QString, suffix);
    const QString exe = QStandardPaths::findExecutable(program);
    // Gnumeric comes with tools/setup-deps; LibreOffice does not, and is only used where present.
    if (exe.isEmpty() && program == QStringLiteral("ssconvert"))
        LUMO_SKIP_WITHOUT_TOOL(qPrintable(
            program + QStringLiteral(" is not installed: the suite's own files are not checked here")));
    if (exe.isEmpty())
        QSKIP(qPrintable(program +
                         QStringLiteral(" is not installed: the suite's own files are not checked here")));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString source = dir.filePath(QStringLiteral("source.xlsx"));
    QVERIFY(QFile::copy(QDir(fixtureDir()).filePath(QStringLiteral("othersuite_formats.xlsx")), source));
    const QString written = dir.filePath(QStringLiteral("written.") + suffix);
    const QString shown = dir.filePath(QStringLiteral("written.csv"));
    QString output;
    if (program == u"ssconvert") {
        QVERIFY2(run(exe, {QStringLiteral("--recalc"), source, written}, dir.path(), &output),
                 qPrintable(output));
        QVERIFY2(run(exe,
                     {QStringLiteral("--export-type=Gnumeric_stf:stf_assistant"),
                      QStringLiteral("--export-options=separator=, format=preserve charset=UTF-8"), written,
                      shown},
                     dir.path(), &output),
                 qPrintable(output));
    } else {
        const QString profile =
            QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile"));
        // A folder of its own for the converted file: converted to .xlsx in place, it would keep
        // the source's name, and the source (formulas without results) would be read instead.
        const QString converted = dir.filePath(QStringLiteral("converted"));
        QVERIFY2(run(exe,
                     {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"), suffix,
                      QStringLiteral("--outdir"), converted, source},
                     dir.path(), &output),
                 qPrintable(output));
        QVERIFY2(QFile::rename(QDir(converted).filePath(QStringLiteral("source.") + suffix), written),
                 qPrintable(output));
        // Field separator, text quote, UTF-8, from the first line; cells as shown.
        QVERIFY2(run(exe,
                     {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                      QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true"),
                      QStringLiteral("--outdir"), dir.path(), written},
                     dir.path(), &output),
                 qPrintable(output));
    }
    QFile csv(shown);
    QVERIFY2(csv.open(QIODevice::ReadOnly), qPrintable(shown));
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(csv.readAll()));
    auto book = Workbook::create(written);
    QVERIFY2(book->load(written), qPrintable(book->errorMessage()));
    const Sheet &sheet = *book->getSheet(0);
    QVERIFY(rows.size() >= 4);
    for (int r = 0; r < int(rows.size()); ++r) {
        for (int c = 0; c < int(rows.at(r).size()); ++c) {
            const QString want = withoutLeadingHourZero(rows.at(r).at(c));
            const QString got = withoutLeadingHourZero(displayCell(*book, sheet, r, c).text);
            QVERIFY2(
                got == want,
                qPrintable(QStringLiteral("R%1C%2: %3, the suite shows %4").arg(r).arg(c).arg(got, want)));
        }
    }
    QCOMPARE(sheet.colWidth(3), 0.0); // the hidden helper column
}

QTEST_GUILESS_MAIN(TestFixtures)
#include "tst_fixtures.moc"
