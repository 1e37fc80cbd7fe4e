// Every workbook under tests/excel/fixtures, made by another program, read and compared with what
// its maker wrote into it (NAME.expected.json, written by tools/make-excel-fixtures beside it).
#include "excel/celldisplay.h"
#include "excel/workbook.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <set>

class TestFixtures : public QObject
{
    Q_OBJECT

private slots:
    void fixture_data();
    void fixture();
    void xlsxTruncatedAtEveryTenthByte();
};

namespace {

QString fixtureDir()
{
    return QStringLiteral(LUMO_SOURCE_DIR "/tests/excel/fixtures");
}

// As lumo-cli sheet dump names them: error values and formulas without a result by their origin.
const char *typeName(const Sheet &sheet, int row, int col)
{
    switch (sheet.cellOrigin(row, col)) {
    case CellOrigin::Error:
        return "error";
    case CellOrigin::Formula:
        return "formula";
    default:
        break;
    }
    switch (sheet.cellType(row, col)) {
    case CellType::Number:
        return "number";
    case CellType::String:
        return "string";
    case CellType::Boolean:
        return "boolean";
    default:
        return "empty";
    }
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
            QVERIFY2(QLatin1String(typeName(sheet, r, c)) == cell.value(QStringLiteral("type")).toString(),
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

QTEST_GUILESS_MAIN(TestFixtures)
#include "tst_fixtures.moc"
