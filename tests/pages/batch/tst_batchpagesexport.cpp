// Export of the planning and apportionment pages in every scope, to .xlsx and .xls, through the
// export wizard as a user drives it, read back: each exported row is the row of the page table the
// scope stands for (before, after, the merged comparison, the effective comparison), amounts are
// number cells with the value the page shows, codes, names, rates and process texts are texts,
// and the totals rows come last. One workbook is also read by openpyxl.
#include "batch/columncatalogue.h"
#include "batch/exporttemplate.h"
#include "engine/amount.h"
#include "excel/workbook.h"
#include "pages/batch/batchapportioncalcwid.h"
#include "pages/batch/batchsavecalcwid.h"
#include "tests/pages/batch/batchtestkit.h"
#include "tests/testkit.h"
#include "wizards/export/exportfilepage.h"
#include "wizards/export/exportsettingpage.h"
#include "wizards/export/exporttemplatepage.h"
#include "wizards/export/exportwizard.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;
using namespace batchtest;

namespace {

// Planning: a bonus just above a step (helped), one below the threshold (not helped), another
// helped one; apportionment: the worked example and two more.
const QList<Row> kPlanRows{{u"001"_s, u"甲"_s, 8000, 500, 18001},
                           {u"002"_s, u"乙"_s, 3000, 0, 0},
                           {u"003"_s, u"丙"_s, 12000, 1200.5, 40000}};
const QList<Row> kApportionRows{{u"001"_s, u"甲"_s, 5800, 0, 6000},
                                {u"002"_s, u"乙"_s, 9000, 800, 12000},
                                {u"003"_s, u"丙"_s, 4000, 0, 0}};

// An amount as the pages show it ("-1,234.56"); rates ("20%") and process texts are not.
bool isAmountText(const QString &text)
{
    static const QRegularExpression amount(u"^-?[0-9][0-9,]*(\\.[0-9]+)?$"_s);
    return amount.match(text).hasMatch();
}

// The wizard from its file page to the written file: the template "…比对结果" or "…后计算结果",
// then the scope on the settings page.
bool exportThroughWizard(ExportWizard &wizard, const QString &path, int scope)
{
    wizard.restart();
    wizard.filePage()->fileEdit()->setText(path);
    wizard.next();
    if (wizard.currentId() != ExportWizard::TemplatePage)
        return false;
    wizard.templatePage()->titleEdit()->setText(QString());
    wizard.templatePage()->templateBox()->setCurrentIndex(2);
    wizard.next();
    if (wizard.currentId() != ExportWizard::SettingPage)
        return false;
    QAbstractButton *button = wizard.settingPage()->scopeButtons()->button(scope);
    if (!button)
        return false;
    button->setChecked(true);
    wizard.next();
    if (wizard.currentId() != ExportWizard::ReadyPage || wizard.exportScope() != scope)
        return false;
    MessageCatcher catcher;
    return wizard.validateCurrentPage() && QFile::exists(path);
}

// A row of a page table.
struct PageRow
{
    const QTableWidget *table;
    int row;
};

// The data rows of a page table (below its two title rows), but those in `leftOut`.
QList<PageRow> rowsOf(const QTableWidget *table, const QList<int> &leftOut = {})
{
    QList<PageRow> rows;
    for (int r = 2; r < table->rowCount(); ++r) {
        if (!leftOut.contains(r))
            rows.append({table, r});
    }
    return rows;
}

// Every exported result column of every data row against the page rows the scope stands for.
void compareRows(const Sheet *sheet, const QList<ExportColumn> &columns, const QList<PageRow> &expected)
{
    constexpr int kHeadingRows = 2;
    const int rows = int(expected.size());
    QCOMPARE(sheet->lastRow(), kHeadingRows + rows - 1);
    int checkedNumbers = 0;
    for (int r = 0; r < rows; ++r) {
        for (int k = 0; k < columns.size(); ++k) {
            const ExportColumn &column = columns[k];
            if (column.type != 1)
                continue;
            const int sheetRow = kHeadingRows + r;
            const QString text = cell(expected[r].table, expected[r].row, column.column);
            const QString where = u"row %1, %2: “%3”"_s.arg(sheetRow).arg(column.name, text);
            if (text.isEmpty()) {
                QVERIFY2(sheet->cellType(sheetRow, k) == CellType::Empty ||
                             sheet->readStr(sheetRow, k).isEmpty(),
                         qPrintable(where));
            } else if (isAmountText(text) && column.column > 1) {
                QVERIFY2(sheet->cellType(sheetRow, k) == CellType::Number, qPrintable(where));
                QCOMPARE(sheet->readNum(sheetRow, k), QString(text).remove(u',').toDouble());
                ++checkedNumbers;
            } else {
                QVERIFY2(sheet->cellType(sheetRow, k) == CellType::String, qPrintable(where));
                QCOMPARE(sheet->readStr(sheetRow, k), text);
            }
        }
    }
    QVERIFY(checkedNumbers > rows);
}

} // namespace

class TestBatchPagesExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void everyScopeReadBack_data();
    void everyScopeReadBack();
    void comparisonReadByOpenpyxl();

private:
    std::unique_ptr<QTemporaryDir> m_home;
    QString m_oldCurrent;
};

void TestBatchPagesExport::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", m_home->path().toLocal8Bit());
    // The export settings file lives in the working directory.
    m_oldCurrent = QDir::currentPath();
    QDir::setCurrent(m_home->path());
}

void TestBatchPagesExport::cleanup()
{
    QDir::setCurrent(m_oldCurrent);
    m_home.reset();
}

void TestBatchPagesExport::everyScopeReadBack_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("scope");
    QTest::addColumn<QString>("suffix");
    for (const QString &suffix : {u"xlsx"_s, u"xls"_s}) {
        for (int scope : {ScopeBefore, ScopeAfter, ScopeComparison, ScopeEffective})
            QTest::addRow("planning, %s, scope %d", qPrintable(suffix), scope)
                << int(BatchPlanPage) << scope << suffix;
        for (int scope : {ScopeBefore, ScopeAfter, ScopeComparison})
            QTest::addRow("apportionment, %s, scope %d", qPrintable(suffix), scope)
                << int(BatchApportionPage) << scope << suffix;
    }
}

void TestBatchPagesExport::everyScopeReadBack()
{
    QFETCH(int, mode);
    QFETCH(int, scope);
    QFETCH(QString, suffix);
    const QString path = m_home->filePath(u"导出."_s + suffix);
    std::unique_ptr<QWidget> page;
    QList<PageRow> expected;
    std::unique_ptr<ExportWizard> wizard;
    MessageCatcher catcher;
    if (mode == BatchPlanPage) {
        auto *plan = new BatchSaveCalcWid;
        page.reset(plan);
        fillSource(plan->sourceTable(), kPlanRows);
        plan->importFinished();
        plan->setOptions(0, 1, 6);
        plan->start();
        QVERIFY(catcher.waitForMessage());
        // The "有效" totals row above the overall one stays out of a before or after export; the
        // effective comparison is the page's own "筹划对照", ending with the "有效" totals pair that
        // adds up the people it lists.
        const int effectiveTotals = plan->beforeTable()->rowCount() - 2;
        const QTableWidget *all = plan->allTable();
        const QTableWidget *effective = plan->effectiveTable();
        switch (scope) {
        case ScopeBefore:
            expected = rowsOf(plan->beforeTable(), {effectiveTotals});
            break;
        case ScopeAfter:
            expected = rowsOf(plan->afterTable(), {effectiveTotals});
            break;
        case ScopeComparison:
            expected = rowsOf(all);
            break;
        default:
            expected = rowsOf(effective);
        }
        // Someone is helped and someone is not, so the effective scope leaves a row out.
        QVERIFY(plan->effectiveTable()->rowCount() < plan->allTable()->rowCount());
        wizard = std::make_unique<ExportWizard>(plan->sourceTable(), plan->beforeTable(), plan->afterTable(),
                                                mode);
    } else {
        auto *apportion = new BatchApportionCalcWid;
        page.reset(apportion);
        fillSource(apportion->sourceTable(), kApportionRows);
        apportion->importFinished();
        apportion->monthsBox()->setValue(3);
        apportion->calc();
        QVERIFY(catcher.waitForMessage());
        const QTableWidget *tables[] = {apportion->beforeTable(), apportion->afterTable(),
                                        apportion->resultTable()};
        expected = rowsOf(tables[scope]);
        wizard = std::make_unique<ExportWizard>(apportion->sourceTable(), apportion->beforeTable(),
                                                apportion->afterTable(), mode);
    }
    QVERIFY(exportThroughWizard(*wizard, path, scope));
    const QList<ExportColumn> columns = wizard->columns();
    QVERIFY(!columns.isEmpty());

    Workbook book(suffix == u"xls" ? Workbook::Kind::Xls : Workbook::Kind::Xlsx);
    QVERIFY2(book.load(path), qPrintable(book.errorMessage()));
    const Sheet *sheet = book.getSheet(0);
    QVERIFY(sheet);
    compareRows(sheet, columns, expected);
    // The last row is a totals row: its caption where the name goes.
    const int nameAt = [&] {
        for (int k = 0; k < columns.size(); ++k)
            if (columns[k].type == 1 && columns[k].column == 1)
                return k;
        return -1;
    }();
    QVERIFY(nameAt >= 0);
    QCOMPARE(sheet->readStr(sheet->lastRow(), nameAt), cell(expected.last().table, expected.last().row, 1));
    QVERIFY(!sheet->readStr(sheet->lastRow(), nameAt).isEmpty());
}

void TestBatchPagesExport::comparisonReadByOpenpyxl()
{
    {
        QProcess probe;
        probe.start(u"/usr/bin/python3"_s, {u"-c"_s, u"import openpyxl"_s});
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            LUMO_SKIP_WITHOUT_TOOL(
                "/usr/bin/python3 with openpyxl is not installed: not checked by an independent reader");
    }
    BatchSaveCalcWid page;
    fillSource(page.sourceTable(), kPlanRows);
    page.importFinished();
    page.setOptions(1, 1, 12);
    MessageCatcher catcher;
    page.start();
    QVERIFY(catcher.waitForMessage());
    ExportWizard wizard(page.sourceTable(), page.beforeTable(), page.afterTable(), BatchPlanPage);
    const QString path = m_home->filePath(u"对照.xlsx"_s);
    QVERIFY(exportThroughWizard(wizard, path, ScopeComparison));
    const QList<ExportColumn> columns = wizard.columns();

    // Every cell as [row, column, value, is-a-number].
    static const char script[] = R"PY(
import json, sys, openpyxl
s = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
out = []
for row in s.iter_rows():
    for c in row:
        if c.value is not None:
            out.append([c.row - 1, c.column - 1, c.value, isinstance(c.value, (int, float))])
print(json.dumps(out))
)PY";
    QProcess p;
    p.start(u"/usr/bin/python3"_s, {u"-c"_s, QString::fromUtf8(script), path});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    QHash<QPair<int, int>, QJsonArray> cells;
    for (const QJsonValue &v : QJsonDocument::fromJson(p.readAllStandardOutput()).array())
        cells.insert({v[0].toInt(), v[1].toInt()}, v.toArray());
    const QTableWidget *expected = page.allTable();
    int numbers = 0;
    for (int r = 2; r < expected->rowCount(); ++r) {
        for (int k = 0; k < columns.size(); ++k) {
            if (columns[k].type != 1)
                continue;
            const QString text = cell(expected, r, columns[k].column);
            const QJsonArray got = cells.value({r, k});
            if (text.isEmpty()) {
                QVERIFY(got.isEmpty() || got[2].toString().isEmpty());
                continue;
            }
            QVERIFY2(!got.isEmpty(), qPrintable(u"row %1 column %2"_s.arg(r).arg(k)));
            if (isAmountText(text) && columns[k].column > 1) {
                QVERIFY(got[3].toBool());
                QCOMPARE(got[2].toDouble(), QString(text).remove(u',').toDouble());
                ++numbers;
            } else {
                QVERIFY(!got[3].toBool());
                QCOMPARE(got[2].toString(), text);
            }
        }
    }
    QVERIFY(numbers > 0);
    // Nothing below the last totals row.
    for (auto it = cells.cbegin(); it != cells.cend(); ++it)
        QVERIFY(it.key().first < expected->rowCount());
}

QTEST_MAIN(TestBatchPagesExport)
#include "tst_batchpagesexport.moc"
