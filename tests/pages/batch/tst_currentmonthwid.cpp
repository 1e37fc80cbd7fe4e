// The month's payroll page under the current rules: a generated year run month by month through the
// page equals lumo-cli month on the same sheets figure by figure and leaves the same ledger;
// corrections, refusals and undo; rows left out; reopening a history entry; both exports through
// the page, read back by openpyxl and xlrd.
#include "excel/workbook.h"
#include "history/payrollrecords.h"
#include "ledger/payrollmonth.h"
#include "pages/batch/currentmonthwid.h"
#include "pages/batch/payrolldialogs.h"
#include "tests/cli/clirunner.h"
#include "tests/ledger/generatedyear.h"
#include "tests/pages/batch/sheetreadback.h"
#include "tests/testkit.h"
#include "widgets/resulttablemodel.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace generatedyear;

namespace {

SheetImport importOf(const QString &file)
{
    SheetImport import;
    import.file = file;
    auto book = Workbook::create(file);
    if (book->load(file))
        import.formulas = payrollAutoFormulas(sheetTitles(*book, *book->getSheet(0), 1));
    return import;
}

QString period(int m)
{
    return u"2026-%1"_s.arg(m, 2, 10, QLatin1Char('0'));
}

// Waits until the page rests; false when it does not within the time.
bool settle(CurrentMonthWid &page)
{
    return QTest::qWaitFor(
        [&] {
            return page.state() != CurrentMonthWid::State::Reading &&
                   page.state() != CurrentMonthWid::State::Working;
        },
        60000);
}

bool calculateSheet(CurrentMonthWid &page, const QString &file, int m)
{
    page.setPeriod(2026, m);
    page.loadSheet(importOf(file));
    if (!settle(page) || page.state() != CurrentMonthWid::State::Ready)
        return false;
    page.calculate();
    return settle(page) && page.state() == CurrentMonthWid::State::Calculated;
}

// The months a ledger holds, as lumo-cli ledger list gives them: "month:employees:withheld".
QStringList ledgerMonths(const QString &ledger)
{
    const CliRun r = runCli({u"ledger"_s, u"list"_s, u"--ledger"_s, ledger, u"--json"_s});
    QStringList out;
    for (const QJsonValue &v :
         QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"months"_s).toArray()) {
        const QJsonObject o = v.toObject();
        out << u"%1:%2:%3"_s.arg(o.value(u"month"_s).toInt())
                   .arg(o.value(u"employees"_s).toInt())
                   .arg(o.value(u"withheld"_s).toInteger() + o.value(u"bonusTax"_s).toInteger());
    }
    return out;
}

} // namespace

class TestCurrentMonthWid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void generatedYear();
    void corrections_data();
    void corrections();
    void problemRows();
    void exportReadBack_data();
    void exportReadBack();
    void reopenHistory();

private:
    QTemporaryDir m_dir;
    QStringList m_told;
    void answer(CurrentMonthWid &page, bool yes = true)
    {
        page.confirm = [yes](const QString &) { return yes; };
        page.inform = [this](const QString &m) { m_told << m; };
    }
    QString sheet(int m) const { return m_dir.filePath(u"m%1.xlsx"_s.arg(m)); }
};

void TestCurrentMonthWid::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(u"config"_s).toUtf8());
    for (int m = 1; m <= 12; ++m)
        QVERIFY(writeMonthSheet(sheet(m), m));
}

void TestCurrentMonthWid::init()
{
    m_told.clear();
}

void TestCurrentMonthWid::generatedYear()
{
    const QString pageLedger = m_dir.filePath(u"page.sqlite"_s), cliLedger = m_dir.filePath(u"cli.sqlite"_s);
    CurrentMonthWid page;
    answer(page);
    QVERIFY(page.setLedger(pageLedger));
    QCOMPARE(page.month(), QDate::currentDate().month()); // an empty ledger: this month
    for (int m = 1; m <= 12; ++m) {
        QVERIFY2(calculateSheet(page, sheet(m), m), qPrintable(m_told.join(u'\n')));
        const CliRun r = runCli({u"month"_s, sheet(m), m_dir.filePath(u"out.xlsx"_s), u"--period"_s,
                                 period(m), u"--ledger"_s, cliLedger, u"--record"_s, u"--json"_s});
        QVERIFY2(r.exitCode == 0, qPrintable(QString::number(r.exitCode) + r.err + r.out));
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        const QJsonArray records = o.value(u"records"_s).toArray();
        const std::vector<PayrollEntry> &entries = page.run().entries;
        QCOMPARE(qsizetype(entries.size()), records.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            const PayrollEntry &e = entries[i];
            const QJsonObject rec = records.at(qsizetype(i)).toObject();
            const QString where = u"%1 %2"_s.arg(period(m), e.input.name);
            QVERIFY2(rec.value(u"idNumber"_s).toString() == e.input.idNumber, qPrintable(where));
            const std::pair<const char *, Amount> figures[] = {{"cumulativeIncome", e.cumulativeIncome},
                                                               {"cumulativeBasic", e.cumulativeBasic},
                                                               {"cumulativeTaxable", e.cumulativeTaxable},
                                                               {"cumulativeTax", e.cumulativeTax},
                                                               {"withheldBefore", e.withheldBefore},
                                                               {"withheld", e.withheld},
                                                               {"bonusTax", e.bonusTax},
                                                               {"net", e.net},
                                                               {"months", e.months},
                                                               {"rate", e.rate}};
            for (const auto &[key, value] : figures)
                QVERIFY2(rec.value(QLatin1String(key)).toInteger() == value, qPrintable(where + u' ' + key));
        }
        // The table shows the core's cells; its totals row the month's withholding.
        const ResultTableModel *model = page.resultModel();
        QCOMPARE(model->dataRows(), int(entries.size()));
        const int withheldColumn = int(payrollResultTitles(false).indexOf(u"本期应预扣预缴税额"_s));
        QCOMPARE(model->index(model->rowCount() - 1, withheldColumn).data().toString(),
                 formatAmount(page.run().withheld));
        QCOMPARE(model->index(7, withheldColumn).data().toString(), formatAmount(entries[7].withheld));
        QCOMPARE(o.value(u"withheldTotal"_s).toInteger(), page.run().withheld + page.run().bonusTax);
        page.recordMonth();
        QVERIFY(settle(page));
        QVERIFY2(page.isRecorded(), qPrintable(m_told.join(u'\n')));
    }
    QCOMPARE(ledgerMonths(pageLedger), ledgerMonths(cliLedger));
    QCOMPARE(ledgerMonths(pageLedger).size(), 12);

    // An employee's year so far: the eleven recorded months and December.
    page.showEmployeeYear(0);
    auto *year = page.findChild<EmployeeYearDialog *>();
    QVERIFY(year);
    QCOMPARE(year->model()->dataRows(), page.run().entries[0].months);
    // The settlement estimate is the ledger's, as lumo-cli ledger settle gives it.
    page.showSettlement();
    QVERIFY(settle(page));
    auto *settlement = page.findChild<SettlementDialog *>();
    QVERIFY(settlement);
    const CliRun settled = runCli({u"ledger"_s, u"settle"_s, u"--year"_s, u"2026"_s,
                                   m_dir.filePath(u"s.csv"_s), u"--ledger"_s, cliLedger, u"--json"_s});
    const QJsonArray people =
        QJsonDocument::fromJson(settled.out.toUtf8()).object().value(u"employees"_s).toArray();
    QCOMPARE(qsizetype(settlement->settlements().size()), people.size());
    for (qsizetype i = 0; i < people.size(); ++i)
        QCOMPARE(settlement->settlements()[size_t(i)].balance,
                 people[i].toObject().value(u"balance"_s).toInteger());
}

void TestCurrentMonthWid::corrections_data()
{
    QTest::addColumn<int>("recorded"); // months 1.. recorded before
    QTest::addColumn<int>("month");    // then this month is recorded (0: the latest is undone)
    QTest::addColumn<QString>("told");
    QTest::addColumn<int>("after");
    QTest::newRow("the latest month recorded again is corrected") << 2 << 2 << QString() << 2;
    QTest::newRow("the next month is recorded") << 2 << 3 << QString() << 3;
    QTest::newRow("an earlier month is refused, naming the later ones") << 3 << 1 << u"2 月、3 月"_s << 3;
    QTest::newRow("undo removes the latest month") << 3 << 0 << u"已撤销 2026 年 3 月"_s << 2;
}

void TestCurrentMonthWid::corrections()
{
    QFETCH(int, recorded);
    QFETCH(int, month);
    QFETCH(QString, told);
    QFETCH(int, after);
    const QString ledger = m_dir.filePath(u"c%1.sqlite"_s.arg(QTest::currentDataTag()).replace(u' ', u'_'));
    CurrentMonthWid page;
    answer(page);
    QVERIFY(page.setLedger(ledger));
    for (int m = 1; m <= recorded; ++m) {
        QVERIFY(calculateSheet(page, sheet(m), m));
        page.recordMonth();
        QVERIFY(settle(page) && page.isRecorded());
    }
    QVERIFY(page.setLedger(ledger));
    QCOMPARE(page.month(), recorded + 1); // the month after the latest recorded
    if (month > 0) {
        QVERIFY(calculateSheet(page, sheet(month), month));
        page.recordMonth();
        QVERIFY(settle(page));
        QCOMPARE(page.isRecorded(), told.isEmpty());
    } else {
        page.undoLatest();
        QVERIFY(settle(page));
    }
    QVERIFY2(told.isEmpty() ? m_told.isEmpty() : m_told.join(u'\n').contains(told),
             qPrintable(m_told.join(u'\n')));
    QCOMPARE(ledgerMonths(ledger).size(), after);
}

void TestCurrentMonthWid::problemRows()
{
    // A sheet with a wrong check character, a duplicate, a name the ledger knows otherwise and an
    // unreadable amount beside a good row.
    const QString file = m_dir.filePath(u"problems.xlsx"_s);
    SheetLayout layout;
    SheetRow head;
    for (const QString &t : {u"工号"_s, u"*姓名"_s, u"*证件号码"_s, u"本期收入"_s})
        head.cells.push_back(textCell(t));
    layout.headings.push_back(head);
    const QString wrongCheck = idOf(1).left(17) + (idOf(1).endsWith(u'0') ? u'1' : u'0');
    const QStringList rows[] = {
        {u"E0"_s, u"员工0"_s, idOf(0), u"10000"_s}, {u"E1"_s, u"员工1"_s, wrongCheck, u"10000"_s},
        {u"E2"_s, u"员工2"_s, idOf(2), u"10000"_s}, {u"E2"_s, u"员工2"_s, idOf(2), u"10000"_s},
        {u"E3"_s, u"别人"_s, idOf(3), u"10000"_s},  {u"E4"_s, u"员工4"_s, idOf(4), u"一万"_s}};
    for (const QStringList &r : rows) {
        SheetRow row;
        for (const QString &t : r)
            row.cells.push_back(textCell(t));
        layout.rows.push_back(row);
    }
    QString error;
    QVERIFY(writeSheetLayout(layout, file, &error));
    const QString ledger = m_dir.filePath(u"problems.sqlite"_s);
    CurrentMonthWid page;
    answer(page);
    QVERIFY(page.setLedger(ledger));
    QVERIFY(calculateSheet(page, sheet(1), 1));
    page.recordMonth();
    QVERIFY(settle(page) && page.isRecorded());
    QVERIFY(calculateSheet(page, file, 2));
    const CliRun r = runCli({u"month"_s, file, m_dir.filePath(u"p.xlsx"_s), u"--period"_s, period(2),
                             u"--ledger"_s, ledger, u"--json"_s});
    const QJsonArray problems =
        QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"problems"_s).toArray();
    QCOMPARE(qsizetype(page.run().problems.size()), problems.size());
    QCOMPARE(page.run().entries.size(), size_t(1));
    const ResultTableModel *model = page.problemModel();
    QCOMPARE(model->dataRows(), int(problems.size()));
    for (int i = 0; i < model->dataRows(); ++i) {
        const QJsonObject p = problems[i].toObject();
        QCOMPARE(model->index(i, 0).data().toInt(), p.value(u"row"_s).toInt());
        QCOMPARE(model->index(i, 3).data().toString(), p.value(u"reason"_s).toString());
        QVERIFY(model->index(i, 0).data(Qt::BackgroundRole).value<QColor>().isValid());
    }
}

void TestCurrentMonthWid::exportReadBack_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("suffix");
    const QString results = u"本月计算结果"_s, declaration = payrollTemplateName();
    QTest::newRow("the month's results as .xlsx, read by openpyxl") << results << u"xlsx"_s;
    QTest::newRow("the month's results as .xls, read by xlrd") << results << u"xls"_s;
    QTest::newRow("扣缴申报 as .xlsx, read by openpyxl") << declaration << u"xlsx"_s;
    QTest::newRow("扣缴申报 as .xls, read by xlrd") << declaration << u"xls"_s;
}

void TestCurrentMonthWid::exportReadBack()
{
    QFETCH(QString, choice);
    QFETCH(QString, suffix);
    const QString path = m_dir.filePath(u"export-%1.%2"_s.arg(QTest::currentDataTag()).arg(suffix));
    if (!readback::havePythonModule(readback::readerOf(path)))
        LUMO_SKIP_WITHOUT_TOOL("/usr/bin/python3 with openpyxl and xlrd is needed to read the exports back");
    CurrentMonthWid page;
    answer(page);
    QVERIFY(page.setLedger(m_dir.filePath(u"export.sqlite"_s)));
    QVERIFY(calculateSheet(page, sheet(3), 3));
    testkit::MessageCatcher catcher;
    QCOMPARE(readback::exportThroughPage([&] { page.exportResult(); }, choice, path), path);
    QCOMPARE(catcher.takeAll(), QStringList());
    const QJsonArray rows = readback::readRows(path);
    const ResultTableModel &model = *page.resultModel();
    QVERIFY(model.dataRows() > 0);
    // The results: the table's columns under its titles, below the title, with the totals row.
    // 扣缴申报: no title, the template's titles, the inputs (the table's first columns) and no totals.
    const bool declaration = choice == payrollTemplateName();
    int headingRow = 0;
    if (!declaration)
        QCOMPARE(readback::sheetColumn(rows, model.headerData(0, Qt::Horizontal).toString(), &headingRow), 0);
    QVERIFY(declaration || headingRow > 0);
    QCOMPARE(rows.at(headingRow).toArray().size(), declaration ? kTemplateFieldCount : model.columnCount());
    std::vector<int> columns;
    for (int c = 0; c < (declaration ? kTemplateFieldCount - 1 : model.columnCount()); ++c) {
        columns.push_back(c);
        if (!declaration)
            QCOMPARE(rows.at(headingRow).toArray().at(c).toString(),
                     model.headerData(c, Qt::Horizontal).toString());
    }
    const QString differs = readback::compareWithModel(rows, headingRow, columns, model, !declaration);
    QVERIFY2(differs.isEmpty(), qPrintable(differs));
}

void TestCurrentMonthWid::reopenHistory()
{
    const QString ledger = m_dir.filePath(u"history.sqlite"_s);
    QDir(QDir::homePath() + u"/lumo/log"_s).removeRecursively();
    std::vector<PayrollEntry> recorded;
    {
        CurrentMonthWid page;
        answer(page);
        QVERIFY(page.setLedger(ledger));
        for (int m = 1; m <= 2; ++m) {
            QVERIFY(calculateSheet(page, sheet(m), m));
            page.recordMonth();
            QVERIFY(settle(page) && page.isRecorded());
        }
        recorded = page.run().entries;
    }
    const QStringList files = listHistoryFiles(historyDir(), u"*.pm19"_s);
    QCOMPARE(files.size(), 4); // each month previewed, then recorded
    CurrentMonthWid page;
    answer(page);
    QVERIFY(page.setLedger(m_dir.filePath(u"elsewhere.sqlite"_s)));
    QVERIFY(page.load(files.last()));
    QVERIFY(settle(page));
    QCOMPARE(page.state(), CurrentMonthWid::State::Calculated);
    QCOMPARE(page.ledgerPath(), ledger);
    QCOMPARE(page.month(), 2);
    QCOMPARE(page.run().entries.size(), recorded.size());
    for (size_t i = 0; i < recorded.size(); ++i)
        QCOMPARE(page.run().entries[i].withheld, recorded[i].withheld);
    QVERIFY(page.statusLabel()->text().contains(u"仍是"_s));
    {
        QFile record(files.last());
        QVERIFY(record.open(QIODevice::ReadOnly));
        const QByteArray bytes = record.readAll();
        testkit::saveSeed(u"pm19_record"_s, bytes);
        testkit::saveSeed(u"pm19_damaged_last_bytes_missing"_s, bytes.left(bytes.size() - 3));
    }
    // A damaged entry changes nothing.
    QFile damaged(files.last());
    QVERIFY(damaged.open(QIODevice::ReadWrite));
    damaged.resize(damaged.size() - 3);
    damaged.close();
    QVERIFY(!page.load(files.last()));
}

QTEST_MAIN(TestCurrentMonthWid)
#include "tst_currentmonthwid.moc"
