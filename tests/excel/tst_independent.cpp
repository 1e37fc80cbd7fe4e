// Files this layer writes, read by independent readers: xlrd for .xls, openpyxl for .xlsx. The
// readers run under Debian's /usr/bin/python3; a test says so and skips when one is missing.
#include "excel/workbook.h"
#include "tests/testkit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestIndependent : public QObject
{
    Q_OBJECT

private slots:
    void readBack_data();
    void readBack();
};

namespace {

// Prints what the reader sees as JSON: per sheet its name, string cells, merges, widths (stored,
// with padding) and, per cell, font name, size, bold, horizontal alignment, left border and fill.
const char kReader[] = R"PY(
import json, sys
path = sys.argv[1]
out = []
if path.endswith('.xls'):
    import xlrd
    b = xlrd.open_workbook(path, formatting_info=True)
    for s in b.sheets():
        cells = []
        for r in range(s.nrows):
            for c in range(s.ncols):
                cell = s.cell(r, c)
                if cell.ctype != xlrd.XL_CELL_TEXT:
                    continue
                xf = b.xf_list[cell.xf_index]
                f = b.font_list[xf.font_index]
                cells.append({'r': r, 'c': c, 'v': cell.value, 'font': f.name, 'size': f.height / 20.0,
                              'bold': bool(f.bold), 'align': xf.alignment.hor_align,
                              'left': xf.border.left_line_style,
                              'fill': xf.background.pattern_colour_index if xf.background.fill_pattern else 0})
        out.append({'name': s.name, 'cells': cells,
                    'merges': [[a, b_ - 1, c, d - 1] for a, b_, c, d in s.merged_cells],
                    'widths': {str(k): v.width / 256.0 for k, v in s.colinfo_map.items()}})
else:
    import openpyxl
    from openpyxl.utils import column_index_from_string
    b = openpyxl.load_workbook(path)
    aligns = {None: 0, 'general': 0, 'left': 1, 'center': 2, 'right': 3, 'justify': 5}
    for s in b.worksheets:
        cells = []
        for row in s.iter_rows():
            for cell in row:
                if not isinstance(cell.value, str):
                    continue
                fill = cell.fill.fgColor.rgb if cell.fill.fill_type == 'solid' else 0
                cells.append({'r': cell.row - 1, 'c': cell.column - 1, 'v': cell.value, 'font': cell.font.name,
                              'size': float(cell.font.sz), 'bold': bool(cell.font.b),
                              'align': aligns.get(cell.alignment.horizontal, -1),
                              'left': 1 if cell.border.left.style == 'thin' else 0,
                              'fill': fill})
        widths = {}
        for key, dim in s.column_dimensions.items():
            if dim.width:
                for c in range(dim.min, dim.max + 1):
                    widths[str(c - 1)] = dim.width
        out.append({'name': s.title, 'cells': cells,
                    'merges': [[m.min_row - 1, m.max_row - 1, m.min_col - 1, m.max_col - 1] for m in s.merged_cells.ranges],
                    'widths': widths})
print(json.dumps(out))
)PY";

bool haveModule(const QString &module)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import ") + module});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

void TestIndependent::readBack_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QVariant>("fill23"); // how the reader names palette colour 23
    QTest::newRow("xls read by xlrd") << QStringLiteral("xls") << QStringLiteral("xlrd") << QVariant(23);
    QTest::newRow("xlsx read by openpyxl")
        << QStringLiteral("xlsx") << QStringLiteral("openpyxl") << QVariant(QStringLiteral("FF808080"));
}

void TestIndependent::readBack()
{
    QFETCH(QString, suffix);
    QFETCH(QString, module);
    QFETCH(QVariant, fill23);
    if (!haveModule(module))
        LUMO_SKIP_WITHOUT_TOOL(qPrintable(
            QStringLiteral("/usr/bin/python3 with %1 is not installed: the written file is not checked "
                           "by an independent reader (tools/setup-deps installs it)")
                .arg(module)));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.") + suffix);
    {
        auto book = Workbook::create(path);
        Font *heading = book->addFont();
        heading->setName(QStringLiteral("微软雅黑"));
        heading->setSize(11);
        heading->setBold(true);
        Font *body = book->addFont();
        body->setName(QStringLiteral("微软雅黑"));
        body->setSize(10);
        Format *h = book->addFormat();
        h->setFont(heading);
        h->setAlignH(CellAlignH::Center);
        h->setBorder(CellBorder::Thin);
        h->setFillPattern(CellFill::Solid);
        h->setPatternForegroundColor(23);
        Format *b = book->addFormat();
        b->setFont(body);
        b->setAlignH(CellAlignH::Right);
        Sheet *s = book->addSheet(QStringLiteral("lumo"));
        s->writeStr(0, 0, QStringLiteral("应发工资"), h);
        s->setMerge(0, 0, 0, 2);
        s->writeStr(1, 0, QStringLiteral("1,234.50"), b);
        s->writeStr(1, 2, QStringLiteral("张三"), b);
        s->setCol(0, 0, 20);
        s->setCol(2, 2, 10.5);
        book->addSheet(QStringLiteral("第二页"))->writeStr(3, 1, QStringLiteral("二"));
        QVERIFY2(book->save(path), qPrintable(book->errorMessage()));
    }
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(kReader), path});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    const QJsonArray sheets = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
    QCOMPARE(sheets.size(), 2);
    const QJsonObject s = sheets.at(0).toObject();
    QCOMPARE(s.value(QStringLiteral("name")).toString(), QStringLiteral("lumo"));
    QCOMPARE(s.value(QStringLiteral("merges")).toArray(), (QJsonArray{QJsonArray{0, 0, 0, 2}}));
    // 20 characters are 145 pixels: 20.71 stored; 10.5 are 78.5, drawn as 79: 10.57 + padding.
    const QJsonObject widths = s.value(QStringLiteral("widths")).toObject();
    QCOMPARE(widths.value(QStringLiteral("0")).toDouble(), 5302 / 256.0);
    QCOMPARE(widths.value(QStringLiteral("2")).toDouble(), 2889 / 256.0);
    const QJsonArray cells = s.value(QStringLiteral("cells")).toArray();
    QCOMPARE(cells.size(), 3);
    const QJsonObject title = cells.at(0).toObject();
    QCOMPARE(title.value(QStringLiteral("v")).toString(), QStringLiteral("应发工资"));
    QCOMPARE(title.value(QStringLiteral("font")).toString(), QStringLiteral("微软雅黑"));
    QCOMPARE(title.value(QStringLiteral("size")).toDouble(), 11.0);
    QVERIFY(title.value(QStringLiteral("bold")).toBool());
    QCOMPARE(title.value(QStringLiteral("align")).toInt(), 2);
    QCOMPARE(title.value(QStringLiteral("left")).toInt(), 1);
    QCOMPARE(title.value(QStringLiteral("fill")).toVariant(), fill23);
    const QJsonObject amount = cells.at(1).toObject();
    QCOMPARE(amount.value(QStringLiteral("v")).toString(), QStringLiteral("1,234.50"));
    QCOMPARE(amount.value(QStringLiteral("r")).toInt(), 1);
    QCOMPARE(amount.value(QStringLiteral("size")).toDouble(), 10.0);
    QVERIFY(!amount.value(QStringLiteral("bold")).toBool());
    QCOMPARE(amount.value(QStringLiteral("align")).toInt(), 3);
    QCOMPARE(amount.value(QStringLiteral("left")).toInt(), 0);
    QCOMPARE(cells.at(2).toObject().value(QStringLiteral("v")).toString(), QStringLiteral("张三"));
    const QJsonObject second = sheets.at(1).toObject();
    QCOMPARE(second.value(QStringLiteral("name")).toString(), QStringLiteral("第二页"));
    QCOMPARE(
        second.value(QStringLiteral("cells")).toArray().at(0).toObject().value(QStringLiteral("r")).toInt(),
        3);
}

QTEST_GUILESS_MAIN(TestIndependent)
#include "tst_independent.moc"
