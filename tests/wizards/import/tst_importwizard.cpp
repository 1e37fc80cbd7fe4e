// The import wizard as a user drives it, offscreen: the file checks, the worksheet tables and their
// display rule, the row range, damaged and hostile workbooks, cancelling a large read, the mapping
// (automatic, saved, kept when going back), the preview, overwrite and append with the user's own
// columns, "importset.ini" (damaged, unwritable, two keys for an unnamed save), and the standard
// sample sheet imported and calculated on the batch tax page against lumo-cli.
#include "batch/columncatalogue.h"
#include "batch/importsetting.h"
#include "batch/settingsfiles.h"
#include "engine/amount.h"
#include "excel/cellkind.h"
#include "excel/workbook.h"
#include "pages/batch/batchcalcwid.h"
#include "tests/excel/testbooks.h"
#include "tests/testkit.h"
#include "widgets/formulabox.h"
#include "widgets/pheaderview.h"
#include "widgets/ptablewidget.h"
#include "widgets/salarytablelayout.h"
#include "wizards/import/datacheckpage.h"
#include "wizards/import/datacontrastpage.h"
#include "wizards/import/datadefinepage.h"
#include "wizards/import/datareadypage.h"
#include "wizards/import/datasourcepage.h"
#include "wizards/import/importwizard.h"
#include "wizards/import/worksheettable.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Keeps each message box's texts as "main|informative".
struct MessageCatcher : testkit::MessageCatcher
{
    MessageCatcher() : testkit::MessageCatcher(u"|"_s) {}
};

CatalogueTree sourceTree(int mode)
{
    return mode == 1 ? TreePlanSource : mode == 2 ? TreeApportionSource : TreeCalcSource;
}

using testkit::cellText;

// A batch page's source table and a wizard on it, stepped through like a user would.
struct Run
{
    explicit Run(int mode = 0, PTableWidget *table = nullptr, ColumnGroup *extension = nullptr)
        : target(table ? table : &own), wizard(target, mode)
    {
        wizard.setExtension(extension);
        if (!table)
            layoutSalaryTable(&own, sourceTree(mode), true);
        wizard.restart();
    }
    bool toRange(const QString &path, int setting = -1)
    {
        wizard.sourcePage()->pathEdit()->setText(path);
        if (setting >= 0)
            wizard.sourcePage()->settingBox()->setCurrentIndex(setting);
        wizard.next();
        return wizard.currentId() == ImportWizard::DefinePageId;
    }
    bool toMapping()
    {
        wizard.next();
        return wizard.currentId() == ImportWizard::ContrastPageId;
    }
    bool toCheck()
    {
        wizard.next();
        return wizard.currentId() == ImportWizard::CheckPageId;
    }
    bool toReady()
    {
        wizard.next();
        return wizard.currentId() == ImportWizard::ReadyPageId;
    }
    // "执行": the last page's validation imports.
    bool finish()
    {
        wizard.accept();
        return wizard.result() == QDialog::Accepted;
    }
    DataContrastPage *mapping() const { return wizard.contrastPage(); }
    void setFormula(int k, const QString &formula) { mapping()->formulaBox(k)->setEditText(formula); }
    QString formula(int k) const { return mapping()->formulaBox(k)->editText(); }
    PTableWidget *preview() const { return wizard.checkPage()->previewTable(); }

    PTableWidget own;
    PTableWidget *target;
    ImportWizard wizard;
};

} // namespace

class TestImportWizard : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void noSettingsFile();
    void sourceFileChecks_data();
    void sourceFileChecks();
    void fileDialogSetUp();
    void displayRule_data();
    void displayRule();
    void swappedRangeIsColoured();
    void badWorkbookStaysOnSource_data();
    void badWorkbookStaysOnSource();
    void oneRowSheetReachesTheEnd();
    void cancelWhileReadingALargeSheet();
    void cancelWhileReadingTheFile();
    void farCornerCellStaysSmall();
    void missingSheetFallsBackToTheFirst();
    void autoMatch_data();
    void autoMatch();
    void dragAWorksheetColumn();
    void backAndForthKeepsFormulas();
    void sameSettingIsNotReloaded();
    void settingWithExtraColumns();
    void previewRange_data();
    void previewRange();
    void noCodeNameIsRefused();
    void previewIsBounded();
    void rowsWithoutCodeAndNameAreSkipped();
    void overwriteAndAppend();
    void modesImportIntoTheirOwnLayout_data();
    void modesImportIntoTheirOwnLayout();
    void unnamedSaveWritesTwoKeys();
    void namedSaveReadsBack();
    void damagedSettingsCarryOn();
    void unwritableSettingsAreReported();
    void headerIconsAndEditor();
    void importButtonRunsTheWizard();
    void standardSheetEqualsTheCommandLine_data();
    void standardSheetEqualsTheCommandLine();
    void autoMatchAndFormulaOnTheStandardSheet();
    void rangeProposal_data();
    void rangeProposal();
    void nothingToImportChangesNothing_data();
    void nothingToImportChangesNothing();
    void formulaBeyondTheSheet_data();
    void formulaBeyondTheSheet();
    void keyboardThroughTheImport();

private:
    QString examplePath(const QString &suffix) const;
    // A one-sheet workbook of numbers and texts, written by the workbook layer.
    QString writeBook(const QString &name, const QList<QStringList> &rows);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

void TestImportWizard::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    // "importset.ini" lies in the settings folder under this home.
    qputenv("HOME", m_dir->path().toLocal8Bit());
    QVERIFY(QDir().mkpath(settingsFolder()));
}

void TestImportWizard::cleanup()
{
    QDir::setCurrent(m_oldDir);
}

QString TestImportWizard::examplePath(const QString &suffix) const
{
    return QStringLiteral(LUMO_EXAMPLES_DIR) + u"/标准工资表."_s + suffix;
}

QString TestImportWizard::writeBook(const QString &name, const QList<QStringList> &rows)
{
    const QString path = m_dir->filePath(name);
    const auto book = Workbook::create(path);
    Sheet *sheet = book->addSheet(u"工资表"_s);
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size(); ++c) {
            const QString &text = rows[r][c];
            bool number = false;
            const double value = text.toDouble(&number);
            if (text.isEmpty())
                continue;
            if (number)
                sheet->writeNum(r, c, value);
            else
                sheet->writeStr(r, c, text);
        }
    }
    return book->save(path) ? path : QString();
}

void TestImportWizard::noSettingsFile()
{
    Run run;
    QComboBox *box = run.wizard.sourcePage()->settingBox();
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->itemText(0), u"不使用已有设定"_s);
    QCOMPARE(box->itemText(1), standardImportSettingName());
    QCOMPARE(box->currentIndex(), 0);
    QVERIFY(run.toRange(examplePath(u"xls"_s)));
    DataDefinePage *range = run.wizard.definePage();
    QCOMPARE(range->firstBox()->value(), 2);
    QCOMPARE(range->lastBox()->value(), 0);
    QCOMPARE(range->titleBox()->value(), 1);
    QCOMPARE(range->tabs()->currentIndex(), 0);
    QVERIFY(!range->holdsWorkbook());
}

void TestImportWizard::sourceFileChecks_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty path") << QString() << u"错误|请选择一个数据源文件。"_s;
    QTest::newRow("no such file") << u"missing.xls"_s << u"错误|请选择一个数据源文件。"_s;
    QTest::newRow("csv refused")
        << u"salary.csv"_s
        << u"错误|对不起，软件只支持从 Excel 格式文件导入数据，请选择 xls 或 xlsx 格式文件。"_s;
    QTest::newRow("upper-case XLSX opens") << u"SALARY.XLSX"_s << QString();
    QTest::newRow("upper-case XLS opens") << u"SALARY.XLS"_s << QString();
}

void TestImportWizard::sourceFileChecks()
{
    QFETCH(QString, file);
    QFETCH(QString, message);
    QString path;
    if (file.endsWith(u"csv"_s)) {
        path = m_dir->filePath(file);
        QFile csv(path);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("编码,姓名\n1,甲\n");
    } else if (file == u"SALARY.XLSX"_s || file == u"SALARY.XLS"_s) {
        // The suffix decides the format, in any letter case: a .xlsx read as .xls would fail.
        path = m_dir->filePath(file);
        QVERIFY(QFile::copy(examplePath(file.endsWith(u'X') ? u"xlsx"_s : u"xls"_s), path));
    } else if (!file.isEmpty()) {
        path = m_dir->filePath(file);
    }
    Run run;
    MessageCatcher catcher;
    const bool moved = run.toRange(path);
    const QStringList messages = catcher.takeAll();
    if (message.isEmpty()) {
        QVERIFY(moved);
        QVERIFY2(messages.isEmpty(), qPrintable(messages.join(u'\n')));
        QCOMPARE(run.wizard.definePage()->tabs()->count(), 1);
        QCOMPARE(run.wizard.fileName(), path);
    } else {
        QVERIFY(!moved);
        QCOMPARE(messages, QStringList{message});
    }
}

void TestImportWizard::fileDialogSetUp()
{
    QCOMPARE(DataSourcePage::fileFilter(), u"工资表 (*.xls *.xlsx)"_s);
    // No examples beside the test program; one in the working directory is where the dialog starts.
    QCOMPARE(DataSourcePage::startDirectory(), QDir::currentPath());
    QVERIFY(QDir().mkdir(u"examples"_s));
    QCOMPARE(DataSourcePage::startDirectory(), QDir::currentPath() + u"/examples"_s);
}

void TestImportWizard::displayRule_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("xls") << u"xls"_s;
    QTest::newRow("xlsx") << u"xlsx"_s;
}

void TestImportWizard::displayRule()
{
    QFETCH(QString, suffix);
    const QString path = m_dir->filePath(u"formats."_s + suffix);
    {
        const auto book = Workbook::create(path);
        Sheet *sheet = book->addSheet(u"格式"_s);
        Format *f4 = book->addFormat();
        f4->setNumFormat(4);
        Format *f3 = book->addFormat();
        f3->setNumFormat(3);
        Format *f14 = book->addFormat();
        f14->setNumFormat(14);
        sheet->writeNum(0, 0, 1234.5);
        sheet->writeNum(0, 1, 1200);
        sheet->writeNum(0, 2, 1234567.891, f4);
        sheet->writeNum(0, 3, -123456, f3);
        sheet->writeBool(0, 4, true);
        sheet->writeNum(0, 5, 41275, f14); // 2013-01-01
        sheet->writeStr(0, 7, u"文字"_s);
        QVERIFY(book->save(path));
    }
    Run run;
    QVERIFY(run.toRange(path));
    auto *table = qobject_cast<PTableWidget *>(run.wizard.definePage()->tabs()->widget(0));
    QVERIFY(table);
    QCOMPARE(table->columnCount(), 8);
    QCOMPARE(table->model()->headerData(7, Qt::Horizontal).toString(), u"H"_s);
    struct Expected
    {
        QString text;
        int kind;
        QVariant number;
    };
    const Expected expected[] = {
        {u"1234.5"_s, NumberCell, 1234.5},
        {u"1200"_s, NumberCell, 1200.0},
        {u"1,234,567.89"_s, NumberCell, 1234567.891},
        {u"-123,456"_s, NumberCell, -123456.0},
        {u"True"_s, TextCell, QVariant()},
        {u"2013-01-01"_s, DateCell, QVariant()},
        {QString(), TextCell, QVariant()}, // empty: no item, read as an empty text cell
        {u"文字"_s, TextCell, QVariant()},
    };
    for (int c = 0; c < 8; ++c) {
        const QTableWidgetItem *item = table->item(0, c);
        QCOMPARE(item ? item->text() : QString(), expected[c].text);
        QCOMPARE(item ? item->type() : int(TextCell), expected[c].kind);
        QCOMPARE(item ? item->data(kCellNumberRole) : QVariant(), expected[c].number);
    }
}

void TestImportWizard::swappedRangeIsColoured()
{
    QList<QStringList> rows;
    for (int r = 0; r < 12; ++r)
        rows << QStringList{QString::number(r + 1), u"名%1"_s.arg(r)};
    const QString path = writeBook(u"rows.xlsx"_s, rows);
    Run run;
    QVERIFY(run.toRange(path));
    DataDefinePage *range = run.wizard.definePage();
    range->firstBox()->setValue(8);
    range->lastBox()->setValue(5);
    range->titleBox()->setValue(2);
    auto *table = qobject_cast<PTableWidget *>(range->tabs()->widget(0));
    for (int r = 0; r < 12; ++r) {
        const int row = r + 1;
        const QColor expected = row == 2               ? RowRangeDelegate::titleColour()
                                : row >= 5 && row <= 8 ? RowRangeDelegate::dataColour()
                                                       : QColor();
        QCOMPARE(DataDefinePage::rowColour(table, r), expected);
    }
    // Last row 0 colours up to the sheet's end.
    range->lastBox()->setValue(0);
    QCOMPARE(DataDefinePage::rowColour(table, 11), RowRangeDelegate::dataColour());
    QCOMPARE(DataDefinePage::rowColour(table, 7), RowRangeDelegate::dataColour());
    QCOMPARE(DataDefinePage::rowColour(table, 6), QColor());
}

void TestImportWizard::badWorkbookStaysOnSource_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text named .xlsx") << u"bad.xlsx"_s << QByteArray("编码,姓名\n1,甲\n");
    QTest::newRow("text named .xls") << u"bad.xls"_s << QByteArray("not a workbook at all");
    QTest::newRow("empty .xls") << u"empty.xls"_s << QByteArray();
    // A zip whose only entry claims to be encrypted.
    QByteArray encrypted = QByteArray::fromHex("504b0304140001000000000000000000000000000000000000000100");
    QTest::newRow("encrypted-looking zip") << u"locked.xlsx"_s << encrypted;
    QTest::newRow("compound file signature only")
        << u"cfb.xls"_s << QByteArray::fromHex("d0cf11e0a1b11ae1") + QByteArray(504, '\xff');
}

void TestImportWizard::badWorkbookStaysOnSource()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir->filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    Run run;
    MessageCatcher catcher;
    // The wizard stays on step 1, where another file can be chosen.
    QVERIFY(!run.toRange(path));
    QCOMPARE(run.wizard.currentId(), int(ImportWizard::SourcePageId));
    const QStringList messages = catcher.takeAll();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(
        messages.front().startsWith(u"发生错误|加载Excel错误，请检查Excel文件格式或联系软件开发商咨询："_s),
        qPrintable(messages.front()));
    // The layer says why, in Chinese, after the page's own words.
    QVERIFY(messages.front().size() > 40);
    QVERIFY(!run.wizard.definePage()->holdsWorkbook());
    QCOMPARE(run.wizard.definePage()->tabs()->count(), 0);
    // The same file again is read again (and refused again), a good one then opens.
    QVERIFY(!run.toRange(path));
    QCOMPARE(catcher.takeAll().size(), 1);
    QVERIFY(run.toRange(examplePath(u"xlsx"_s)));
    QCOMPARE(run.wizard.definePage()->tabs()->count(), 1);
}

void TestImportWizard::oneRowSheetReachesTheEnd()
{
    const QString path = writeBook(u"one.xls"_s, {{u"1"_s, u"甲"_s, u"5000"_s}});
    Run run;
    QVERIFY(run.toRange(path));
    QCOMPARE(run.wizard.definePage()->progressReached(), 100);
    auto *table = qobject_cast<PTableWidget *>(run.wizard.definePage()->tabs()->widget(0));
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(cellText(table, 0, 2), u"5000"_s);
}

void TestImportWizard::cancelWhileReadingALargeSheet()
{
    const QString path = m_dir->filePath(u"large.xlsx"_s);
    {
        const auto book = Workbook::create(path);
        Sheet *sheet = book->addSheet(u"大表"_s);
        for (int r = 0; r < 100000; ++r) {
            sheet->writeNum(r, 0, r + 1);
            sheet->writeStr(r, 1, u"员工%1"_s.arg(r));
            for (int c = 2; c < 8; ++c)
                sheet->writeNum(r, c, 1000 + r % 997 + c);
        }
        QVERIFY(book->save(path));
    }
    Run run;
    // "取消" once the tables are being filled: the page must notice it between rows.
    int seen = 0;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        for (QProgressDialog *dialog : run.wizard.findChildren<QProgressDialog *>()) {
            seen = std::max(seen, dialog->value());
            if (dialog->value() > 10 && !dialog->wasCanceled())
                dialog->cancel();
        }
    });
    watcher.start(20);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!run.toRange(path));
    watcher.stop();
    QCOMPARE(run.wizard.currentId(), int(ImportWizard::SourcePageId));
    QVERIFY2(seen > 10, "the dialog showed progress while the rows were read");
    QCOMPARE(run.wizard.definePage()->tabs()->count(), 0);
    QVERIFY(!run.wizard.definePage()->holdsWorkbook());
    qInfo("cancelled after %lld ms", qint64(clock.elapsed()));
}

// Four sheets of 250 MB of blanks each in a file of one megabyte: reading it takes seconds, and
// the last sheet is cut short, so a read that ran to the end would say so. "取消" must stop the
// reader itself.
void TestImportWizard::cancelWhileReadingTheFile()
{
    using namespace testbooks;
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    QByteArray sheets, rels;
    for (int i = 1; i <= 4; ++i) {
        sheets +=
            "<sheet name=\"S%1\" sheetId=\"%1\" r:id=\"rId%1\"/>"_ba.replace("%1", QByteArray::number(i));
        rels += "<Relationship Id=\"rId%1\" Type=\""_ba.replace("%1", QByteArray::number(i)) + rel +
                "worksheet\" Target=\"worksheets/sheet" + QByteArray::number(i) + ".xml\"/>";
    }
    QList<ZipPart> parts = xlsxParts({});
    parts[2].data = "<workbook xmlns:r=\"" + rel.chopped(1) + "\"><sheets>" + sheets + "</sheets></workbook>";
    parts[3].data = "<Relationships>" + rels + "</Relationships>";
    parts.removeAt(4);
    const Deflated head = deflateRepeated({{"<worksheet>", 1}}, false);
    const Deflated blanks = deflateRepeated({{" ", 250'000'000}}, false);
    for (int i = 1; i <= 4; ++i) {
        const QByteArray tail = i < 4 ? "<sheetData/></worksheet>" : "<sheetData><row";
        parts.append(joined(u"xl/worksheets/sheet%1.xml"_s.arg(i),
                            {head, blanks, deflateRepeated({{tail, 1}}, true)}));
    }
    const QString path = m_dir->filePath(u"blanks.xlsx"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(zip(parts));
    file.close();

    Run run;
    MessageCatcher catcher;
    bool shown = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, this, [&] {
        for (QProgressDialog *dialog : run.wizard.findChildren<QProgressDialog *>()) {
            if (dialog->isVisible() && !dialog->wasCanceled()) {
                shown = true;
                dialog->cancel();
            }
        }
    });
    watcher.start(20);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!run.toRange(path));
    watcher.stop();
    qInfo("back on the page %lld ms after the read began", qint64(clock.elapsed()));
    QVERIFY2(shown, "the dialog was up while the file was read");
    QCOMPARE(catcher.takeAll(), QStringList());
    QCOMPARE(run.wizard.currentId(), int(ImportWizard::SourcePageId));
    QCOMPARE(run.wizard.definePage()->tabs()->count(), 0);
    QVERIFY(!run.wizard.definePage()->holdsWorkbook());
    // Qt names its own threads; an unnamed one besides the main thread would be the reader.
    auto nameOf = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray process = nameOf(u"/proc/self/comm"_s);
    int unnamed = 0;
    for (const QString &task : QDir(u"/proc/self/task"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        unnamed += nameOf(u"/proc/self/task/%1/comm"_s.arg(task)) == process;
    QCOMPARE(unnamed, 1);
}

void TestImportWizard::farCornerCellStaysSmall()
{
    // One cell at the last position a workbook allows: a table of every position up to it would
    // take 17 billion pointers; the table keeps all columns and as many rows as its share allows.
    const QString path = m_dir->filePath(u"corner.xlsx"_s);
    {
        const auto book = Workbook::create(path);
        Sheet *sheet = book->addSheet(u"角落"_s);
        sheet->writeStr(0, 0, u"编码"_s);
        sheet->writeNum(kXlsxMaxRows - 1, kXlsxMaxCols - 1, 7);
        QVERIFY(book->save(path));
    }
    Run run;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(run.toRange(path));
    auto *table = qobject_cast<PTableWidget *>(run.wizard.definePage()->tabs()->widget(0));
    QVERIFY(table);
    QCOMPARE(table->columnCount(), kXlsxMaxCols);
    QCOMPARE(table->rowCount(), int(kMaxTablePositions / kXlsxMaxCols));
    QCOMPARE(cellText(table, 0, 0), u"编码"_s);
    QCOMPARE(run.wizard.definePage()->progressReached(), 100);
    // The user is told that rows were left out.
    bool told = false;
    for (const QLabel *label : run.wizard.definePage()->findChildren<QLabel *>())
        told = told || label->text().contains(u"太大"_s);
    QVERIFY(told);
    qInfo("shown in %lld ms", qint64(clock.elapsed()));
    QVERIFY(run.toMapping());
    run.setFormula(0, u"A"_s);
    QVERIFY(run.toCheck());
    QCOMPARE(run.preview()->rowCount(), table->rowCount() - 1);
}

void TestImportWizard::missingSheetFallsBackToTheFirst()
{
    const QString path = writeBook(u"one.xlsx"_s, {{u"编码"_s, u"姓名"_s}, {u"1"_s, u"甲"_s}});
    QFile ini(ImportSettingsFile::defaultFileName());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[importSet0]\nlastSet=1\nmine\\sheetNO=5\nmine\\firstRowNO=2\nmine\\0000\\title=编码\n"
              "mine\\0000\\formula=A\n");
    ini.close();
    Run run;
    QCOMPARE(run.wizard.sourcePage()->settingBox()->currentText(), u"mine"_s);
    QVERIFY(run.toRange(path));
    QCOMPARE(run.wizard.definePage()->tabs()->currentIndex(), 0);
    QVERIFY(run.toMapping());
    QCOMPARE(run.wizard.sheetNO(), 0);
    QCOMPARE(run.formula(0), u"A"_s);
}

void TestImportWizard::autoMatch_data()
{
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("姓名 in column B")
        << QStringList{u"部门"_s, u"姓名"_s}
        << QStringList{QString(), u"B"_s, QString(), QString(), QString(), QString()};
    QTest::newRow("unmatched titles change nothing")
        << QStringList{u"部门"_s, u" 姓名"_s, u"Name"_s} << QStringList(6, QString());
    QTest::newRow("synonyms across the sheet")
        << QStringList{u"序号"_s, u"员工姓名"_s, u"应发工资"_s, u"五险一金"_s, u"年终奖"_s, u"年金"_s}
        << QStringList{u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s, u"F"_s};
}

void TestImportWizard::autoMatch()
{
    QFETCH(QStringList, titles);
    QFETCH(QStringList, expected);
    const QString path = writeBook(u"titles.xlsx"_s, {titles, QStringList(titles.size(), u"1"_s)});
    Run run;
    QVERIFY(run.toRange(path));
    QVERIFY(run.toMapping());
    run.mapping()->adapter();
    QStringList formulas;
    for (int k = 0; k < run.mapping()->targetCount(); ++k)
        formulas << run.formula(k);
    QCOMPARE(formulas, expected);
}

void TestImportWizard::dragAWorksheetColumn()
{
    Run run;
    QVERIFY(run.toRange(examplePath(u"xlsx"_s)));
    QVERIFY(run.toMapping());
    PTableWidget *source = run.wizard.sourceTable();
    PTableWidget *map = run.mapping()->mappingTable();
    QVERIFY(source->dragEnabled());
    QCOMPARE(source->selectionBehavior(), QAbstractItemView::SelectColumns);
    auto drop = [&](int sourceColumn, int mapColumn) {
        std::unique_ptr<QMimeData> mime(source->mimeData({source->item(5, sourceColumn)}));
        return map->dropMimeData(0, mapColumn, mime.get(), Qt::CopyAction);
    };
    // Onto 月应发工资: the formula takes the letters, the page's own title stays.
    QVERIFY(drop(2, 3));
    QCOMPARE(run.formula(2), u"C"_s);
    QCOMPARE(map->horizontalHeaderItem(3)->text(), u"月应发工资"_s);
    // Onto the add column: a new column titled from the worksheet's title row.
    QVERIFY(drop(6, map->columnCount() - 1));
    QCOMPARE(run.mapping()->targetCount(), 7);
    QCOMPARE(run.formula(6), u"G"_s);
    QCOMPARE(map->horizontalHeaderItem(7)->text(), u"部门"_s);
    QVERIFY(drop(1, 2)); // 姓名, without which the page goes no further
    QVERIFY(run.toCheck());
    QCOMPARE(run.wizard.targetNames(), (QStringList{u"姓名"_s, u"月应发工资"_s, u"部门"_s}));
}

void TestImportWizard::backAndForthKeepsFormulas()
{
    Run run;
    QVERIFY(run.toRange(examplePath(u"xlsx"_s)));
    QVERIFY(run.toMapping());
    run.mapping()->adapter();
    run.setFormula(2, u"C*1.1"_s);
    PTableWidget *source = run.wizard.sourceTable();
    QVERIFY(source);
    run.wizard.back();
    QCOMPARE(run.wizard.currentId(), int(ImportWizard::DefinePageId));
    // The worksheet is a tab again, at its place.
    QCOMPARE(run.wizard.definePage()->tabs()->widget(0), source);
    QVERIFY(run.toMapping());
    QCOMPARE(run.formula(0), u"A"_s);
    QCOMPARE(run.formula(2), u"C*1.1"_s);
    QVERIFY(run.toCheck());
    run.wizard.back();
    QVERIFY(run.toCheck());
    QCOMPARE(run.preview()->columnCount(), 6);
}

void TestImportWizard::sameSettingIsNotReloaded()
{
    Run run;
    QVERIFY(run.toRange(examplePath(u"xls"_s), 1));
    QVERIFY(run.toMapping());
    QCOMPARE(run.formula(6), u"G"_s);
    run.setFormula(6, QString());
    run.wizard.back();
    run.wizard.back();
    QVERIFY(run.toRange(examplePath(u"xls"_s), 1));
    QVERIFY(run.toMapping());
    QCOMPARE(run.formula(6), QString());
    // Another setting replaces the mapping, extra columns included.
    run.wizard.back();
    run.wizard.back();
    QVERIFY(run.toRange(examplePath(u"xls"_s), 0));
    QVERIFY(run.toMapping());
    QCOMPARE(run.mapping()->targetCount(), 6);
    QCOMPARE(run.formula(0), QString());
}

void TestImportWizard::settingWithExtraColumns()
{
    QFile ini(ImportSettingsFile::defaultFileName());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    QByteArray text = "[importSet1]\nlastSet=1\nwide\\titleRowNO=1\n";
    const char *titles[] = {"编码", "姓名", "月应发工资", "三险一金", "年终奖金", "部门", "岗位"};
    for (int i = 0; i < 7; ++i)
        text += "wide\\000" + QByteArray::number(i) + "\\title=" + titles[i] + "\nwide\\000" +
                QByteArray::number(i) + "\\formula=" + QByteArray(1, char('A' + i)) + "\nwide\\000" +
                QByteArray::number(i) + "\\width=" + (i == 6 ? "0" : "90") + "\n";
    ini.write(text);
    ini.close();
    Run run(1);
    QVERIFY(run.toRange(examplePath(u"xlsx"_s)));
    QVERIFY(run.toMapping());
    PTableWidget *map = run.mapping()->mappingTable();
    QCOMPARE(run.mapping()->targetCount(), 7);
    QCOMPARE(map->horizontalHeaderItem(6)->text(), u"部门"_s);
    QCOMPARE(map->horizontalHeaderItem(7)->text(), u"岗位"_s);
    QCOMPARE(run.formula(6), u"G"_s);
    QCOMPARE(map->columnWidth(6), 90);
    QVERIFY(map->columnWidth(1) >= 90); // saved as 90 too; the code column is never squeezed
    QVERIFY(map->columnWidth(7) > 0);   // a stored width of 0 would hide the column
    QVERIFY(run.toCheck());
    QCOMPARE(run.wizard.targetIds(), (QList<int>{0, 1, 2, 3, 4}));
    QCOMPARE(run.wizard.targetNames().size(), 7);
}

void TestImportWizard::previewRange_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("first 10, last 4 previews 4..10")
        << 10 << 4 << QStringList{u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s, u"8"_s, u"9"_s};
    QTest::newRow("last 0 goes to the end") << 10 << 0 << QStringList{u"9"_s, u"10"_s, u"11"_s};
    QTest::newRow("a last row beyond the sheet stops at its end")
        << 11 << 1410065407 << QStringList{u"10"_s, u"11"_s};
    QTest::newRow("a first row beyond the sheet previews nothing") << 500 << 0 << QStringList();
}

void TestImportWizard::previewRange()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QList<QStringList> rows{{u"编码"_s, u"姓名"_s, u"月应发工资"_s}};
    for (int r = 1; r <= 11; ++r)
        rows << QStringList{QString::number(r), u"名%1"_s.arg(r), QString::number(1000 * r)};
    const QString path = writeBook(u"range.xls"_s, rows);
    Run run;
    QVERIFY(run.toRange(path));
    run.wizard.definePage()->firstBox()->setValue(first);
    run.wizard.definePage()->lastBox()->setValue(last);
    QVERIFY(run.toMapping());
    run.mapping()->adapter();
    run.setFormula(2, u"C+0"_s);
    run.setFormula(3, u"[月应发工资]*0.1"_s);
    QVERIFY(run.toCheck());
    QStringList codes;
    for (int r = 0; r < run.preview()->rowCount(); ++r) {
        codes << cellText(run.preview(), r, 0);
        // A formula over another target column computes with its number.
        QCOMPARE(cellText(run.preview(), r, 3), u"%1.00"_s.arg(codes.back().toInt() * 100));
    }
    QTEST(codes, "codes");
}

void TestImportWizard::previewIsBounded()
{
    Run run;
    QVERIFY(run.toRange(examplePath(u"xlsx"_s), 1));
    QVERIFY(run.toMapping());
    run.wizard.checkPage()->setCellLimit(70); // ten rows of the setting's seven columns
    QVERIFY(run.toCheck());
    QCOMPARE(run.preview()->rowCount(), 10);
    QCOMPARE(cellText(run.preview(), 9, 0), u"1010"_s);
    bool told = false;
    for (const QLabel *label : run.wizard.checkPage()->findChildren<QLabel *>())
        told = told ||
               (label->isVisibleTo(run.wizard.checkPage()) && label->text().contains(u"只计算了前 10 行"_s));
    QVERIFY(told);
}

void TestImportWizard::noCodeNameIsRefused()
{
    Run run;
    QVERIFY(run.toRange(examplePath(u"xlsx"_s)));
    QVERIFY(run.toMapping());
    run.setFormula(2, u"C"_s);
    // Refused where the mapping is made, not a page later.
    MessageCatcher catcher;
    QVERIFY(!run.toCheck());
    QCOMPARE(catcher.takeAll(), QStringList{u"提示|没有【编码】和【姓名】列，不能执行导入！"_s});
    // A name column alone is enough.
    run.setFormula(1, u"B"_s);
    QVERIFY(run.toCheck());
    QVERIFY(!run.wizard.checkPage()->noCodeName());
    QVERIFY(run.toReady());
}

void TestImportWizard::rowsWithoutCodeAndNameAreSkipped()
{
    const QString path = writeBook(u"gaps.xlsx"_s, {{u"编码"_s, u"姓名"_s, u"月应发工资"_s},
                                                    {u"1"_s, u"甲"_s, u"100"_s},
                                                    {QString(), QString(), u"200"_s},
                                                    {QString(), u"乙"_s, u"300"_s},
                                                    {u"4"_s, QString(), u"400"_s}});
    Run run;
    QVERIFY(run.toRange(path));
    QVERIFY(run.toMapping());
    run.mapping()->adapter();
    QVERIFY(run.toCheck());
    QCOMPARE(run.preview()->rowCount(), 4);
    QVERIFY(run.toReady());
    QVERIFY(run.finish());
    QCOMPARE(run.target->rowCount(), kSalaryTitleRows + 3);
    QCOMPARE(cellText(run.target, 2, 2), u"100"_s);
    QCOMPARE(cellText(run.target, 3, 1), u"乙"_s);
    QCOMPARE(cellText(run.target, 4, 0), u"4"_s);
    // The copied amount keeps its kind and its number.
    QCOMPARE(run.target->item(4, 2)->type(), int(NumberCell));
    QCOMPARE(run.target->item(4, 2)->data(kCellNumberRole).toDouble(), 400.0);
}

void TestImportWizard::overwriteAndAppend()
{
    const QString path =
        writeBook(u"extra.xls"_s, {{u"编码"_s, u"姓名"_s, u"部门"_s}, {u"1"_s, u"甲"_s, u"财务"_s}});
    PTableWidget table;
    layoutSalaryTable(&table, TreeCalcSource, true);
    // The page's extra columns, kept from one import to the next.
    ColumnGroup extension = ColumnCatalogue::instance().extensionGroup(TreeCalcSource);
    auto importOnce = [&](bool overwrite, bool addColumn) {
        Run run(0, &table, &extension);
        QVERIFY(run.toRange(path));
        QVERIFY(run.toMapping());
        run.mapping()->adapter();
        if (addColumn) {
            run.mapping()->mappingTable()->addEntryCol(false);
            run.mapping()->mappingTable()->horizontalHeaderItem(7)->setText(u"部门"_s);
            run.setFormula(6, u"C"_s);
        }
        QVERIFY(run.toCheck());
        QVERIFY(run.toReady());
        (overwrite ? run.wizard.readyPage()->overwriteButton() : run.wizard.readyPage()->appendButton())
            ->setChecked(true);
        QVERIFY(run.finish());
    };
    importOnce(false, true);
    QCOMPARE(table.rowCount(), 3);
    QCOMPARE(extension.itemCount(), 1);
    QCOMPARE(table.columnCount(), 8); // six own, 部门, the trailing column
    QCOMPARE(cellText(&table, 1, 6), u"部门"_s);
    QCOMPARE(cellText(&table, 0, 6), u"扩展信息"_s);
    QCOMPARE(cellText(&table, 2, 6), u"财务"_s);
    QCOMPARE(table.model()->headerData(6, Qt::Horizontal).toString(), u"G"_s);
    // A second append with the same column name reuses it.
    importOnce(false, true);
    QCOMPARE(table.rowCount(), 4);
    QCOMPARE(extension.itemCount(), 1);
    QCOMPARE(table.columnCount(), 8);
    QCOMPARE(cellText(&table, 3, 6), u"财务"_s);
    // Append without the column keeps it and its old cells.
    importOnce(false, false);
    QCOMPARE(table.rowCount(), 5);
    QCOMPARE(extension.itemCount(), 1);
    QCOMPARE(cellText(&table, 4, 6), QString());
    // Overwrite removes earlier rows and the user's columns.
    importOnce(true, false);
    QCOMPARE(table.rowCount(), 3);
    QCOMPARE(extension.itemCount(), 0);
    QCOMPARE(table.columnCount(), 7);
    QCOMPARE(cellText(&table, 2, 1), u"甲"_s);
    QSettings ini(ImportSettingsFile::defaultFileName(), QSettings::IniFormat);
    QCOMPARE(ini.value(u"importSet0/importMode"_s).toInt(), 0);
}

void TestImportWizard::modesImportIntoTheirOwnLayout_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("bonusTitle");
    QTest::newRow("tax calculation") << 0 << u"年终奖金"_s;
    QTest::newRow("planning") << 1 << u"年终奖金"_s;
    QTest::newRow("apportionment") << 2 << u"非全年一次性奖金"_s;
}

void TestImportWizard::modesImportIntoTheirOwnLayout()
{
    QFETCH(int, mode);
    QFETCH(QString, bonusTitle);
    PTableWidget table;
    layoutSalaryTable(&table, sourceTree(mode), true);
    Run run(mode, &table);
    QVERIFY(run.toRange(examplePath(u"xlsx"_s), 1));
    QVERIFY(run.toMapping());
    const int basic = ColumnCatalogue::sourceColumnCount(BatchPage(mode));
    QCOMPARE(run.mapping()->targetCount(), basic + 1);
    QCOMPARE(run.mapping()->mappingTable()->horizontalHeaderItem(5)->text(), bonusTitle);
    QVERIFY(run.toCheck());
    QVERIFY(run.toReady());
    QVERIFY(run.finish());
    // The page's own columns, 部门 as its one extra column, the trailing column.
    QCOMPARE(table.columnCount(), basic + 2);
    QCOMPARE(cellText(&table, 1, basic), u"部门"_s);
    QCOMPARE(cellText(&table, 1, 4), bonusTitle);
    // 1004's bonus as the sheet holds it, in the page's bonus column.
    QCOMPARE(cellText(&table, 5, 0), u"1004"_s);
    QCOMPARE(table.item(5, 4)->data(kCellNumberRole).toDouble(), 7200.0);
    // 部门 went into the import's own extension group; the catalogue's stay empty.
    QCOMPARE(run.wizard.extension()->itemCount(), 1);
    for (int other = 0; other < 3; ++other)
        QCOMPARE(ColumnCatalogue::instance().sourceGroup(sourceTree(other), GroupExtension)->itemCount(), 0);
}

void TestImportWizard::unnamedSaveWritesTwoKeys()
{
    Run run;
    QVERIFY(run.toRange(examplePath(u"xls"_s), 1));
    QVERIFY(run.toMapping());
    QVERIFY(run.toCheck());
    QVERIFY(run.toReady());
    QCOMPARE(run.wizard.readyPage()->nameEdit()->text(), u"标准工资表"_s);
    QVERIFY(run.wizard.readyPage()->appendButton()->isChecked());
    QVERIFY(run.finish());
    QSettings ini(ImportSettingsFile::defaultFileName(), QSettings::IniFormat);
    QStringList keys = ini.allKeys();
    keys.sort();
    QCOMPARE(keys, (QStringList{u"importSet0/importMode"_s, u"importSet0/lastSet"_s}));
    QCOMPARE(ini.value(u"importSet0/lastSet"_s).toInt(), 1);
    QCOMPARE(ini.value(u"importSet0/importMode"_s).toInt(), 1);
}

void TestImportWizard::namedSaveReadsBack()
{
    {
        Run run(2);
        QVERIFY(run.toRange(examplePath(u"xlsx"_s)));
        run.wizard.definePage()->firstBox()->setValue(3);
        QVERIFY(run.toMapping());
        run.mapping()->adapter();
        run.setFormula(4, u"E*0.5"_s);
        QVERIFY(run.toCheck());
        QVERIFY(run.toReady());
        run.wizard.readyPage()->saveBox()->setChecked(true);
        QVERIFY(run.wizard.readyPage()->nameEdit()->isVisibleTo(run.wizard.readyPage()));
        run.wizard.readyPage()->overwriteButton()->setChecked(true);
        QVERIFY(run.finish());
    }
    // The other pages do not see it; the apportionment page does, with its overwrite choice.
    Run other(0);
    QCOMPARE(other.wizard.sourcePage()->settingBox()->count(), 2);
    Run run(2);
    QComboBox *box = run.wizard.sourcePage()->settingBox();
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->itemText(2), u"标准工资表导入设定"_s);
    QCOMPARE(box->itemText(1), u"标准工资表"_s);
    QVERIFY(run.wizard.readyPage()->overwriteButton()->isChecked());
    QVERIFY(run.toRange(examplePath(u"xlsx"_s), 1));
    QCOMPARE(run.wizard.definePage()->firstBox()->value(), 3);
    QVERIFY(run.toMapping());
    QCOMPARE(run.formula(4), u"E*0.5"_s);
    QCOMPARE(run.formula(1), u"B"_s);
}

void TestImportWizard::damagedSettingsCarryOn()
{
    QFile ini(ImportSettingsFile::defaultFileName());
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("\x01garbage[[\n[importSet0]\nlastSet=9\nx\\sheetNO=-4\nx\\firstRowNO=-9\nx\\lastRowNO=abc\n");
    ini.close();
    Run run;
    auto *warning = run.wizard.sourcePage()->findChild<QLabel *>(u"settingsWarning"_s);
    QVERIFY(warning);
    QVERIFY(!warning->text().isEmpty());
    QCOMPARE(run.wizard.sourcePage()->settingBox()->currentIndex(), 0);
    QCOMPARE(run.wizard.sourcePage()->settingBox()->itemText(1), u"x"_s);
    QVERIFY(run.toRange(examplePath(u"xls"_s), 1));
    QCOMPARE(run.wizard.definePage()->firstBox()->value(), 1);
    QCOMPARE(run.wizard.definePage()->lastBox()->value(), 0);
    QVERIFY(run.toMapping());
    run.mapping()->adapter(); // the damaged setting mapped nothing
    QVERIFY(run.toCheck());
}

void TestImportWizard::unwritableSettingsAreReported()
{
    // A folder where the settings file should be: it can be neither read nor written.
    QVERIFY(QDir().mkdir(ImportSettingsFile::defaultFileName()));
    Run run;
    QVERIFY(run.toRange(examplePath(u"xls"_s), 1));
    QVERIFY(run.toMapping());
    QVERIFY(run.toCheck());
    QVERIFY(run.toReady());
    MessageCatcher catcher;
    QVERIFY(run.finish());
    const QStringList messages = catcher.takeAll();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.front().contains(u"没有保存"_s), qPrintable(messages.front()));
    // The rows are imported all the same.
    QCOMPARE(run.target->rowCount(), kSalaryTitleRows + 38);
}

void TestImportWizard::headerIconsAndEditor()
{
    Run run(0);
    QVERIFY(run.toRange(examplePath(u"xls"_s)));
    QVERIFY(run.toMapping());
    PHeaderView *header = run.mapping()->header();
    PTableWidget *map = run.mapping()->mappingTable();
    QCOMPARE(header->fixedSections(), 7);
    // Code and name carry the required mark, the amounts none.
    QCOMPARE(run.mapping()->formulaBox(0)->mark(), u"*"_s);
    QCOMPARE(run.mapping()->formulaBox(1)->mark(), u"*"_s);
    QCOMPARE(run.mapping()->formulaBox(2)->mark(), QString());
    QVERIFY(header->clickArea(6).isEmpty());  // 企业年金 cannot be removed
    QVERIFY(!header->clickArea(7).isEmpty()); // the add column
    QSignalSpy added(header, &PHeaderView::toAdd);
    run.wizard.resize(1600, 700);
    run.wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&run.wizard));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->clickArea(7).center());
    QCOMPARE(added.size(), 1);
    QCOMPARE(run.mapping()->targetCount(), 7);
    QCOMPARE(map->horizontalHeaderItem(7)->text(), PTableWidget::untitled());
    // The title editor opened for the new column; return writes the title.
    PEditHeaderBox *editor = run.mapping()->headerEditor();
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->section(), 7);
    editor->setText(u"岗位"_s);
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(map->horizontalHeaderItem(7)->text(), u"岗位"_s);
    QVERIFY(!editor->isVisible());
    // The page's own titles cannot be edited.
    run.mapping()->xHeader(2);
    QVERIFY(!editor->isVisible());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, header->clickArea(7).center());
    QCOMPARE(run.mapping()->targetCount(), 6);
}

void TestImportWizard::importButtonRunsTheWizard()
{
    BatchCalcWid page;
    QTimer::singleShot(50, this, [] {
        if (auto *wizard = qobject_cast<ImportWizard *>(QApplication::activeModalWidget()))
            wizard->reject();
    });
    page.import();
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Empty);
    QCOMPARE(page.sourceTable()->rowCount(), kSalaryTitleRows);
}

void TestImportWizard::standardSheetEqualsTheCommandLine_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("xls") << u"xls"_s;
    QTest::newRow("xlsx") << u"xlsx"_s;
}

void TestImportWizard::standardSheetEqualsTheCommandLine()
{
    QFETCH(QString, suffix);
    BatchCalcWid page;
    {
        Run run(0, page.sourceTable());
        QVERIFY(run.toRange(examplePath(suffix), 1));
        QVERIFY(run.toMapping());
        QVERIFY(run.toCheck());
        QVERIFY(run.toReady());
        QVERIFY(run.finish());
    }
    page.importFinished();
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Imported);
    MessageCatcher catcher;
    page.calc();
    QVERIFY(QTest::qWaitFor([&] { return page.dataState() == BatchPageBase::DataState::Calculated; }, 60000));

    // Another program reads the sheet: each row's amounts, text cells and blanks as 0.
    QProcess reader;
    reader.start(u"/usr/bin/python3"_s, {u"-c"_s, uR"(
import json, sys
import openpyxl
sheet = openpyxl.load_workbook(sys.argv[1]).active
num = lambda v: v if isinstance(v, (int, float)) else 0
for row in sheet.iter_rows(min_row=2, values_only=True):
    if row[0] in (None, '') and row[1] in (None, ''):
        continue
    print(json.dumps({'gross': num(row[2]), 'insurance': num(row[3]), 'bonus': num(row[4]), 'annuity': num(row[5])}))
)"_s,
                                         examplePath(u"xlsx"_s)});
    QVERIFY(reader.waitForFinished(30000));
    QCOMPARE(reader.exitCode(), 0);
    const QByteArray lines = reader.readAllStandardOutput();
    QProcess cli;
    cli.start(QStringLiteral(LUMO_CLI_PATH), {u"calc"_s, u"--jsonl"_s});
    QVERIFY(cli.waitForStarted());
    cli.write(lines);
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(30000));
    QList<QByteArray> answers = cli.readAllStandardOutput().split('\n');
    answers.removeAll(QByteArray());
    const int rows = page.sourceTable()->rowCount() - kSalaryTitleRows;
    QCOMPARE(answers.size(), rows);
    QCOMPARE(rows, 38);

    const ColumnCatalogue &catalogue = ColumnCatalogue::instance();
    auto column = [&](GroupKind kind, int id) { return catalogue.resultColumn(TreeCalcResult, kind, id); };
    auto fen = [](const QJsonObject &o, const char *key) {
        return formatAmount(qint64(o.value(QLatin1String(key)).toDouble()));
    };
    for (int i = 0; i < rows; ++i) {
        const QJsonObject o = QJsonDocument::fromJson(answers[i]).object();
        const int r = i + kSalaryTitleRows;
        QCOMPARE(cellText(page.resultTable(), r, 1), cellText(page.sourceTable(), r, 1));
        QCOMPARE(cellText(page.resultTable(), r, column(GroupSubtotal, ColGross)), fen(o, "grossTotal"));
        QCOMPARE(cellText(page.resultTable(), r, column(GroupSubtotal, ColTax)), fen(o, "taxTotal"));
        QCOMPARE(cellText(page.resultTable(), r, column(GroupSubtotal, ColNet)), fen(o, "netTotal"));
    }
    // The one amount that is a note counted as 0 and is said to be.
    QCOMPARE(page.unreadableCells(), 1);
    // The department came along as the page's extra column.
    QCOMPARE(cellText(page.sourceTable(), 1, 6), u"部门"_s);
}

void TestImportWizard::autoMatchAndFormulaOnTheStandardSheet()
{
    PTableWidget table;
    layoutSalaryTable(&table, TreeCalcSource, true);
    Run run(0, &table);
    QVERIFY(run.toRange(examplePath(u"xls"_s), 0));
    QVERIFY(run.toMapping());
    run.mapping()->adapter();
    QCOMPARE(run.formula(5), u"F"_s);
    run.setFormula(2, u"C*1.1"_s);
    QVERIFY(run.toCheck());
    // 1001's wage as the sheet holds it, times 1.1, to the fen.
    const QTableWidgetItem *wage = run.wizard.sourceTable()->item(1, 2);
    QVERIFY(wage);
    const double expected = wage->data(kCellNumberRole).toDouble() * 1.1;
    const QString text = cellText(run.preview(), 0, 2);
    QVERIFY2(qAbs(text.toDouble() - expected) < 0.0051, qPrintable(text));
    QCOMPARE(text.section(u'.', 1).size(), 2);
    QVERIFY(run.toReady());
    QVERIFY(run.finish());
    QCOMPARE(table.rowCount(), kSalaryTitleRows + 38);
}

// Without a saved setting the range page proposes the rows of the sheet's shape: the title row
// under a title above the header, the data rows down to the one before the totals row.
void TestImportWizard::rangeProposal_data()
{
    QTest::addColumn<int>("setting");
    QTest::addColumn<int>("title");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("no setting: the sheet's shape") << 0 << 2 << 3 << 4;
    QTest::newRow("a saved setting keeps its rows") << 1 << 1 << 2 << 0;
}

void TestImportWizard::rangeProposal()
{
    QFETCH(int, setting);
    QFETCH(int, title);
    QFETCH(int, first);
    QFETCH(int, last);
    const QString path = writeBook(u"shape.xlsx"_s, {{u"某公司 12 月工资表"_s},
                                                     {u"编码"_s, u"姓名"_s, u"月应发工资"_s},
                                                     {u"A"_s, u"甲"_s, u"5000"_s},
                                                     {u"B"_s, u"乙"_s, u"6000"_s},
                                                     {QString(), u"合计"_s, u"11000"_s}});
    QVERIFY(!path.isEmpty());
    Run run;
    QVERIFY(run.toRange(path, setting));
    DataDefinePage *range = run.wizard.definePage();
    QCOMPARE(range->titleBox()->value(), title);
    QCOMPARE(range->firstBox()->value(), first);
    QCOMPARE(range->lastBox()->value(), last);
}

void TestImportWizard::nothingToImportChangesNothing_data()
{
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<bool>("overwrite");
    const QStringList titles{u"编码"_s, u"姓名"_s, u"月应发工资"_s};
    QTest::newRow("titles only, 覆写") << QList<QStringList>{titles} << true;
    QTest::newRow("titles only, 追加") << QList<QStringList>{titles} << false;
    QTest::newRow("no row has a code or a name")
        << QList<QStringList>{titles, {QString(), QString(), u"100"_s}} << true;
}

void TestImportWizard::nothingToImportChangesNothing()
{
    QFETCH(QList<QStringList>, rows);
    QFETCH(bool, overwrite);
    const QString path = writeBook(u"titles.xlsx"_s, rows);
    PTableWidget table;
    layoutSalaryTable(&table, TreeCalcSource, true);
    table.setRowCount(kSalaryTitleRows + 1);
    table.setItem(kSalaryTitleRows, 1, new QTableWidgetItem(u"老员工"_s));
    Run run(0, &table);
    QVERIFY(run.toRange(path));
    QVERIFY(run.toMapping());
    run.mapping()->adapter();
    QVERIFY(run.toCheck());
    QVERIFY(run.toReady());
    (overwrite ? run.wizard.readyPage()->overwriteButton() : run.wizard.readyPage()->appendButton())
        ->setChecked(true);
    MessageCatcher catcher;
    QVERIFY(!run.finish());
    QCOMPARE(catcher.takeAll(),
             QStringList{
                 u"所选范围内没有数据行|目的数据表没有改动。请返回【数据范围】检查首行、末行和标题行。"_s});
    QCOMPARE(run.wizard.currentId(), int(ImportWizard::ReadyPageId));
    QCOMPARE(table.rowCount(), kSalaryTitleRows + 1);
    QCOMPARE(cellText(&table, kSalaryTitleRows, 1), u"老员工"_s);
}

void TestImportWizard::formulaBeyondTheSheet_data()
{
    // On a sheet of three columns (编码, 姓名, 月应发工资 in A–C).
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<bool>("typed"); // typed on the mapping page, else from a saved setting
    QTest::addColumn<QString>("missing");
    QTest::newRow("saved 部门 = G maps to nothing") << 6 << u"G"_s << false << u"G"_s;
    QTest::newRow("saved formula with a missing column") << 3 << u"C*0.1+D"_s << false << u"D"_s;
    QTest::newRow("saved formula within the sheet stays") << 3 << u"C*0.1"_s << false << QString();
    QTest::newRow("typed missing column is refused") << 3 << u"D"_s << true << u"D"_s;
}

void TestImportWizard::formulaBeyondTheSheet()
{
    QFETCH(int, target);
    QFETCH(QString, formula);
    QFETCH(bool, typed);
    QFETCH(QString, missing);
    const QString path =
        writeBook(u"three.xlsx"_s, {{u"编码"_s, u"姓名"_s, u"月应发工资"_s}, {u"1"_s, u"甲"_s, u"8000"_s}});
    const QStringList titles{u"编码"_s,     u"姓名"_s,     u"月应发工资"_s, u"三险一金"_s,
                             u"年终奖金"_s, u"企业年金"_s, u"部门"_s};
    if (!typed) {
        QByteArray ini = "[importSet0]\nlastSet=1\nmine\\titleRowNO=1\nmine\\firstRowNO=2\n";
        for (int k = 0; k <= target; ++k) {
            const QString f = k < 3 ? QString(QChar(char16_t(u'A' + k))) : k == target ? formula : QString();
            ini += u"mine\\000%1\\title=%2\nmine\\000%1\\formula=%3\n"_s.arg(k).arg(titles[k], f).toUtf8();
        }
        QFile file(ImportSettingsFile::defaultFileName());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    Run run;
    QVERIFY(run.toRange(path));
    QVERIFY(run.toMapping());
    const QLabel *warning = run.mapping()->warningLabel();
    MessageCatcher catcher;
    if (typed) {
        run.mapping()->adapter();
        run.setFormula(target, formula);
        QVERIFY(!run.toCheck());
        QCOMPARE(
            catcher.takeAll(),
            QStringList{u"取数公式用到了工作表中没有的列|“%1”的取数公式“%2”用到了工作表中没有的列 %3。"_s.arg(
                titles[target], formula, missing)});
        return;
    }
    QCOMPARE(run.formula(target), missing.isEmpty() ? formula : QString());
    QCOMPARE(warning->isVisibleTo(run.mapping()), !missing.isEmpty());
    if (!missing.isEmpty())
        QVERIFY2(warning->text().contains(u"工作表中没有的列 "_s + missing), qPrintable(warning->text()));
    // Nothing in the preview shows the letters as data.
    QVERIFY(run.toCheck());
    QCOMPARE(catcher.takeAll(), QStringList());
    for (int c = 0; c < run.preview()->columnCount(); ++c)
        QVERIFY(cellText(run.preview(), 0, c) != formula);
}

// The keyboard alone: each page starts in its first field, Enter goes on from anywhere (a button
// clicked before keeps the focus, and Enter must not click it again).
void TestImportWizard::keyboardThroughTheImport()
{
    Run run;
    run.wizard.show();
    const auto focusedOn = [&](const QWidget *field) {
        const QWidget *at = run.wizard.focusWidget();
        return field && at && (at == field || field->isAncestorOf(at) || field->focusProxy() == at);
    };
    const auto enter = [&] { QTest::keyClick(run.wizard.focusWidget(), Qt::Key_Return); };
    QVERIFY(focusedOn(run.wizard.sourcePage()->pathEdit()));
    run.wizard.sourcePage()->pathEdit()->setText(examplePath(u"xlsx"_s));
    enter();
    QCOMPARE(run.wizard.currentId(), int(ImportWizard::DefinePageId));
    QVERIFY(focusedOn(run.wizard.definePage()->firstBox()));
    enter();
    QCOMPARE(run.wizard.currentId(), int(ImportWizard::ContrastPageId));
    QVERIFY(focusedOn(run.mapping()->formulaBox(0)));
    QPushButton *autoMatch = nullptr;
    for (QPushButton *button : run.mapping()->findChildren<QPushButton *>())
        autoMatch = button->text() == u"自动匹配"_s ? button : autoMatch;
    QVERIFY(autoMatch);
    autoMatch->setFocus();
    QTest::mouseClick(autoMatch, Qt::LeftButton);
    QCOMPARE(run.formula(0), u"A"_s);
    enter();
    QCOMPARE(run.wizard.currentId(), int(ImportWizard::CheckPageId));
    QVERIFY(focusedOn(run.wizard.checkPage()->previewTable()));
    enter();
    QCOMPARE(run.wizard.currentId(), int(ImportWizard::ReadyPageId));
    QVERIFY(focusedOn(run.wizard.readyPage()->overwriteButton()) ||
            focusedOn(run.wizard.readyPage()->appendButton()));
    enter();
    QCOMPARE(run.wizard.result(), int(QDialog::Accepted));
    QVERIFY(run.target->rowCount() > kSalaryTitleRows);
}

QTEST_MAIN(TestImportWizard)
#include "tst_importwizard.moc"
