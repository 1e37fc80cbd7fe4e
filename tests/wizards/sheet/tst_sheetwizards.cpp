// The import wizard for the sheets the core reads itself (a month's payroll, a year sheet) walked
// over the sample sheets against lumo-cli; a saved setting per mode found again by the wizard and by
// lumo-cli, and the command line's fallback to the settings of the older pages; the export dialog
// writing each choice, read back by another program, and leaving an existing file alone on failure.
#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "batch/settingsfiles.h"
#include "batch/sheetsource.h"
#include "batch/yearplan.h"
#include "excel/workbook.h"
#include "ledger/payrollsheet.h"
#include "tests/testkit.h"
#include "widgets/formulabox.h"
#include "widgets/ptablewidget.h"
#include "wizards/export/sheetexportwizard.h"
#include "wizards/import/datacheckpage.h"
#include "wizards/import/datacontrastpage.h"
#include "wizards/import/datadefinepage.h"
#include "wizards/import/datareadypage.h"
#include "wizards/import/datasourcepage.h"
#include "wizards/import/importwizard.h"
#include "wizards/import/sheettargets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Keeps each message box's texts as "main|informative" and answers it: "是" to a question, else OK.
class MessageCatcher : public QObject
{
public:
    MessageCatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                m_texts << box->text() + u'|' + box->informativeText();
                box->done(box->button(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok);
            }
        });
        m_timer.start(5);
    }
    QStringList takeAll() { return std::exchange(m_texts, {}); }

private:
    QTimer m_timer;
    QStringList m_texts;
};

QString examplePath(int mode)
{
    return QStringLiteral(LUMO_EXAMPLES_DIR) + u'/' +
           (mode == PayrollMonthPage ? u"月度工资表示例.xlsx"_s : u"年终奖筹划表示例.xlsx"_s);
}

// lumo-cli's JSON answer for the sample of `mode` (month: a preview against an empty ledger; year:
// the plan from the sheet alone), with `extra` options.
QJsonObject cliAnswer(int mode, const QString &dir, const QStringList &extra, int *exitCode = nullptr)
{
    QStringList args =
        mode == PayrollMonthPage
            ? QStringList{u"month"_s,   examplePath(mode), dir + u"/month.xlsx"_s,   u"--period"_s,
                          u"2026-01"_s, u"--ledger"_s,     dir + u"/ledger.sqlite"_s}
            : QStringList{u"batch"_s, u"plan"_s,         u"--rules"_s,
                          u"2019"_s,  examplePath(mode), dir + u"/plan.xlsx"_s};
    args << extra << u"--json"_s;
    QProcess cli;
    cli.start(QStringLiteral(LUMO_CLI_PATH), args);
    if (!cli.waitForFinished(60000))
        return {};
    if (exitCode)
        *exitCode = cli.exitCode();
    return QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
}

// The sum of a key over the answer's records.
double recordsTotal(const QJsonObject &answer, const QString &key)
{
    double total = 0;
    for (const QJsonValue &r : answer.value(u"records"_s).toArray())
        total += r.toObject().value(key).toDouble();
    return total;
}

// The key whose total a changed formula moves: the month's income, the year's planned bonus.
QString movedKey(int mode)
{
    return mode == PayrollMonthPage ? u"income"_s : u"plannedBonus"_s;
}

struct Walk
{
    explicit Walk(int mode) : wizard(nullptr, mode) { wizard.restart(); }
    bool to(int id, const QString &file, int setting = 0) { return wizard.stepTo(id, file, setting); }
    bool next(int id)
    {
        wizard.next();
        return wizard.currentId() == id;
    }
    bool finish()
    {
        wizard.accept();
        return wizard.result() == QDialog::Accepted;
    }
    ImportWizard wizard;
};

// A sheet of two choices as a page offers them: a result with a title, and a template without one.
std::vector<SheetExportChoice> exportChoices(int rows = 2)
{
    const auto build = [rows](bool titled) {
        SheetLayout layout;
        layout.title = titled ? u"结果"_s : QString();
        layout.titleSpan = 3;
        layout.headings.push_back(
            {{textCell(u"工号"_s), textCell(u"姓名"_s), textCell(u"本期收入"_s)}, false});
        for (int r = 0; r < rows; ++r)
            layout.rows.push_back(
                {{textCell(u"E%1"_s.arg(r + 1)), textCell(u"员工%1"_s.arg(r + 1)), amountCell(1000000 + r)},
                 false});
        layout.columnWidths = {60, 80, 100};
        return layout;
    };
    return {{u"本月结果"_s, [=] { return build(true); }}, {u"扣缴申报"_s, [=] { return build(false); }}};
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSheetWizards : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void importReadsWhatTheCliReads_data();
    void importReadsWhatTheCliReads();
    void savedSettingFoundAgain_data();
    void savedSettingFoundAgain();
    void cliFallsBackToOlderSettings_data();
    void cliFallsBackToOlderSettings();
    void mappingRefusals_data();
    void mappingRefusals();
    void largeSheetShowsItsFirstRows();
    void exportWritesEachChoice_data();
    void exportWritesEachChoice();
    void failedExportKeepsTheFile_data();
    void failedExportKeepsTheFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSheetWizards::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // "importset.ini" lies in the settings folder under this home, for the wizard and lumo-cli.
    qputenv("HOME", m_dir->path().toLocal8Bit());
    QVERIFY(QDir().mkpath(settingsFolder()));
}

void TestSheetWizards::importReadsWhatTheCliReads_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("fields");
    QTest::newRow("payroll month sample, every template field matched") << int(PayrollMonthPage) << 29;
    QTest::newRow("year sheet sample, every column matched")
        << int(YearSheetPage) << int(kYearPlanSourceColumns);
}

void TestSheetWizards::importReadsWhatTheCliReads()
{
    QFETCH(int, mode);
    QFETCH(int, fields);
    MessageCatcher catcher;
    Walk walk(mode);
    QVERIFY(walk.to(ImportWizard::ContrastPageId, examplePath(mode)));
    // No setting: the columns are matched by their titles on arrival.
    int mapped = 0;
    for (int k = 0; k < walk.wizard.contrastPage()->targetCount(); ++k)
        mapped += walk.wizard.contrastPage()->formulaBox(k)->editText().isEmpty() ? 0 : 1;
    QCOMPARE(mapped, fields);
    QVERIFY(walk.next(ImportWizard::CheckPageId));
    QVERIFY(walk.next(ImportWizard::ReadyPageId));
    QVERIFY(walk.finish());
    QCOMPARE(catcher.takeAll(), QStringList());

    const SheetImport recipe = walk.wizard.sheetImport();
    QCOMPARE(recipe.file, examplePath(mode));
    QCOMPARE(recipe.sheetIndex, 0);
    QCOMPARE(recipe.titleRow, 1);
    QCOMPARE(recipe.range.first, 2);
    QCOMPARE(recipe.range.last, 0);
    QCOMPARE(recipe.formulas.size(), qsizetype(sheetTargets(mode).size()));

    // The rows the core reads with the recipe are the rows lumo-cli reads, field by field.
    std::unique_ptr<Workbook> book = Workbook::create(recipe.file);
    QVERIFY(book->load(recipe.file));
    const Sheet *sheet = book->getSheet(recipe.sheetIndex);
    QVERIFY(sheet);
    int exitCode = -1;
    const QJsonObject answer = cliAnswer(mode, m_dir->path(), {}, &exitCode);
    QCOMPARE(exitCode, 0);
    const QJsonArray records = answer.value(u"records"_s).toArray();
    QVERIFY(!records.isEmpty());
    // Sheet row → code, name and the amount movedKey() names, as the core reads the recipe.
    QHash<int, QStringList> read;
    if (mode == PayrollMonthPage) {
        const PayrollSheet rows = readPayrollSheet(*book, *sheet, recipe.formulas, recipe.range);
        QCOMPARE(rows.rowsRead, answer.value(u"rowsRead"_s).toInt());
        for (const PayrollInput &in : rows.rows)
            read.insert(in.sheetRow, {in.code, in.name, QString::number(in.amounts[PfIncome])});
        // The sample's row with a wrong check character is read, and left out by the month.
        QCOMPARE(read.size(), records.size() + 1);
    } else {
        const SheetRecords rows = readSheetRecords(*book, *sheet, yearPlanSourceTitles(), recipe.formulas,
                                                   recipe.range, kSheetAmounts);
        for (const SheetRecord &r : rows.records)
            read.insert(r.sheetRow,
                        {r.code, r.name, QString::number(r.amounts[YearBonus - YearMonthlyGross])});
        QCOMPARE(read.size(), records.size());
    }
    for (const QJsonValue &v : records) {
        const QJsonObject o = v.toObject();
        QCOMPARE(read.value(o.value(u"row"_s).toInt()),
                 QStringList({o.value(u"code"_s).toString(), o.value(u"name"_s).toString(),
                              QString::number(qint64(o.value(movedKey(mode)).toDouble()))}));
    }
    // The preview showed the sample's rows as the reader gave them, no more than it reads.
    const PTableWidget *preview = walk.wizard.checkPage()->previewTable();
    QCOMPARE(preview->rowCount(), int(read.size()));
    QCOMPARE(preview->columnCount(), fields + 1);
    QCOMPARE(testkit::cellText(preview, 0, 0), u"2"_s);
}

void TestSheetWizards::savedSettingFoundAgain_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("formula");
    QTest::newRow("payroll month: 本期收入 doubled") << int(PayrollMonthPage) << int(PfIncome) << u"E*2"_s;
    QTest::newRow("year sheet: planned bonus doubled") << int(YearSheetPage) << int(YearBonus) << u"G*2"_s;
}

void TestSheetWizards::savedSettingFoundAgain()
{
    QFETCH(int, mode);
    QFETCH(int, field);
    QFETCH(QString, formula);
    MessageCatcher catcher;
    SheetImport saved;
    {
        Walk walk(mode);
        QVERIFY(walk.to(ImportWizard::ContrastPageId, examplePath(mode)));
        walk.wizard.contrastPage()->formulaBox(field)->setEditText(formula);
        QVERIFY(walk.next(ImportWizard::CheckPageId));
        QVERIFY(walk.next(ImportWizard::ReadyPageId));
        walk.wizard.readyPage()->saveBox()->setChecked(true);
        walk.wizard.readyPage()->nameEdit()->setText(u"我的设定"_s);
        QVERIFY(walk.finish());
        saved = walk.wizard.sheetImport();
        QCOMPARE(saved.formulas.at(field), formula);
    }
    QCOMPARE(catcher.takeAll(), QStringList());
    // Saved in the mode's own group only; the standard sample's setting is not offered here.
    const ImportSettingsFile file;
    QCOMPARE(file.read(mode).names(), QStringList{u"我的设定"_s});
    QCOMPARE(file.read(mode == PayrollMonthPage ? BatchCalcPage : BatchPlanPage, false).names(),
             QStringList());

    // The wizard offers it again and settles the same recipe with it.
    Walk again(mode);
    QCOMPARE(again.wizard.sourcePage()->settingBox()->itemText(1), u"我的设定"_s);
    QVERIFY(again.to(ImportWizard::ReadyPageId, examplePath(mode), 1));
    QVERIFY(again.finish());
    const SheetImport reopened = again.wizard.sheetImport();
    QCOMPARE(reopened.formulas, saved.formulas);
    QCOMPARE(reopened.titleRow, saved.titleRow);
    QCOMPARE(reopened.range.first, saved.range.first);

    // lumo-cli finds it by name and reads the doubled column.
    int exitCode = -1;
    const QJsonObject plain = cliAnswer(mode, m_dir->path(), {}, &exitCode);
    QCOMPARE(exitCode, 0);
    const QJsonObject withSetting =
        cliAnswer(mode, m_dir->path(), {u"--setting"_s, u"我的设定"_s}, &exitCode);
    QCOMPARE(exitCode, 0);
    QVERIFY(recordsTotal(plain, movedKey(mode)) > 0);
    QCOMPARE(recordsTotal(withSetting, movedKey(mode)), 2 * recordsTotal(plain, movedKey(mode)));
}

void TestSheetWizards::cliFallsBackToOlderSettings_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("savedIn");        // the groups a setting of the name is saved in
    QTest::addColumn<QStringList>("movedFormulas"); // the moved column's formula, per group
    QTest::addColumn<int>("factor");
    QTest::newRow("month: a tax calculation page setting")
        << int(PayrollMonthPage) << QList<int>{BatchCalcPage} << QStringList{u"E*3"_s} << 3;
    QTest::newRow("month: the payroll group before the tax calculation page")
        << int(PayrollMonthPage) << QList<int>{BatchCalcPage, PayrollMonthPage}
        << QStringList{u"E*3"_s, u"E*2"_s} << 2;
    QTest::newRow("year: a planning page setting")
        << int(YearSheetPage) << QList<int>{BatchPlanPage} << QStringList{u"G*3"_s} << 3;
    QTest::newRow("year: the year sheet group before the planning page")
        << int(YearSheetPage) << QList<int>{BatchPlanPage, YearSheetPage} << QStringList{u"G*3"_s, u"G*2"_s}
        << 2;
}

void TestSheetWizards::cliFallsBackToOlderSettings()
{
    QFETCH(int, mode);
    QFETCH(QList<int>, savedIn);
    QFETCH(QStringList, movedFormulas);
    QFETCH(int, factor);
    ImportSettingsFile file;
    for (qsizetype i = 0; i < savedIn.size(); ++i) {
        ImportSetting setting;
        setting.name = u"工资"_s;
        // Titles as the older pages saved them: this program's own, extra columns by their names.
        if (mode == PayrollMonthPage)
            setting.columns = {{u"编码"_s, 40, u"A"_s},
                               {u"姓名"_s, 60, u"B"_s},
                               {u"证件号码"_s, 80, u"D"_s},
                               {u"月应发工资"_s, 80, movedFormulas[i]}};
        else
            setting.columns = {{u"编码"_s, 40, u"A"_s},
                               {u"姓名"_s, 60, u"B"_s},
                               {u"月应发工资"_s, 80, u"C"_s},
                               {u"年终奖金"_s, 80, movedFormulas[i]}};
        QVERIFY2(file.save(savedIn[i], 1, 0, setting), qPrintable(file.errorString()));
    }
    int exitCode = -1;
    const QJsonObject plain = cliAnswer(mode, m_dir->path(), {}, &exitCode);
    QCOMPARE(exitCode, 0);
    const QJsonObject withSetting = cliAnswer(mode, m_dir->path(), {u"--setting"_s, u"工资"_s}, &exitCode);
    QCOMPARE(exitCode, 0);
    QCOMPARE(recordsTotal(withSetting, movedKey(mode)), factor * recordsTotal(plain, movedKey(mode)));
    // A name neither group holds is refused.
    cliAnswer(mode, m_dir->path(), {u"--setting"_s, u"没有"_s}, &exitCode);
    QCOMPARE(exitCode, 2);
}

void TestSheetWizards::mappingRefusals_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<int>>("cleared");
    QTest::addColumn<QString>("message");
    QTest::newRow("month without 证件号码")
        << int(PayrollMonthPage) << QList<int>{PfIdNumber} << u"没有【姓名】或【证件号码】列"_s;
    QTest::newRow("month without 姓名")
        << int(PayrollMonthPage) << QList<int>{PfName} << u"没有【姓名】或【证件号码】列"_s;
    QTest::newRow("year sheet without code and name")
        << int(YearSheetPage) << QList<int>{YearCode, YearName} << u"没有【编码】和【姓名】列"_s;
    QTest::newRow("year sheet with a column the sheet lacks")
        << int(YearSheetPage) << QList<int>{} << u"工作表中没有的列|“其他扣除”的取数公式“Z”"_s;
}

void TestSheetWizards::mappingRefusals()
{
    QFETCH(int, mode);
    QFETCH(QList<int>, cleared);
    QFETCH(QString, message);
    Walk walk(mode);
    QVERIFY(walk.to(ImportWizard::ContrastPageId, examplePath(mode)));
    for (const int k : cleared)
        walk.wizard.contrastPage()->formulaBox(k)->setEditText(QString());
    if (cleared.isEmpty())
        walk.wizard.contrastPage()->formulaBox(YearOther)->setEditText(u"Z"_s);
    MessageCatcher catcher;
    QVERIFY(!walk.next(ImportWizard::CheckPageId));
    const QStringList messages = catcher.takeAll();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().contains(message), qPrintable(messages.first()));
    // The reader's fields only: the page offers no column of the user's own.
    QCOMPARE(walk.wizard.contrastPage()->targetCount(), int(sheetTargets(mode).size()));
}

void TestSheetWizards::largeSheetShowsItsFirstRows()
{
    // A year sheet of 1,000 employees under a title and above a totals row.
    SheetLayout layout;
    layout.title = u"年终奖筹划"_s;
    layout.titleSpan = 7;
    SheetRow headings;
    for (const QString &t : yearPlanSourceTitles())
        headings.cells.push_back(textCell(t));
    layout.headings.push_back(headings);
    for (int r = 0; r < 1000; ++r)
        layout.rows.push_back(
            {{textCell(QString::number(1001 + r)), textCell(u"员工%1"_s.arg(r)), amountCell(800000),
              amountCell(140000), amountCell(100000), amountCell(0), amountCell(3600000)},
             false});
    layout.rows.push_back({{textCell(QString()), textCell(u"合计"_s)}, true});
    const QString path = m_dir->filePath(u"large.xlsx"_s);
    QString error;
    QVERIFY2(writeSheetLayout(layout, path, &error), qPrintable(error));

    MessageCatcher catcher;
    Walk walk(YearSheetPage);
    QVERIFY(walk.to(ImportWizard::DefinePageId, path));
    const auto *table = qobject_cast<PTableWidget *>(walk.wizard.definePage()->tabs()->widget(0));
    QVERIFY(table);
    QCOMPARE(table->rowCount(), kShownSheetRows);
    // The shape comes from the whole sheet: titles under the title, the totals row left out.
    QCOMPARE(walk.wizard.definePage()->titleBox()->value(), 4);
    QCOMPARE(walk.wizard.definePage()->lastBox()->value(), 1004);
    QVERIFY(walk.next(ImportWizard::ContrastPageId));
    QVERIFY(walk.next(ImportWizard::CheckPageId));
    QCOMPARE(walk.wizard.checkPage()->previewTable()->rowCount(), 100);
    QVERIFY(!walk.wizard.checkPage()->previewCoversRange());
    QVERIFY(walk.next(ImportWizard::ReadyPageId));
    QVERIFY(walk.finish());
    QCOMPARE(catcher.takeAll(), QStringList());
    const SheetImport recipe = walk.wizard.sheetImport();
    std::unique_ptr<Workbook> book = Workbook::create(path);
    QVERIFY(book->load(path));
    const SheetRecords rows = readSheetRecords(*book, *book->getSheet(0), yearPlanSourceTitles(),
                                               recipe.formulas, recipe.range, kSheetAmounts);
    QCOMPARE(int(rows.records.size()), 1000);
    QVERIFY(rows.unreadable.empty());
}

void TestSheetWizards::exportWritesEachChoice_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("reader"); // a Python module, or empty for the text of a CSV file
    QTest::addColumn<QStringList>("firstCells");
    const QStringList titled{u"三月工资"_s, u"工号"_s, u"E1"_s};
    const QStringList plain{u"工号"_s, u"E1"_s, u"E2"_s};
    QTest::newRow("result as .xlsx read by openpyxl") << u"xlsx"_s << 0 << u"openpyxl"_s << titled;
    QTest::newRow("result as .xls read by xlrd") << u"xls"_s << 0 << u"xlrd"_s << titled;
    QTest::newRow("template as .xlsx keeps no title") << u"xlsx"_s << 1 << u"openpyxl"_s << plain;
    QTest::newRow("result as .csv") << u"csv"_s << 0 << QString() << titled;
}

void TestSheetWizards::exportWritesEachChoice()
{
    QFETCH(QString, suffix);
    QFETCH(int, choice);
    QFETCH(QString, reader);
    QFETCH(QStringList, firstCells);
    SheetExportDialog dialog(u"stem"_s, exportChoices());
    QCOMPARE(dialog.titleEdit()->text(), u"stem"_s);
    dialog.choiceBox()->setCurrentIndex(choice);
    const QString path = m_dir->filePath(u"三月工资."_s + suffix);
    dialog.fileEdit()->setText(path);
    // The title follows the file's name until the user types one.
    QCOMPARE(dialog.titleEdit()->text(), u"三月工资"_s);
    MessageCatcher catcher;
    dialog.accept();
    QCOMPARE(catcher.takeAll(), QStringList());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.written(), path);

    // The first column's non-empty cells, top down, as another program reads them.
    QStringList cells;
    if (reader.isEmpty()) {
        for (const QString &line : QString::fromUtf8(fileBytes(path)).remove(QChar(0xFEFF)).split(u'\n')) {
            const QString first = line.section(u',', 0, 0).remove(u'"').trimmed();
            if (!first.isEmpty())
                cells << first;
        }
    } else {
        QProcess probe;
        probe.start(u"/usr/bin/python3"_s, {u"-c"_s, u"import "_s + reader});
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            LUMO_SKIP_WITHOUT_TOOL(qPrintable(u"/usr/bin/python3 with %1 is not installed"_s.arg(reader)));
        const QString script =
            reader == u"xlrd"_s ? u"import sys, xlrd\ns = xlrd.open_workbook(sys.argv[1]).sheet_by_index(0)\n"
                                  u"for r in range(s.nrows):\n    v = s.cell_value(r, 0)\n"
                                  u"    if v != '': print(v)\n"_s
                                : u"import sys, openpyxl\ns = openpyxl.load_workbook(sys.argv[1]).active\n"
                                  u"for (v,) in s.iter_rows(max_col=1, values_only=True):\n"
                                  u"    if v not in (None, ''): print(v)\n"_s;
        QProcess python;
        python.start(u"/usr/bin/python3"_s, {u"-c"_s, script, path});
        QVERIFY(python.waitForFinished(30000));
        QCOMPARE(python.exitCode(), 0);
        cells = QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
    QCOMPARE(cells.mid(0, 3), firstCells);
}

void TestSheetWizards::failedExportKeepsTheFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<QString>("message");
    QTest::newRow(".xls cannot hold 70,000 rows") << u"old.xls"_s << 70000 << true << u".xlsx"_s;
    QTest::newRow("a read-only file is not replaced") << u"old.xlsx"_s << 2 << true << u"只读"_s;
    QTest::newRow("a missing folder") << u"missing/new.xlsx"_s << 2 << false << u"不存在"_s;
}

void TestSheetWizards::failedExportKeepsTheFile()
{
    QFETCH(QString, file);
    QFETCH(int, rows);
    QFETCH(bool, existing);
    QFETCH(QString, message);
    const QString path = m_dir->filePath(file);
    const QByteArray before("an earlier export");
    if (existing) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(before);
        old.close();
        if (message == u"只读"_s)
            QVERIFY(old.setPermissions(QFile::ReadOwner | QFile::ReadUser));
    }
    SheetExportDialog dialog(u"stem"_s, exportChoices(rows));
    dialog.fileEdit()->setText(path);
    MessageCatcher catcher;
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(dialog.written().isEmpty());
    // The overwrite question (answered yes) and then the reason.
    const QString said = catcher.takeAll().join(u'\n');
    QVERIFY2(said.contains(message), qPrintable(said));
    QCOMPARE(QFileInfo::exists(path), existing);
    if (existing)
        QCOMPARE(fileBytes(path), before);
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files).size(), existing ? 1 : 0);
}

QTEST_MAIN(TestSheetWizards)
#include "tst_sheetwizards.moc"
