// The year-sheet pages under the current rules: the year-end bonus planning (from a sheet alone and
// from a ledger's year) and the bonus methods compared, against lumo-cli batch plan --rules 2019 on
// the same workbook; the blind-zone tint, every export choice written and read back, an export
// through each page read back by openpyxl and xlrd, history reopening, a stopped or failing load, a
// 停止 clicked while a large sheet is planned, the ledger the month's payroll remembers, and the
// window's batch buttons 3 and 5.
#include "batch/sheetlayout.h"
#include "batch/yearplan.h"
#include "excel/workbook.h"
#include "ledger/payrollmonth.h"
#include "ledger/payrollsheet.h"
#include "pages/batch/batchsavecalcwid.h"
#include "pages/batch/currentbonuswid.h"
#include "pages/batch/currentplanwid.h"
#include "shell/lumo.h"
#include "tests/childrun.h"
#include "tests/pages/batch/sheetreadback.h"
#include "widgets/historylist.h"
#include "widgets/resulttablemodel.h"
#include "widgets/taxrules.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

QString residentId(int k)
{
    const QString first17 = u"110105198502"_s + QString::number(10000 + k).right(5);
    return first17 + idCheckCharacter(first17);
}

// A sheet of text titles over rows of cells (amounts in fen, written as numbers).
void writeSheet(const QString &path, const QStringList &titles,
                const std::vector<std::vector<SheetCell>> &rows)
{
    SheetLayout layout;
    SheetRow heading;
    for (const QString &t : titles)
        heading.cells.push_back(textCell(t, SheetCellStyle::Heading));
    layout.headings = {heading};
    for (const auto &cells : rows)
        layout.rows.push_back({cells, false});
    layout.columnWidths = std::vector<int>(size_t(titles.size()), 100);
    QString error;
    QVERIFY2(writeSheetLayout(layout, path, &error), qPrintable(error));
}

// A year sheet: bonuses at and around the blind zones, wages from nothing to high.
void writeYearSheet(const QString &path)
{
    const Amount bonuses[] = {0,        3600000, 3600001, 3856667,  3856668,  14400000, 15000000, 16050000,
                              30000100, 2000000, 9000000, 42000100, 66000100, 96000100, 100000000};
    std::vector<std::vector<SheetCell>> rows;
    for (int k = 0; k < 30; ++k) {
        const Amount wage = 300000 + Amount(k) * 173311;
        rows.push_back({textCell(QString::number(100 + k)), textCell(u"员工%1"_s.arg(k)), amountCell(wage),
                        amountCell(wage / 10), amountCell(k % 3 ? 200000 : 0), amountCell(k % 4 ? 0 : 50000),
                        amountCell(bonuses[k % std::size(bonuses)])});
    }
    writeSheet(path, yearPlanSourceTitles(), rows);
}

QStringList payrollTitles()
{
    return {payrollFieldTitle(PfCode, false),     payrollFieldTitle(PfName, false),
            payrollFieldTitle(PfIdType, false),   payrollFieldTitle(PfIdNumber, false),
            payrollFieldTitle(PfIncome, false),   payrollFieldTitle(PfPension, false),
            payrollFieldTitle(PfChildEdu, false), payrollFieldTitle(PfBonus, false)};
}

// Employee k's income in month m (0: not paid), their pension and December's bonus.
PayrollInput payrollRow(int k, int m)
{
    PayrollInput in;
    in.sheetRow = k + 2;
    in.code = QString::number(k);
    in.name = u"职工%1"_s.arg(k);
    in.idType = residentIdType();
    in.idNumber = residentId(k);
    in.amounts[PfIncome] = (k == 5 && m < 7) ? 0 : 900000 + Amount(k) * 451234;
    in.amounts[PfPension] = in.amounts[PfIncome] / 12;
    in.amounts[PfChildEdu] = k % 2 ? 200000 * m : 0;
    const Amount december[] = {3800000, 3600000, 15000000, 0, 5000000, 2000000, 30500000, 960000};
    in.amounts[PfBonus] = m == 12 ? december[k % 8] : 0;
    return in;
}

constexpr int kLedgerEmployees = 8;

std::vector<PayrollInput> payrollMonth(int m)
{
    std::vector<PayrollInput> rows;
    for (int k = 0; k < kLedgerEmployees; ++k) {
        PayrollInput in = payrollRow(k, m);
        if (in.amounts[PfIncome] > 0)
            rows.push_back(std::move(in));
    }
    return rows;
}

SheetImport importOf(const QString &path, const QStringList &formulas)
{
    SheetImport import;
    import.file = path;
    import.formulas = formulas;
    return import;
}

SheetImport yearImport(const QString &path)
{
    return importOf(path, yearPlanFormulas(yearPlanSourceTitles(), nullptr));
}

QJsonObject cliPlan(const QStringList &extra)
{
    const childrun::Result cli =
        childrun::run(QStringLiteral(LUMO_CLI_PATH),
                      QStringList{u"batch"_s, u"plan"_s, u"--rules"_s, u"2019"_s} + extra, {}, 120000);
    if (cli.exitCode != 0) {
        qWarning() << cli.err;
        return {};
    }
    return QJsonDocument::fromJson(cli.out).object();
}

QString text(const ResultTableModel *model, int row, const QString &title)
{
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == title)
            return model->data(model->index(row, c)).toString();
    return u"<no column %1>"_s.arg(title);
}

QString fenText(const QJsonValue &v)
{
    return formatAmount(Amount(v.toDouble()));
}

// A page that keeps the last progress its core run reported, to tell a run stopped inside from one
// that went to its end: the planning of every row is reported as 99, the end as 100.
template<class Page> class Watched : public Page
{
public:
    std::atomic<int> lastPercent{-1};

protected:
    bool compute(const SheetImport &import, const RunControl &control, QString *error) override
    {
        RunControl watched{control.cancel, [this, &control](qsizetype done, qsizetype count) {
                               lastPercent = int(done * 100 / count);
                               control.progress(done, count);
                           }};
        return Page::compute(import, watched, error);
    }
};

bool loadAndWait(YearSheetPageBase *page, const SheetImport &import)
{
    QSignalSpy done(page, &YearSheetPageBase::loadFinished);
    page->loadSheet(import);
    page->waitForJob();
    return done.size() == 1 && done.first().first().toBool();
}

} // namespace

class TestCurrentYearPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void planFigures_data();
    void planFigures();
    void bonusFigures_data();
    void bonusFigures();
    void exportChoices_data();
    void exportChoices();
    void exportReadBack_data();
    void exportReadBack();
    void historyReopens_data();
    void historyReopens();
    void failedOrStoppedLoadKeepsResults_data();
    void failedOrStoppedLoadKeepsResults();
    void stopWhilePlanning_data();
    void stopWhilePlanning();
    void remembersTheMonthPagesLedger_data();
    void remembersTheMonthPagesLedger();
    void windowButtons_data();
    void windowButtons();

private:
    YearSheetPageBase *makePage(bool ledger);
    bool loadCase(YearSheetPageBase *page, bool ledger);

    QTemporaryDir m_dir;
    QString m_yearSheet, m_decemberSheet, m_ledger;
    std::vector<std::unique_ptr<QWidget>> m_pages;
};

void TestCurrentYearPages::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("HOME", m_dir.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(u"config"_s).toUtf8());
    m_yearSheet = m_dir.filePath(u"year.xlsx"_s);
    writeYearSheet(m_yearSheet);

    m_ledger = m_dir.filePath(u"ledger.sqlite"_s);
    PayrollLedger ledger(m_ledger);
    QString error;
    QVERIFY2(ledger.openForWriting(&error), qPrintable(error));
    for (int m = 1; m <= 11; ++m) {
        PayrollSheet sheet;
        sheet.rows = payrollMonth(m);
        PayrollMonthRun run;
        QVERIFY2(runPayrollMonth(ledger, std::move(sheet), 2026, m, CurrentRules::BonusMethod::Separate, &run,
                                 &error),
                 qPrintable(error));
        QList<int> later;
        QVERIFY2(ledger.recordMonth(2026, m, u"test"_s, run.entries, &later, &error), qPrintable(error));
    }
    m_decemberSheet = m_dir.filePath(u"december.xlsx"_s);
    std::vector<std::vector<SheetCell>> rows;
    for (const PayrollInput &in : payrollMonth(12))
        rows.push_back({textCell(in.code), textCell(in.name), textCell(in.idType), textCell(in.idNumber),
                        amountCell(in.amounts[PfIncome]), amountCell(in.amounts[PfPension]),
                        amountCell(in.amounts[PfChildEdu]), amountCell(in.amounts[PfBonus])});
    // A row the ledger must refuse: a wrong check character.
    rows.push_back({textCell(u"99"_s), textCell(u"错号"_s), textCell(residentIdType()),
                    textCell(residentId(99).left(17) + u'0'), amountCell(500000), amountCell(0),
                    amountCell(0), amountCell(0)});
    writeSheet(m_decemberSheet, payrollTitles(), rows);
}

void TestCurrentYearPages::init()
{
    m_pages.clear();
    QDir(m_dir.filePath(u"lumo/log"_s)).removeRecursively();
}

YearSheetPageBase *TestCurrentYearPages::makePage(bool ledger)
{
    auto *page = new CurrentPlanWid;
    page->setLedgerPath(ledger ? m_ledger : QString());
    m_pages.emplace_back(page);
    return page;
}

bool TestCurrentYearPages::loadCase(YearSheetPageBase *page, bool ledger)
{
    auto *plan = qobject_cast<CurrentPlanWid *>(page);
    if (plan && ledger) {
        plan->setFromLedger(true, 2026, 12);
        return loadAndWait(page, importOf(m_decemberSheet, payrollAutoFormulas(payrollTitles())));
    }
    if (plan)
        plan->setFromLedger(false);
    return loadAndWait(page, yearImport(m_yearSheet));
}

void TestCurrentYearPages::planFigures_data()
{
    QTest::addColumn<bool>("ledger");
    QTest::newRow("from the sheet alone") << false;
    QTest::newRow("from the ledger's year, December") << true;
}

void TestCurrentYearPages::planFigures()
{
    QFETCH(bool, ledger);
    auto *page = static_cast<CurrentPlanWid *>(makePage(ledger));
    QVERIFY(loadCase(page, ledger));
    QCOMPARE(page->showsLedgerPlan(), ledger);
    QStringList args{ledger ? m_decemberSheet : m_yearSheet, m_dir.filePath(u"cli.xlsx"_s), u"--json"_s};
    if (ledger)
        args << u"--period"_s << u"2026-12"_s << u"--ledger"_s << m_ledger;
    const QJsonObject cli = cliPlan(args);
    const QJsonArray records = cli.value(u"records"_s).toArray();
    QVERIFY(!records.isEmpty());
    const ResultTableModel *model = page->model();
    QCOMPARE(model->dataRows(), records.size());
    const struct
    {
        const char *key;
        QString column;
    } figures[] = {{"plannedBonus", u"计划奖金"_s},      {"plannedTax", u"计划全年税额"_s},
                   {"mergedTax", u"并入工资全年税额"_s}, {"bestBonus", u"最优奖金"_s},
                   {"bestTax", u"最优全年税额"_s},       {"saving", u"节税"_s}};
    int inZone = 0;
    for (int r = 0; r < records.size(); ++r) {
        const QJsonObject rec = records[r].toObject();
        QCOMPARE(text(model, r, u"姓名"_s), rec.value(u"name"_s).toString());
        for (const auto &f : figures)
            QCOMPARE(text(model, r, f.column), fenText(rec.value(QLatin1String(f.key))));
        if (ledger) {
            QCOMPARE(text(model, r, u"本期工资"_s), fenText(rec.value(u"periodWage"_s)));
            QCOMPARE(text(model, r, u"本期应预扣预缴"_s), fenText(rec.value(u"periodWithheld"_s)));
        }
        // The blind zone named and the row tinted exactly when the CLI finds one.
        const bool blind = rec.value(u"blindZone"_s).isArray();
        inZone += blind ? 1 : 0;
        QCOMPARE(model->data(model->index(r, 0), Qt::BackgroundRole).value<QColor>() ==
                     CurrentPlanWid::blindZoneTint(),
                 blind);
        if (blind && !rec.value(u"separateBefore"_s).toBool())
            QVERIFY(text(model, r, u"奖金盲区"_s).contains(u'–'));
    }
    QVERIFY(inZone > 0);
    const int totals = model->dataRows();
    QCOMPARE(text(model, totals, u"最优全年税额"_s), fenText(cli.value(u"bestTaxTotal"_s)));
    QCOMPARE(text(model, totals, u"计划全年税额"_s), fenText(cli.value(u"plannedTaxTotal"_s)));
    QCOMPARE(text(model, totals, u"节税"_s), fenText(cli.value(u"savingTotal"_s)));
    QCOMPARE(text(model, totals, u"奖金盲区"_s), u"%1 人"_s.arg(inZone));
    if (ledger) // the refused row is named on the page
        QVERIFY(page->summary()->text().contains(u"1 行未筹划"_s));
    // No heading is cut: every column is at least as wide as its heading.
    const QHeaderView *headings = page->table()->horizontalHeader();
    for (int c = 0; c < model->columnCount(); ++c)
        QVERIFY2(page->table()->columnWidth(c) >= headings->sectionSizeHint(c),
                 qPrintable(model->headerData(c, Qt::Horizontal).toString()));
}

void TestCurrentYearPages::bonusFigures_data()
{
    QTest::addColumn<int>("year");
    QTest::newRow("2026: both methods") << 2026;
    QTest::newRow("2028: the bonus is only merged") << 2028;
}

void TestCurrentYearPages::bonusFigures()
{
    QFETCH(int, year);
    auto *page = new CurrentBonusWid;
    m_pages.emplace_back(page);
    page->setYear(year);
    QVERIFY(loadAndWait(page, yearImport(m_yearSheet)));
    const QJsonObject cli = cliPlan({m_yearSheet, m_dir.filePath(u"cli.xlsx"_s), u"--json"_s});
    const QJsonArray records = cli.value(u"records"_s).toArray();
    const ResultTableModel *model = page->model();
    QCOMPARE(model->dataRows(), records.size());
    const bool allowed = year <= 2027;
    Amount separate = 0, merged = 0, cheaper = 0;
    int separateCount = 0;
    for (int r = 0; r < records.size(); ++r) {
        const QJsonObject rec = records[r].toObject();
        const Amount s = Amount(rec.value(u"plannedTax"_s).toDouble());
        const Amount m = Amount(rec.value(u"mergedTax"_s).toDouble());
        const bool separateWins = allowed && s < m;
        separate += s;
        merged += m;
        cheaper += separateWins ? s : m;
        separateCount += separateWins ? 1 : 0;
        QCOMPARE(text(model, r, u"单独计税全年税额"_s), allowed ? formatAmount(s) : u"不适用"_s);
        QCOMPARE(text(model, r, u"并入工资全年税额"_s), formatAmount(m));
        QCOMPARE(text(model, r, u"较省税的方式"_s), separateWins ? u"单独计税"_s : u"并入工资"_s);
        QCOMPARE(text(model, r, u"较省方式全年税额"_s), formatAmount(separateWins ? s : m));
        QCOMPARE(model->data(model->index(r, 0), Qt::BackgroundRole).value<QColor>() ==
                     CurrentBonusWid::separateTint(),
                 separateWins);
    }
    QCOMPARE(allowed, separateCount > 0);
    const int totals = model->dataRows();
    QCOMPARE(text(model, totals, u"单独计税全年税额"_s), allowed ? formatAmount(separate) : QString());
    QCOMPARE(text(model, totals, u"并入工资全年税额"_s), formatAmount(merged));
    QCOMPARE(text(model, totals, u"较省方式全年税额"_s), formatAmount(cheaper));
    // Changing the year re-marks the rows.
    page->setYear(allowed ? 2028 : 2026);
    QCOMPARE(text(model, 0, u"单独计税全年税额"_s) == u"不适用"_s, allowed);
}

void TestCurrentYearPages::exportChoices_data()
{
    QTest::addColumn<int>("page"); // 0 plan from the sheet, 1 plan from the ledger, 2 bonus methods
    QTest::addColumn<QStringList>("names");
    QStringList scopes;
    for (YearPlanScope s : kYearPlanScopes)
        scopes << yearPlanScopeName(s);
    QTest::newRow("plan from the sheet: every scope") << 0 << scopes;
    QTest::newRow("plan from the ledger: all and the savers")
        << 1
        << QStringList{yearPlanScopeName(YearPlanScope::Compare), yearPlanScopeName(YearPlanScope::Saving)};
    QTest::newRow("bonus methods compared") << 2 << QStringList{u"奖金计税方式比较"_s};
}

void TestCurrentYearPages::exportChoices()
{
    QFETCH(int, page);
    QFETCH(QStringList, names);
    YearSheetPageBase *p =
        page == 2 ? static_cast<YearSheetPageBase *>(new CurrentBonusWid) : makePage(page == 1);
    if (page == 2)
        m_pages.emplace_back(p);
    QVERIFY(p->exportChoices().empty());
    QVERIFY(loadCase(p, page == 1));
    const std::vector<SheetExportChoice> choices = p->exportChoices();
    QStringList got;
    for (const SheetExportChoice &c : choices)
        got << c.name;
    QCOMPARE(got, names);
    for (size_t k = 0; k < choices.size(); ++k) {
        const SheetLayout layout = choices[k].layout();
        const QString path = m_dir.filePath(u"export%1.xlsx"_s.arg(k));
        QString error;
        QVERIFY2(writeSheetLayout(layout, path, &error), qPrintable(error));
        std::unique_ptr<Workbook> book = Workbook::create(path);
        QVERIFY2(book->load(path), qPrintable(book->errorMessage()));
        const Sheet *sheet = book->getSheet(0);
        QVERIFY(sheet);
        // Read back: the data rows and the totals row as written; every amount of the totals row
        // adds up the rows above it.
        const int first = layout.sheetRowCount() - int(layout.rows.size());
        const int last = layout.sheetRowCount() - 1;
        const bool savers = choices[k].name == yearPlanScopeName(YearPlanScope::Saving);
        QVERIFY(savers ? layout.rows.size() < size_t(p->model()->rowCount())
                       : layout.rows.size() == size_t(p->model()->rowCount()));
        for (int c = 2; c < layout.columnCount(); ++c) {
            const SheetCell &total = layout.rows.back().cells.size() > size_t(c)
                                         ? layout.rows.back().cells[size_t(c)]
                                         : SheetCell();
            if (!total.present || !total.numeric)
                continue;
            double sum = 0, yuan = 0;
            for (int r = first; r < last; ++r)
                sum += sheet->readNum(r, c);
            QVERIFY(amountFromText(total.text, &yuan));
            QCOMPARE(qRound64(sum * 100), qRound64(yuan * 100));
            QCOMPARE(qRound64(sheet->readNum(last, c) * 100), qRound64(yuan * 100));
        }
    }
}

void TestCurrentYearPages::exportReadBack_data()
{
    QTest::addColumn<int>("page"); // 0 plan from the sheet, 1 plan from the ledger, 2 bonus methods
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("choice");
    // The table's columns: their titles and, in the file, "group/column" under the two heading rows.
    QTest::addColumn<QStringList>("columns");
    const QString all = yearPlanScopeName(YearPlanScope::Compare);
    const QStringList sheetPlan{u"编码=基础信息/编码"_s,
                                u"姓名=基础信息/姓名"_s,
                                u"全年应发=全年/全年应发"_s,
                                u"计划奖金=计划方案/全年一次性奖金"_s,
                                u"计划全年税额=计划方案/全年税额"_s,
                                u"奖金盲区=计划方案/奖金盲区"_s,
                                u"并入工资全年税额=全部并入工资/全年税额"_s,
                                u"最优奖金=最优方案/全年一次性奖金"_s,
                                u"最优每月工资=最优方案/每月工资"_s,
                                u"最优全年税额=最优方案/全年税额"_s,
                                u"节税=最优方案/节税"_s};
    QTest::newRow("plan from the sheet, all employees, .xlsx by openpyxl")
        << 0 << u"xlsx"_s << all << sheetPlan;
    QTest::newRow("plan from the sheet, all employees, .xls by xlrd") << 0 << u"xls"_s << all << sheetPlan;
    QTest::newRow("plan from the ledger, all employees, .xls by xlrd")
        << 1 << u"xls"_s << all
        << QStringList{u"工号=基础信息/工号"_s,
                       u"姓名=基础信息/姓名"_s,
                       u"证件号码=基础信息/证件号码"_s,
                       u"本期收入=本期（计划）/本期收入"_s,
                       u"计划奖金=本期（计划）/全年一次性奖金"_s,
                       u"计划全年税额=计划方案/全年税额"_s,
                       u"奖金盲区=计划方案/奖金盲区"_s,
                       u"并入工资全年税额=全部并入工资/全年税额"_s,
                       u"最优奖金=最优方案/全年一次性奖金"_s,
                       u"本期工资=最优方案/本期工资"_s,
                       u"本期应预扣预缴=最优方案/本期应预扣预缴税额"_s,
                       u"奖金税额=最优方案/奖金税额"_s,
                       u"最优全年税额=最优方案/全年税额"_s,
                       u"节税=最优方案/节税"_s};
    const QStringList bonus{u"编码=基础信息/编码"_s,
                            u"姓名=基础信息/姓名"_s,
                            u"全年应发=全年/全年应发"_s,
                            u"全年一次性奖金=全年/全年一次性奖金"_s,
                            u"单独计税全年税额=全年税额/奖金单独计税"_s,
                            u"并入工资全年税额=全年税额/奖金并入工资"_s,
                            u"较省税的方式=较省税的方式/计税方式"_s,
                            u"较省方式全年税额=较省税的方式/全年税额"_s};
    QTest::newRow("bonus methods compared, .xlsx by openpyxl")
        << 2 << u"xlsx"_s << u"奖金计税方式比较"_s << bonus;
    QTest::newRow("bonus methods compared, .xls by xlrd") << 2 << u"xls"_s << u"奖金计税方式比较"_s << bonus;
}

void TestCurrentYearPages::exportReadBack()
{
    QFETCH(int, page);
    QFETCH(QString, suffix);
    QFETCH(QString, choice);
    QFETCH(QStringList, columns);
    const QString path = m_dir.filePath(u"page%1.%2"_s.arg(page).arg(suffix));
    if (!readback::havePythonModule(readback::readerOf(path)))
        LUMO_SKIP_WITHOUT_TOOL("/usr/bin/python3 with openpyxl and xlrd is needed to read the exports back");
    YearSheetPageBase *p = page == 2 ? new CurrentBonusWid : makePage(page == 1);
    if (page == 2)
        m_pages.emplace_back(p);
    QVERIFY(loadCase(p, page == 1));
    testkit::MessageCatcher catcher;
    QCOMPARE(readback::exportThroughPage([p] { p->exportResult(); }, choice, path), path);
    QCOMPARE(catcher.takeAll(), QStringList());
    const QJsonArray rows = readback::readRows(path);
    const ResultTableModel &model = *p->model();
    QCOMPARE(model.columnCount(), columns.size());
    std::vector<int> inFile;
    int headingRow = -1;
    for (int c = 0; c < model.columnCount(); ++c) {
        const QString title = columns[c].section(u'=', 0, 0);
        QCOMPARE(model.headerData(c, Qt::Horizontal).toString(), title);
        int row = -1;
        inFile.push_back(readback::sheetColumn(rows, columns[c].section(u'=', 1), &row));
        QVERIFY2(inFile.back() >= 0, qPrintable(columns[c]));
        QVERIFY(headingRow < 0 || row == headingRow);
        headingRow = row;
    }
    const QString differs = readback::compareWithModel(rows, headingRow, inFile, model);
    QVERIFY2(differs.isEmpty(), qPrintable(differs));
}

void TestCurrentYearPages::historyReopens_data()
{
    QTest::addColumn<int>("page");
    QTest::newRow("plan from the sheet") << 0;
    QTest::newRow("plan from the ledger") << 1;
    QTest::newRow("bonus methods in 2028") << 2;
}

void TestCurrentYearPages::historyReopens()
{
    QFETCH(int, page);
    const auto make = [&]() -> YearSheetPageBase * {
        if (page != 2)
            return makePage(page == 1);
        auto *b = new CurrentBonusWid;
        m_pages.emplace_back(b);
        return b;
    };
    YearSheetPageBase *first = make();
    if (page == 2)
        static_cast<CurrentBonusWid *>(first)->setYear(2028);
    QVERIFY(loadCase(first, page == 1));
    QCOMPARE(first->historyList()->rowCount(), 1);
    const QString entry = historyPathAt(first->historyList(), 0);
    QVERIFY(QFileInfo(entry).isFile());

    // A fresh page (options at their defaults, no ledger offered) reopens the entry by recomputing.
    YearSheetPageBase *again = page == 2 ? make() : makePage(false);
    QSignalSpy done(again, &YearSheetPageBase::loadFinished);
    QVERIFY(again->load(entry));
    again->waitForJob();
    QCOMPARE(done.size(), 1);
    QVERIFY(done.first().first().toBool());
    const ResultTableModel *a = first->model(), *b = again->model();
    QCOMPARE(b->rowCount(), a->rowCount());
    QCOMPARE(b->columnCount(), a->columnCount());
    for (int r = 0; r < a->rowCount(); ++r)
        for (int c = 0; c < a->columnCount(); ++c)
            QCOMPARE(b->data(b->index(r, c)).toString(), a->data(a->index(r, c)).toString());
    if (page == 2)
        QCOMPARE(static_cast<CurrentBonusWid *>(again)->year(), 2028);

    // A cut entry is refused and the page keeps what it shows.
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.resize(file.size() - 3));
    file.close();
    QVERIFY(!again->load(entry));
    QVERIFY(!again->isWorking());
    QCOMPARE(b->rowCount(), a->rowCount());
}

void TestCurrentYearPages::failedOrStoppedLoadKeepsResults_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing workbook") << u"missing.xlsx"_s << false << u"无法读取工作簿"_s;
    QTest::newRow("not a workbook") << u"text.xlsx"_s << false << u"无法读取工作簿"_s;
    QTest::newRow("stopped at once") << u"year.xlsx"_s << true << QString();
}

void TestCurrentYearPages::failedOrStoppedLoadKeepsResults()
{
    QFETCH(QString, file);
    QFETCH(bool, stop);
    QFETCH(QString, message);
    QFile text(m_dir.filePath(u"text.xlsx"_s));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("not a workbook");
    text.close();
    auto *page = static_cast<CurrentPlanWid *>(makePage(false));
    QVERIFY(loadCase(page, false));
    const int rows = page->model()->rowCount();
    const QString before = page->summary()->text();
    if (stop) {
        page->loadSheet(yearImport(m_yearSheet));
        page->stopJob();
        QVERIFY(!page->isWorking());
    } else {
        QVERIFY(!loadAndWait(page, yearImport(m_dir.filePath(file))));
    }
    QCOMPARE(page->model()->rowCount(), rows);
    if (message.isEmpty())
        QCOMPARE(page->summary()->text(), before);
    else
        QVERIFY2(page->summary()->text().contains(message), qPrintable(page->summary()->text()));
    QCOMPARE(page->historyList()->rowCount(), 1);
}

void TestCurrentYearPages::stopWhilePlanning_data()
{
    QTest::addColumn<int>("page"); // 0 plan from the sheet, 1 plan from the ledger, 2 bonus methods
    QTest::newRow("year-end planning from the sheet") << 0;
    QTest::newRow("year-end planning from the ledger's year") << 1;
    QTest::newRow("bonus methods compared") << 2;
}

void TestCurrentYearPages::stopWhilePlanning()
{
    QFETCH(int, page);
    // Large enough that planning the rows gives the window a few turns: the run is stopped, not
    // finished.
    const int rows = 60000;
    const QString path = m_dir.filePath(u"large%1.xlsx"_s.arg(page == 1 ? u"-payroll"_s : QString()));
    SheetImport import;
    if (page == 1) {
        if (!QFileInfo::exists(path)) {
            std::vector<std::vector<SheetCell>> cells;
            cells.reserve(rows);
            for (int k = 0; k < rows; ++k) {
                // Numbers the ledger does not know, each valid: planned from the period alone.
                const QString first17 = u"1101051985%1%2%3"_s.arg(1 + k / 18000 % 12, 2, 10, QLatin1Char('0'))
                                            .arg(10 + k / 1000 % 18)
                                            .arg(k % 1000, 3, 10, QLatin1Char('0'));
                const PayrollInput in = payrollRow(k % kLedgerEmployees, 12);
                cells.push_back({textCell(QString::number(k)), textCell(u"新职工%1"_s.arg(k)),
                                 textCell(in.idType), textCell(first17 + idCheckCharacter(first17)),
                                 amountCell(in.amounts[PfIncome]), amountCell(in.amounts[PfPension]),
                                 amountCell(0), amountCell(in.amounts[PfBonus])});
            }
            writeSheet(path, payrollTitles(), cells);
        }
        import = importOf(path, payrollAutoFormulas(payrollTitles()));
    } else {
        if (!QFileInfo::exists(path)) {
            std::vector<std::vector<SheetCell>> cells;
            cells.reserve(rows);
            for (int k = 0; k < rows; ++k)
                cells.push_back({textCell(QString::number(k)), textCell(u"员工%1"_s.arg(k)),
                                 amountCell(300000 + Amount(k % 997) * 4513), amountCell(30000),
                                 amountCell(0), amountCell(0), amountCell(Amount(k % 613) * 97001)});
            writeSheet(path, yearPlanSourceTitles(), cells);
        }
        import = yearImport(path);
    }
    std::atomic<int> *lastPercent = nullptr;
    YearSheetPageBase *p = nullptr;
    if (page == 2) {
        auto *bonus = new Watched<CurrentBonusWid>;
        lastPercent = &bonus->lastPercent;
        p = bonus;
    } else {
        auto *plan = new Watched<CurrentPlanWid>;
        plan->setLedgerPath(page == 1 ? m_ledger : QString());
        lastPercent = &plan->lastPercent;
        p = plan;
    }
    m_pages.emplace_back(p);
    QVERIFY(loadCase(p, page == 1)); // something shown before, which the stop keeps
    const int shownRows = p->model()->rowCount();
    const QString shownSummary = p->summary()->text();

    // The click lands once the dialog shows the rows being planned (past the read, well before the
    // end).
    bool clicked = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, p, [&] {
        const auto *dialog = p->findChild<QProgressDialog *>();
        if (clicked || !dialog || !dialog->isVisible() || dialog->value() <= 80 || dialog->value() > 90)
            return;
        for (auto *button : dialog->findChildren<QPushButton *>()) {
            if (button->text() == u"停止"_s && button->isVisible()) {
                clicked = true;
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
    });
    watcher.start(1);
    QSignalSpy done(p, &YearSheetPageBase::loadFinished);
    p->loadSheet(import);
    QVERIFY(done.wait(120000));
    watcher.stop();
    QVERIFY(clicked);
    QCOMPARE(done.first().first().toBool(), false);
    // The run itself was stopped while it planned, not left to finish: planning reports 80 to 99.
    QVERIFY2(*lastPercent > 80 && *lastPercent < 99, qPrintable(QString::number(*lastPercent)));
    QVERIFY(!p->isWorking());
    // What was shown stays, no history entry is added for the stopped run.
    QCOMPARE(p->model()->rowCount(), shownRows);
    QCOMPARE(p->summary()->text(), shownSummary);
    QCOMPARE(p->historyList()->rowCount(), 1);
    // The page plans afresh afterwards.
    QVERIFY(loadCase(p, page == 1));
    QCOMPARE(p->model()->rowCount(), shownRows);
}

void TestCurrentYearPages::remembersTheMonthPagesLedger_data()
{
    QTest::addColumn<QString>("remembered"); // what user.ini holds: a file name, or empty for none
    QTest::addColumn<bool>("defaultExists"); // whether ~/lumo/ledger.sqlite exists
    QTest::addColumn<QString>("offered");    // the ledger the page offers, empty for none
    QTest::newRow("the remembered ledger") << u"ledger.sqlite"_s << false << u"ledger.sqlite"_s;
    QTest::newRow("a remembered ledger since deleted: none") << u"gone.sqlite"_s << true << QString();
    QTest::newRow("nothing remembered: the default ledger when it exists")
        << QString() << true << u"lumo/ledger.sqlite"_s;
    QTest::newRow("nothing remembered and no default ledger: none") << QString() << false << QString();
}

void TestCurrentYearPages::remembersTheMonthPagesLedger()
{
    QFETCH(QString, remembered);
    QFETCH(bool, defaultExists);
    QFETCH(QString, offered);
    const QString ini = m_dir.filePath(u"config/lumo/user.ini"_s);
    QFile::remove(ini);
    if (!remembered.isEmpty())
        QVERIFY(rememberLedgerPath(m_dir.filePath(remembered)));
    const QString fallback = m_dir.filePath(u"lumo/ledger.sqlite"_s);
    QFile::remove(fallback);
    if (defaultExists) {
        QVERIFY(QDir().mkpath(QFileInfo(fallback).path()));
        QVERIFY(QFile::copy(m_ledger, fallback));
    }
    CurrentPlanWid page;
    const bool usable = !offered.isEmpty();
    if (usable)
        QCOMPARE(page.ledgerPath(), m_dir.filePath(offered));
    // Planning from the ledger is offered, and chosen for its next month, only for a ledger file.
    page.setFromLedger(true);
    QCOMPARE(page.fromLedger(), usable);
    QFile::remove(ini);
    QFile::remove(fallback);
}

void TestCurrentYearPages::windowButtons_data()
{
    QTest::addColumn<int>("rules");
    QTest::newRow("current rules: the new pages, no note") << int(TaxRules::Current);
    QTest::newRow("2011 rules: the 2011 pages") << int(TaxRules::Rules2011);
}

void TestCurrentYearPages::windowButtons()
{
    QFETCH(int, rules);
    Lumo window;
    window.setRules(TaxRules(rules));
    const bool current = TaxRules(rules) == TaxRules::Current;
    window.actFunction(3);
    QCOMPARE(bool(qobject_cast<CurrentPlanWid *>(window.page(3))), current);
    QCOMPARE(bool(qobject_cast<BatchSaveCalcWid *>(window.page(3))), !current);
    window.actFunction(5);
    QCOMPARE(bool(qobject_cast<CurrentBonusWid *>(window.page(5))), current);
    // Switching the rules rebuilds them.
    window.setRules(current ? TaxRules::Rules2011 : TaxRules::Current);
    QCOMPARE(bool(qobject_cast<CurrentBonusWid *>(window.page(5))), !current);
}

QTEST_MAIN(TestCurrentYearPages)
#include "tst_currentyearpages.moc"
