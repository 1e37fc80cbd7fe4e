// The export wizard, offscreen: templates per mode, the column page's moves, the file page's
// checks, the preview, and the written workbooks read back by our reader and by independent ones;
// an existing file survives a failed export byte for byte.
#include "batch/columncatalogue.h"
#include "batch/settingsfiles.h"
#include "excel/cellkind.h"
#include "excel/workbook.h"
#include "pages/batch/batchcalcwid.h"
#include "tests/testkit.h"
#include "widgets/ptablewidget.h"
#include "widgets/salarytablelayout.h"
#include "wizards/export/exportfilepage.h"
#include "wizards/export/exportreadypage.h"
#include "wizards/export/exportsettingpage.h"
#include "wizards/export/exporttemplatepage.h"
#include "wizards/export/exportwizard.h"
#include "wizards/import/importwizard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

class TestExportWizard : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void templateLists_data();
    void templateLists();
    void vanishedColumnDropped();
    void sameTemplateKeepsEdits();
    void columnMoves_data();
    void columnMoves();
    void noColumnsRefused();
    void filePage_data();
    void filePage();
    void writtenBack_data();
    void writtenBack();
    void independentReaders_data();
    void independentReaders();
    void comparisonScope();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void xlsTooBigRefused_data();
    void xlsTooBigRefused();
    void templateSaved_data();
    void templateSaved();
    void templateSaveFailureShown();
    void batchPageExports();
    void keyboardThroughTheExport();
    void wizardFrame_data();
    void wizardFrame();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldCurrent;
};

namespace {

// Answers every message box: records "text / informative text" and presses the next queued
// button (OK, or the box's default, when the queue is empty).
class MessageCatcher : public QObject
{
public:
    explicit MessageCatcher(QList<QMessageBox::StandardButton> answers = {}) : m_answers(std::move(answers))
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            m_texts << box->text() + u" / "_s + box->informativeText();
            QMessageBox::StandardButton answer = QMessageBox::Ok;
            if (!m_answers.isEmpty())
                answer = m_answers.takeFirst();
            else if (box->defaultButton())
                answer = box->standardButton(box->defaultButton());
            box->done(answer);
        });
        m_timer.start(5);
    }
    QStringList takeAll() { return std::exchange(m_texts, {}); }

private:
    QTimer m_timer;
    QStringList m_texts;
    QList<QMessageBox::StandardButton> m_answers;
};

QTableWidgetItem *item(const QString &text, int kind = QTableWidgetItem::Type)
{
    return new QTableWidgetItem(text, kind);
}

// The tables of a batch page of `mode` with `people` rows as the pages fill them: an original
// table (basic columns, imported cells) and result tables whose cell (r, c) shows an amount
// "1,00r.c" ("<tag>" first on the after table), a rate "20%", a code, a name, a process text and a
// totals row captioned "合计".
struct PageTables
{
    PageTables(int mode, int people)
    {
        const int tree = 2 * mode;
        for (PTableWidget *t : {&base, &before, &after})
            layoutSalaryTable(t, CatalogueTree(t == &base ? tree : tree + 1), t == &base);
        base.setRowCount(2 + people);
        for (int p = 0; p < people; ++p) {
            const int r = 2 + p;
            base.setItem(r, 0, item(u"00%1"_s.arg(p + 1), TextCell));
            base.setItem(r, 1, item(u"员工%1"_s.arg(p + 1), TextCell));
            base.setItem(r, 2, item(u"10,000.00"_s, NumberCell));
            base.setItem(r, 3, item(u"1,000.5"_s, NumberCell));
        }
        const QList<ExportColumn> results = exportResultList(mode);
        for (PTableWidget *t : {&before, &after}) {
            const bool isAfter = t == &after;
            t->setRowCount(2 + people + 1);
            for (int r = 2; r < t->rowCount(); ++r) {
                const bool totals = r == t->rowCount() - 1;
                for (const ExportColumn &c : results) {
                    QString text;
                    if (c.column == 0)
                        text = totals ? QString() : u"00%1"_s.arg(r - 1);
                    else if (c.column == 1)
                        text = totals ? u"合计"_s : u"员工%1"_s.arg(r - 1);
                    else if (c.name == u"税率")
                        text = totals ? QString() : u"20%"_s;
                    else if (c.name == u"计算过程")
                        text = totals ? QString() : u"应税收入 = 9,000"_s;
                    else
                        text = u"%1%2,00%3.%4"_s.arg(isAfter ? u"-"_s : QString())
                                   .arg(r)
                                   .arg(c.column % 10)
                                   .arg(r);
                    if (text.isEmpty())
                        continue;
                    QTableWidgetItem *cell = item(text);
                    if (c.column == 1 && totals)
                        cell->setTextAlignment(Qt::AlignCenter);
                    t->setItem(r, c.column, cell);
                }
            }
        }
    }
    PTableWidget base, before, after;
};

// The wizard driven like a user: a file name, a template, the columns as they come, the preview.
struct Run
{
    Run(PageTables &tables, int mode, bool withAfter = true)
        : wizard(&tables.base, &tables.before, withAfter && mode ? &tables.after : nullptr, mode)
    {
        wizard.restart();
    }
    bool toTemplatePage(const QString &fileName)
    {
        wizard.filePage()->fileEdit()->setText(fileName);
        wizard.next();
        return wizard.currentId() == ExportWizard::TemplatePage;
    }
    bool toReadyPage(const QString &fileName, int templateIndex, const QString &title)
    {
        if (!toTemplatePage(fileName))
            return false;
        wizard.templatePage()->titleEdit()->setText(title);
        wizard.templatePage()->templateBox()->setCurrentIndex(templateIndex);
        wizard.next();
        wizard.next();
        return wizard.currentId() == ExportWizard::ReadyPage;
    }
    ExportWizard wizard;
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QStringList rowTitles(const QTableWidget *table)
{
    QStringList out;
    for (int r = 0; r < table->rowCount(); ++r) {
        if (!table->isRowHidden(r))
            out << table->item(r, 1)->text();
    }
    return out;
}

QStringList names(const QList<ExportColumn> &columns)
{
    QStringList out;
    for (const ExportColumn &c : columns)
        out << c.name;
    return out;
}

} // namespace

void TestExportWizard::init()
{
    // Every test in a folder of its own, also its home: "exportset.ini" is opened in the settings
    // folder under it.
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    qputenv("HOME", m_dir->path().toLocal8Bit());
    QVERIFY(QDir().mkpath(settingsFolder()));
}

void TestExportWizard::cleanup()
{
    QDir::setCurrent(m_oldCurrent);
    // Folders a test made read-only must be removable again.
    QFile::setPermissions(m_dir->filePath(u"locked"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_dir.reset();
}

void TestExportWizard::templateLists_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QStringList>("templates");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("columns");
    // Without a saved choice the template with the results (as lumo-cli batch exports).
    QTest::newRow("calculation, nothing saved: 全部薪酬列")
        << 0 << QByteArray()
        << QStringList{u"仅原始表"_s, u"仅原始表计算结果"_s, u"全部薪酬列"_s, u"我要自定义导出列"_s} << 2
        << 23;
    QTest::newRow("planning, nothing saved: 有效筹划比对结果")
        << 1 << QByteArray()
        << QStringList{u"仅原始表"_s, u"筹划后计算结果"_s, u"有效筹划比对结果"_s, u"我要自定义导出列"_s} << 2
        << int(exportResultList(1).size());
    QTest::newRow("calculation, a saved 仅原始表 still wins")
        << 0 << QByteArray("[exportSet0]\nlastSet=0\n")
        << QStringList{u"仅原始表"_s, u"仅原始表计算结果"_s, u"全部薪酬列"_s, u"我要自定义导出列"_s} << 0
        << 6;
    QTest::newRow("planning, a saved template is index 4 and was last used")
        << 1
        << QByteArray(
               "[exportSet1]\nlastSet=4\n月报\\exportScope=2\n月报\\0000\\type=1\n月报\\0000\\column=3\n")
        << QStringList{u"仅原始表"_s, u"筹划后计算结果"_s, u"有效筹划比对结果"_s, u"我要自定义导出列"_s,
                       u"月报"_s}
        << 4 << 1;
    QTest::newRow("apportionment, last used the comparison")
        << 2 << QByteArray("[exportSet2]\nlastSet=2\n")
        << QStringList{u"仅原始表"_s, u"分摊后计算结果"_s, u"分摊比对结果"_s, u"我要自定义导出列"_s} << 2
        << 14;
    QTest::newRow("a lastSet beyond the list starts with the results")
        << 0 << QByteArray("[exportSet0]\nlastSet=12\n")
        << QStringList{u"仅原始表"_s, u"仅原始表计算结果"_s, u"全部薪酬列"_s, u"我要自定义导出列"_s} << 2
        << 23;
}

void TestExportWizard::templateLists()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, ini);
    QFETCH(QStringList, templates);
    QFETCH(int, current);
    QFETCH(int, columns);
    if (!ini.isEmpty())
        writeFile(exportSettingsFileName(), ini);
    PageTables tables(mode, 1);
    Run run(tables, mode);
    QComboBox *box = run.wizard.templatePage()->templateBox();
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    QCOMPARE(shown, templates);
    QCOMPARE(box->currentIndex(), current);
    QCOMPARE(run.wizard.lastSet(), current);
    // The template in use is loaded from the start, so choosing it again keeps its columns.
    QVERIFY(run.toTemplatePage(u"out"_s));
    run.wizard.next();
    QCOMPARE(run.wizard.currentId(), int(ExportWizard::SettingPage));
    QCOMPARE(run.wizard.settingPage()->selectedColumns().size(), columns);
    QCOMPARE(run.wizard.settingPage()->scopeBox() != nullptr, mode != 0);
}

void TestExportWizard::vanishedColumnDropped()
{
    writeFile(exportSettingsFileName(), "[exportSet0]\nlastSet=4\nold\\0000\\type=1\nold\\0000\\column=40\n"
                                        "old\\0001\\type=1\nold\\0001\\column=9\n");
    PageTables tables(0, 1);
    Run run(tables, 0);
    QVERIFY(run.toTemplatePage(u"out.xlsx"_s));
    run.wizard.next();
    QCOMPARE(rowTitles(run.wizard.settingPage()->selectedTable()), QStringList{u"实发数"_s});
}

void TestExportWizard::sameTemplateKeepsEdits()
{
    PageTables tables(0, 1);
    Run run(tables, 0);
    QVERIFY(run.toTemplatePage(u"out.xlsx"_s));
    run.wizard.templatePage()->templateBox()->setCurrentIndex(1);
    run.wizard.next();
    ExportSettingPage *page = run.wizard.settingPage();
    QCOMPARE(page->selectedTable()->rowCount(), 23);
    page->selectedTable()->selectRow(22); // 计算过程
    page->removeSelected();
    run.wizard.next();
    QCOMPARE(run.wizard.currentId(), int(ExportWizard::ReadyPage));
    QCOMPARE(run.wizard.columns().size(), 22);
    // Back to the templates, the same one again: the edit stays.
    run.wizard.back();
    run.wizard.back();
    run.wizard.next();
    QCOMPARE(page->selectedTable()->rowCount(), 22);
    QVERIFY(!rowTitles(page->selectedTable()).contains(u"计算过程"_s));
    // Another template refills the choice.
    run.wizard.back();
    run.wizard.templatePage()->templateBox()->setCurrentIndex(2);
    run.wizard.next();
    QCOMPARE(page->selectedTable()->rowCount(), 23);
}

void TestExportWizard::columnMoves_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<int>("originalShown");
    QTest::addColumn<int>("resultShown");
    QTest::newRow("add two selected originals")
        << u"addBase"_s << QStringList{u"编码"_s, u"月应发工资"_s} << 4 << 23;
    QTest::newRow("add all results") << u"addResultAll"_s << names(exportResultList(0)) << 6 << 0;
    QTest::newRow("remove one returns it to its table") << u"remove"_s << QStringList{u"编码"_s} << 5 << 23;
    QTest::newRow("remove all") << u"removeAll"_s << QStringList() << 6 << 23;
    QTest::newRow("drag onto the right adds") << u"dragIn"_s << QStringList{u"应发数"_s} << 6 << 22;
    QTest::newRow("drag back onto the left removes") << u"dragOut"_s << QStringList{u"编码"_s} << 5 << 23;
    QTest::newRow("drag between the left tables does nothing") << u"dragAcross"_s << QStringList() << 6 << 23;
}

void TestExportWizard::columnMoves()
{
    QFETCH(QString, action);
    QFETCH(QStringList, chosen);
    QFETCH(int, originalShown);
    QFETCH(int, resultShown);
    PageTables tables(0, 1);
    Run run(tables, 0);
    QVERIFY(run.toTemplatePage(u"out.xlsx"_s));
    run.wizard.templatePage()->templateBox()->setCurrentIndex(kCustomTemplate);
    run.wizard.next();
    ExportSettingPage *page = run.wizard.settingPage();
    ETableWidget *original = page->originalTable();
    ETableWidget *result = page->resultTable();
    ETableWidget *selected = page->selectedTable();
    QCOMPARE(selected->rowCount(), 0);
    const auto selectRows = [](QTableWidget *t, QList<int> rows) {
        t->clearSelection();
        for (int r : rows)
            t->selectionModel()->select(t->model()->index(r, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    const auto drag = [](ETableWidget *from, QList<int> rows, ETableWidget *to) {
        QList<QTableWidgetItem *> items;
        for (int r : rows)
            items << from->item(r, 0) << from->item(r, 1);
        std::unique_ptr<QMimeData> mime(from->mimeData(items));
        return to->dropMimeData(0, 0, mime.get(), Qt::CopyAction);
    };
    if (action == u"addBase") {
        selectRows(original, {0, 2});
        page->addOriginalBase();
    } else if (action == u"addResultAll") {
        page->addOriginalResultAll();
    } else if (action == u"remove" || action == u"removeAll" || action == u"dragOut") {
        selectRows(original, {0, 1});
        page->addOriginalBase();
        page->addOriginalResult(); // nothing selected there: nothing added
        QCOMPARE(selected->rowCount(), 2);
        if (action == u"remove") {
            selectRows(selected, {1});
            page->removeSelected();
        } else if (action == u"removeAll") {
            page->removeSelectedAll();
        } else {
            QVERIFY(drag(selected, {1}, result)); // back to the original table all the same
        }
    } else if (action == u"dragIn") {
        QVERIFY(drag(result, {2}, selected));
        QVERIFY(!drag(result, {2}, selected) || selected->rowCount() == 1); // already moved: skipped
    } else if (action == u"dragAcross") {
        QVERIFY(!drag(original, {0}, result));
    }
    QCOMPARE(rowTitles(selected), chosen);
    QCOMPARE(rowTitles(original).size(), originalShown);
    QCOMPARE(rowTitles(result).size(), resultShown);
    QCOMPARE(names(page->selectedColumns()), chosen);
}

void TestExportWizard::noColumnsRefused()
{
    PageTables tables(0, 1);
    Run run(tables, 0);
    QVERIFY(run.toTemplatePage(u"out.xlsx"_s));
    run.wizard.templatePage()->templateBox()->setCurrentIndex(kCustomTemplate);
    run.wizard.next();
    MessageCatcher catcher;
    run.wizard.next();
    QCOMPARE(run.wizard.currentId(), int(ExportWizard::SettingPage));
    QCOMPARE(catcher.takeAll(), QStringList{u"没有要导出的列！ / 对不起，请选择要导出的列。"_s});
}

void TestExportWizard::filePage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("existing"); // "file", "dir" or empty
    QTest::addColumn<int>("answer");       // to the overwrite question
    QTest::addColumn<QString>("fileName"); // empty: the page stays
    QTest::addColumn<QString>("message");
    QTest::newRow("placeholder") << ExportFilePage::placeholder() << QString() << 0 << QString()
                                 << u"错误 / 请选择或命名一个结果存储文件。"_s;
    QTest::newRow("blank") << u"  "_s << QString() << 0 << QString()
                           << u"错误 / 请选择或命名一个结果存储文件。"_s;
    QTest::newRow("no suffix gets .xlsx") << u"工资"_s << QString() << 0 << u"工资.xlsx"_s << QString();
    QTest::newRow("unknown suffix gets .xlsx")
        << u"工资.csv"_s << QString() << 0 << u"工资.csv.xlsx"_s << QString();
    QTest::newRow("upper-case .XLS kept") << u"工资.XLS"_s << QString() << 0 << u"工资.XLS"_s << QString();
    QTest::newRow("existing, not overwritten")
        << u"old.xlsx"_s << u"file"_s << int(QMessageBox::No) << QString()
        << u"文件已存在，是否覆盖？ / 选择是将清除已存在的文件内容。"_s;
    QTest::newRow("existing, overwrite: kept until the export")
        << u"old.xlsx"_s << u"file"_s << int(QMessageBox::Yes) << u"old.xlsx"_s
        << u"文件已存在，是否覆盖？ / 选择是将清除已存在的文件内容。"_s;
    QTest::newRow("a folder") << u"box.xlsx"_s << u"dir"_s << 0 << QString()
                              << u"错误 / “box.xlsx”是一个文件夹，请另选一个结果存储文件。"_s;
    QTest::newRow("a folder that does not exist")
        << u"没有/工资.xlsx"_s << QString() << 0 << QString()
        << u"文件夹不存在 / 文件夹“%CWD%/没有”不存在，请另选一个位置，或先建立这个文件夹。"_s;
}

void TestExportWizard::filePage()
{
    QFETCH(QString, text);
    QFETCH(QString, existing);
    QFETCH(int, answer);
    QFETCH(QString, fileName);
    QFETCH(QString, message);
    message.replace(u"%CWD%"_s, QDir::toNativeSeparators(QDir::currentPath()));
    const QByteArray old = "the user's own workbook";
    if (existing == u"file")
        writeFile(text, old);
    else if (existing == u"dir")
        QVERIFY(QDir().mkdir(text));
    PageTables tables(0, 1);
    Run run(tables, 0);
    MessageCatcher catcher(answer ? QList<QMessageBox::StandardButton>{QMessageBox::StandardButton(answer)}
                                  : QList<QMessageBox::StandardButton>{});
    run.wizard.filePage()->fileEdit()->setText(text);
    run.wizard.next();
    QCOMPARE(catcher.takeAll(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(run.wizard.currentId(),
             int(fileName.isEmpty() ? ExportWizard::FilePage : ExportWizard::TemplatePage));
    QCOMPARE(run.wizard.fileName(), fileName);
    if (existing == u"file")
        QCOMPARE(readAll(text), old);
    if (!fileName.isEmpty()) {
        // The title follows the file name until the user edits it.
        QCOMPARE(run.wizard.templatePage()->titleEdit()->text(), QFileInfo(fileName).completeBaseName());
        run.wizard.back();
        run.wizard.templatePage()->titleEdit()->setText(u"自定"_s);
        run.wizard.templatePage()->changTitle();
        run.wizard.next();
        QCOMPARE(run.wizard.templatePage()->titleEdit()->text(), u"自定"_s);
    }
}

void TestExportWizard::writtenBack_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("title");
    QTest::newRow("xlsx with a title") << u"xlsx"_s << u"十二月工资"_s;
    QTest::newRow("xlsx without a title") << u"xlsx"_s << QString();
    QTest::newRow("xls with a title") << u"xls"_s << u"十二月工资"_s;
    QTest::newRow("xls without a title") << u"xls"_s << QString();
}

void TestExportWizard::writtenBack()
{
    QFETCH(QString, suffix);
    QFETCH(QString, title);
    PageTables tables(0, 2);
    Run run(tables, 0);
    const QString path = m_dir->filePath(u"结果."_s + suffix);
    // 全部薪酬列: the result columns of the calculation page.
    QVERIFY(run.toReadyPage(path, 2, title));
    MessageCatcher catcher;
    QVERIFY(run.wizard.validateCurrentPage());
    QCOMPARE(catcher.takeAll(), QStringList{u"导出成功 / 已成功将计算数据导出到文件：\n"_s + path});

    Workbook book(suffix == u"xls" ? Workbook::Kind::Xls : Workbook::Kind::Xlsx);
    QVERIFY2(book.load(path), qPrintable(book.errorMessage()));
    Sheet *sheet = book.getSheet(0);
    QVERIFY(sheet);
    QCOMPARE(sheet->name(), u"个税计算结果"_s);
    const int h = title.isEmpty() ? 0 : 3; // the first heading row
    int first = 0, last = 0, firstCol = 0, lastCol = 0;
    if (!title.isEmpty()) {
        QCOMPARE(sheet->readStr(1, 0), title);
        QVERIFY(sheet->getMerge(1, 0, &first, &last, &firstCol, &lastCol));
        QCOMPARE(lastCol, 22);
        QCOMPARE(sheet->cellFormat(1, 0)->font()->size(), 20.0);
    } else {
        QCOMPARE(sheet->readStr(0, 0), u"基础信息"_s);
    }
    // Group headings merged over their columns: 小计 over C–E.
    QCOMPARE(sheet->readStr(h, 2), u"小计"_s);
    QVERIFY(sheet->getMerge(h, 3, &first, &last, &firstCol, &lastCol));
    QCOMPARE((QList<int>{first, last, firstCol, lastCol}), (QList<int>{h, h, 2, 4}));
    QCOMPARE(sheet->readStr(h + 1, 22), u"计算过程"_s);
    const Format *heading = sheet->cellFormat(h + 1, 3);
    QCOMPARE(heading->patternForegroundColor(), 23);
    QCOMPARE(heading->font()->name(), u"微软雅黑"_s);
    QCOMPARE(heading->font()->size(), 11.0);
    QVERIFY(heading->font()->bold());
    // A person: code and name, rate and process are texts; amounts are numbers.
    const int p = h + 2;
    QCOMPARE(sheet->cellType(p, 0), CellType::String);
    QCOMPARE(sheet->readStr(p, 0), u"001"_s);
    QCOMPARE(sheet->readStr(p, 1), u"员工1"_s);
    QCOMPARE(sheet->cellType(p, 2), CellType::Number);
    QCOMPARE(sheet->readNum(p, 2), 2002.2);
    QCOMPARE(sheet->cellFormat(p, 2)->numFormat(), 4);
    QCOMPARE(sheet->cellFormat(p, 2)->font()->size(), 10.0);
    QCOMPARE(sheet->cellFormat(p, 2)->alignH(), int(CellAlignH::Left));
    QCOMPARE(sheet->cellType(p, 10), CellType::String);
    QCOMPARE(sheet->readStr(p, 10), u"20%"_s);
    QCOMPARE(sheet->readStr(p, 22), u"应税收入 = 9,000"_s);
    // The totals row: bold on the total fill, right-aligned, amounts as numbers.
    const int t = p + 2;
    QCOMPARE(sheet->lastRow(), t);
    QCOMPARE(sheet->readStr(t, 1), u"合计"_s);
    QCOMPARE(sheet->cellType(t, 2), CellType::Number);
    QCOMPARE(sheet->readNum(t, 2), 4002.4);
    QCOMPARE(sheet->cellFormat(t, 0)->patternForegroundColor(), 54);
    QCOMPARE(sheet->cellFormat(t, 2)->alignH(), int(CellAlignH::Right));
    QVERIFY(sheet->cellFormat(t, 2)->font()->bold());
    // Widths: at least the preview's (pixels over the body font size), widened where a text needs
    // it: the 40-pixel 编码 column holds its bold heading, the amount column its own.
    QVERIFY(sheet->colWidth(0) >= 2 * 2 * 1.2);
    QVERIFY(sheet->colWidth(0) < 10);
    QVERIFY(sheet->colWidth(2) >= std::max(11.0, sheet->readStr(h + 1, 2).size() * 2 * 1.2));
    QVERIFY(sheet->colWidth(2) < 20);
}

void TestExportWizard::independentReaders_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QVariant>("headingFill");
    QTest::addColumn<QVariant>("totalFill");
    QTest::newRow("xls read by xlrd") << u"xls"_s << u"xlrd"_s << QVariant(23) << QVariant(54);
    QTest::newRow("xlsx read by openpyxl")
        << u"xlsx"_s << u"openpyxl"_s << QVariant(u"FF808080"_s) << QVariant(u"FF666699"_s);
}

void TestExportWizard::independentReaders()
{
    QFETCH(QString, suffix);
    QFETCH(QString, module);
    QFETCH(QVariant, headingFill);
    QFETCH(QVariant, totalFill);
    {
        QProcess probe;
        probe.start(u"/usr/bin/python3"_s, {u"-c"_s, u"import "_s + module});
        if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
            LUMO_SKIP_WITHOUT_TOOL(qPrintable(
                u"/usr/bin/python3 with %1 is not installed: not checked by an independent reader"_s.arg(
                    module)));
    }
    PageTables tables(0, 2);
    Run run(tables, 0);
    const QString path = m_dir->filePath(u"independent."_s + suffix);
    QVERIFY(run.toReadyPage(path, 1, u"标题"_s));
    MessageCatcher catcher;
    QVERIFY(run.wizard.validateCurrentPage());

    // Every cell as the reader sees it: value, whether a number, font, bold, fill; the merges.
    static const char script[] = R"PY(
import json, sys
path = sys.argv[1]
cells, merges = {}, []
if path.endswith('.xls'):
    import xlrd
    b = xlrd.open_workbook(path, formatting_info=True)
    s = b.sheet_by_index(0)
    for r in range(s.nrows):
        for c in range(s.ncols):
            cell = s.cell(r, c)
            if cell.ctype not in (xlrd.XL_CELL_TEXT, xlrd.XL_CELL_NUMBER):
                continue
            xf = b.xf_list[cell.xf_index]
            f = b.font_list[xf.font_index]
            cells['%d,%d' % (r, c)] = {'v': cell.value, 'num': cell.ctype == xlrd.XL_CELL_NUMBER,
                'font': f.name, 'size': f.height / 20.0, 'bold': bool(f.bold),
                'fill': xf.background.pattern_colour_index if xf.background.fill_pattern else 0,
                'fmt': b.format_map[xf.format_key].format_str}
    merges = [[a, b_ - 1, c, d - 1] for a, b_, c, d in s.merged_cells]
else:
    import openpyxl
    s = openpyxl.load_workbook(path).worksheets[0]
    for row in s.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            cells['%d,%d' % (cell.row - 1, cell.column - 1)] = {'v': cell.value,
                'num': isinstance(cell.value, (int, float)), 'font': cell.font.name,
                'size': float(cell.font.sz), 'bold': bool(cell.font.b),
                'fill': cell.fill.fgColor.rgb if cell.fill.fill_type == 'solid' else 0,
                'fmt': cell.number_format}
    merges = [[m.min_row - 1, m.max_row - 1, m.min_col - 1, m.max_col - 1] for m in s.merged_cells.ranges]
print(json.dumps({'cells': cells, 'merges': sorted(merges)}))
)PY";
    QProcess p;
    p.start(u"/usr/bin/python3"_s, {u"-c"_s, QString::fromUtf8(script), path});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    const QJsonObject read = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const QJsonObject cells = read[u"cells"_s].toObject();
    const auto at = [&cells](int r, int c) { return cells[u"%1,%2"_s.arg(r).arg(c)].toObject(); };
    QCOMPARE(at(1, 0)[u"v"_s].toString(), u"标题"_s);
    QCOMPARE(at(1, 0)[u"size"_s].toDouble(), 20.0);
    QCOMPARE(at(3, 2)[u"v"_s].toString(), u"小计"_s);
    QCOMPARE(at(3, 2)[u"fill"_s].toVariant(), headingFill);
    QVERIFY(at(4, 2)[u"bold"_s].toBool());
    QCOMPARE(at(5, 0)[u"v"_s].toString(), u"001"_s);
    QVERIFY(!at(5, 0)[u"num"_s].toBool());
    QCOMPARE(at(5, 0)[u"font"_s].toString(), u"微软雅黑"_s);
    QVERIFY(at(5, 2)[u"num"_s].toBool());
    QCOMPARE(at(5, 2)[u"v"_s].toDouble(), 2002.2);
    QCOMPARE(at(5, 2)[u"fmt"_s].toString(), u"#,##0.00"_s);
    QCOMPARE(at(5, 2)[u"size"_s].toDouble(), 10.0);
    QVERIFY(!at(5, 10)[u"num"_s].toBool());
    QCOMPARE(at(7, 1)[u"v"_s].toString(), u"合计"_s);
    QCOMPARE(at(7, 1)[u"fill"_s].toVariant(), totalFill);
    QVERIFY(at(7, 2)[u"num"_s].toBool());
    QVERIFY(at(7, 2)[u"bold"_s].toBool());
    const QJsonArray merges = read[u"merges"_s].toArray();
    QVERIFY(merges.contains(QJsonArray{1, 1, 0, 22}));
    QVERIFY(merges.contains(QJsonArray{3, 3, 2, 4}));
    QVERIFY(merges.contains(QJsonArray{3, 3, 5, 11}));
}

void TestExportWizard::comparisonScope()
{
    PageTables tables(2, 2);
    Run run(tables, 2);
    const QString path = m_dir->filePath(u"compare.xlsx"_s);
    QVERIFY(run.toReadyPage(path, 2, QString()));
    QCOMPARE(run.wizard.exportScope(), int(ScopeComparison));
    QCOMPARE(run.wizard.settingPage()->scopeButtons()->checkedId(), int(ScopeComparison));
    const ExportPreviewModel *model = run.wizard.readyPage()->previewModel();
    // Two heading rows, two rows for each of the two people, the totals before and after.
    QCOMPARE(model->rowCount(), 2 + 4 + 2);
    QCOMPARE(model->index(2, 1).data().toString(), u"员工1"_s);
    QCOMPARE(model->index(3, 1).data().toString(), QString()); // the name once per person
    QCOMPARE(model->index(3, 2).data().toString(), u"-2,002.2"_s);
    QCOMPARE(model->index(6, 1).data().toString(), u"合计"_s);
    QCOMPARE(model->index(7, 1).data().toString(), u"合计"_s);
    QVERIFY(model->index(6, 2).data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(model->index(7, 2).data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!model->index(5, 2).data(Qt::FontRole).isValid());
    QCOMPARE(model->index(0, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(232, 232, 232));
    QCOMPARE(run.wizard.readyPage()->preview()->columnSpan(0, 2), 4);

    MessageCatcher catcher;
    QVERIFY(run.wizard.validateCurrentPage());
    Workbook book(Workbook::Kind::Xlsx);
    QVERIFY(book.load(path));
    Sheet *sheet = book.getSheet(0);
    QCOMPARE(sheet->lastRow(), 7);
    for (int r = 2; r <= 7; ++r)
        QCOMPARE(sheet->cellFormat(r, 2)->patternForegroundColor() == 54, r >= 6);
    QCOMPARE(sheet->readNum(7, 2), -4002.4);
}

void TestExportWizard::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("read-only file") << u"file"_s;
    QTest::newRow("read-only folder") << u"folder"_s;
    // A name at the length limit leaves no room for the temporary file's longer name: the save
    // itself fails, for root too.
    QTest::newRow("no temporary file can be made") << u"name"_s;
}

void TestExportWizard::failedSaveKeepsOldFile()
{
    QFETCH(QString, how);
    const bool lockFolder = how == u"folder";
    const QString folder = m_dir->filePath(u"locked"_s);
    QVERIFY(QDir().mkdir(folder));
    const QString name = how == u"name" ? QString(248, u'a') + u".xlsx"_s : u"工资.xlsx"_s;
    const QString path = folder + u'/' + name;
    const QByteArray old = "PK\x03\x04 the user's workbook, not to be lost";
    writeFile(path, old);
    if (lockFolder)
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    else if (how == u"file")
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
    if (lockFolder && QFileInfo(folder).isWritable() &&
        QFile(folder + u"/probe"_s).open(QIODevice::WriteOnly)) {
        QFile::remove(folder + u"/probe"_s);
        QSKIP("running with rights that write into read-only folders");
    }

    PageTables tables(0, 2);
    Run run(tables, 0);
    {
        MessageCatcher catcher({QMessageBox::Yes});
        QVERIFY(run.toReadyPage(path, 1, u"标题"_s));
        QCOMPARE(readAll(path), old); // confirming the overwrite deletes nothing
    }
    MessageCatcher catcher;
    run.wizard.accept(); // "执行"
    const QStringList messages = catcher.takeAll();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].startsWith(u"导出失败 / 请关闭打开该文件的程序，重新【执行】导出：\n"_s + path),
             qPrintable(messages[0]));
    QVERIFY(messages[0].contains(u"原有的文件没有改动。"_s));
    QVERIFY(!run.wizard.readyPage()->lastError().isEmpty());
    QCOMPARE(run.wizard.currentId(), int(ExportWizard::ReadyPage));
    QCOMPARE(run.wizard.result(), int(QDialog::Rejected));
    QCOMPARE(readAll(path), old);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{name}); // no temporary left
    QVERIFY(!QFile::exists(exportSettingsFileName()));                               // nor a template saved
}

void TestExportWizard::xlsTooBigRefused_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("people");
    QTest::addColumn<int>("templateIndex");
    QTest::addColumn<int>("refusedOn");
    QTest::newRow("more people than .xls rows: the file page")
        << 0 << 65540 << 1 << int(ExportWizard::FilePage);
    QTest::newRow("the comparison doubles the rows: the ready page")
        << 2 << 33000 << 2 << int(ExportWizard::ReadyPage);
}

void TestExportWizard::xlsTooBigRefused()
{
    QFETCH(int, mode);
    QFETCH(int, people);
    QFETCH(int, templateIndex);
    QFETCH(int, refusedOn);
    // Row counts are what matters; the cells may stay empty.
    PageTables tables(mode, 1);
    tables.base.setRowCount(2 + people);
    tables.before.setRowCount(3 + people);
    tables.after.setRowCount(3 + people);
    Run run(tables, mode);
    const QString path = m_dir->filePath(u"big.xls"_s);
    MessageCatcher catcher;
    if (refusedOn == ExportWizard::FilePage) {
        QVERIFY(!run.toTemplatePage(path));
    } else {
        QVERIFY(run.toReadyPage(path, templateIndex, QString()));
        QVERIFY(!run.wizard.validateCurrentPage());
    }
    QCOMPARE(run.wizard.currentId(), refusedOn);
    const QStringList messages = catcher.takeAll();
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].contains(u".xlsx"_s), qPrintable(messages[0]));
    // The sheet's real width, even before the columns are chosen.
    QVERIFY2(messages[0].contains(u"、%1 列"_s.arg(run.wizard.columns().size())) &&
                 !run.wizard.columns().isEmpty(),
             qPrintable(messages[0]));
    QVERIFY(!QFile::exists(path));
}

void TestExportWizard::templateSaved_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("saved");
    QTest::newRow("a name") << u"我的月报"_s << true;
    QTest::newRow("a name that would nest groups is refused first") << u"a/b"_s << false;
}

void TestExportWizard::templateSaved()
{
    QFETCH(QString, name);
    QFETCH(bool, saved);
    PageTables tables(1, 2);
    const QString path = m_dir->filePath(u"plan.xlsx"_s);
    QList<ExportColumn> chosen;
    {
        Run run(tables, 1);
        QVERIFY(run.toTemplatePage(path));
        run.wizard.templatePage()->templateBox()->setCurrentIndex(kCustomTemplate);
        run.wizard.next();
        ExportSettingPage *page = run.wizard.settingPage();
        page->resultTable()->selectRow(5);
        page->addOriginalResult();
        page->originalTable()->selectRow(1);
        page->addOriginalBase();
        page->scopeButtons()->button(ScopeBefore)->setChecked(true);
        run.wizard.next();
        QCOMPARE(run.wizard.currentId(), int(ExportWizard::ReadyPage));
        chosen = run.wizard.columns();
        QCOMPARE(names(chosen), (QStringList{u"税后收入增加"_s, u"姓名"_s}));
        run.wizard.readyPage()->saveBox()->setChecked(true);
        QVERIFY(run.wizard.readyPage()->nameEdit()->isVisibleTo(run.wizard.readyPage()));
        run.wizard.readyPage()->nameEdit()->setText(name);
        MessageCatcher catcher;
        QCOMPARE(run.wizard.validateCurrentPage(), saved);
        QCOMPARE(catcher.takeAll().size(), 1);
        QCOMPARE(QFile::exists(path), saved);
    }
    if (!saved) {
        QVERIFY(!QFile::exists(exportSettingsFileName()));
        return;
    }
    // A new wizard lists it after the built-in ones and loads the same choice.
    Run again(tables, 1);
    QComboBox *box = again.wizard.templatePage()->templateBox();
    QCOMPARE(box->count(), 5);
    QCOMPARE(box->itemText(4), name);
    QCOMPARE(again.wizard.lastSet(), kCustomTemplate);
    MessageCatcher overwrite({QMessageBox::Yes});
    QVERIFY(again.toTemplatePage(path));
    box->setCurrentIndex(4);
    again.wizard.next();
    QCOMPARE(again.wizard.columns(), chosen);
    QCOMPARE(again.wizard.exportScope(), int(ScopeBefore));
    QCOMPARE(again.wizard.settingPage()->scopeButtons()->checkedId(), int(ScopeBefore));
}

void TestExportWizard::templateSaveFailureShown()
{
    const QByteArray settings = "[exportSet0]\nlastSet=1\n";
    writeFile(exportSettingsFileName(), settings);
    QVERIFY(QFile::setPermissions(exportSettingsFileName(), QFile::ReadOwner));
    PageTables tables(0, 1);
    Run run(tables, 0);
    const QString path = m_dir->filePath(u"done.xlsx"_s);
    QVERIFY(run.toReadyPage(path, 1, QString()));
    run.wizard.readyPage()->saveBox()->setChecked(true);
    run.wizard.readyPage()->nameEdit()->setText(u"月报"_s);
    MessageCatcher catcher;
    // The export itself succeeded: the wizard closes, and says the template was not kept.
    QVERIFY(run.wizard.validateCurrentPage());
    const QStringList messages = catcher.takeAll();
    QCOMPARE(messages.size(), 2);
    QVERIFY(messages[0].startsWith(u"导出成功"_s));
    QVERIFY2(messages[1].startsWith(u"导出设定未保存 / "_s), qPrintable(messages[1]));
    QVERIFY(QFile::exists(path));
    QCOMPARE(readAll(exportSettingsFileName()), settings);
}

void TestExportWizard::batchPageExports()
{
    BatchCalcWid page;
    MessageCatcher catcher;
    page.exportResult();
    QCOMPARE(catcher.takeAll(), QStringList{u"要导出数据，请先导入并计算工资数据。 / "_s});
    // Rows to calculate, not yet calculated.
    page.sourceTable()->setRowCount(3);
    page.sourceTable()->setItem(2, 1, item(u"张三"_s, TextCell));
    page.sourceTable()->setItem(2, 2, item(u"10000"_s, NumberCell));
    page.importFinished();
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Imported);
    page.exportResult();
    QCOMPARE(catcher.takeAll(), QStringList{u"导出数据前，请先计算工资数据。 / "_s});
}

// Both wizards open in the same frame: style, button texts, least size and a banner as wide as
// the wizard; only the title is their own.
// The keyboard alone: each page starts in its first field and Enter goes on, also from a button
// clicked before, which must not be clicked again.
void TestExportWizard::keyboardThroughTheExport()
{
    PageTables tables(0, 2);
    Run run(tables, 0);
    run.wizard.show();
    const auto focusedOn = [&](const QWidget *field) {
        const QWidget *at = run.wizard.focusWidget();
        return field && at && (at == field || field->isAncestorOf(at));
    };
    const auto enter = [&] { QTest::keyClick(run.wizard.focusWidget(), Qt::Key_Return); };
    QVERIFY(focusedOn(run.wizard.filePage()->fileEdit()));
    const QString path = m_dir->filePath(u"键盘.xlsx"_s);
    run.wizard.filePage()->fileEdit()->setText(path);
    enter();
    QCOMPARE(run.wizard.currentId(), int(ExportWizard::TemplatePage));
    QVERIFY(focusedOn(run.wizard.templatePage()->titleEdit()));
    enter();
    QCOMPARE(run.wizard.currentId(), int(ExportWizard::SettingPage));
    ExportSettingPage *page = run.wizard.settingPage();
    QVERIFY(focusedOn(page->originalTable()));
    // Adding points right, removing gives the columns back to the left.
    QPushButton *removeAll = nullptr;
    for (QPushButton *button : page->findChildren<QPushButton *>()) {
        const QString text = button->text().trimmed();
        const bool removes = text.contains(u"移除"_s);
        QVERIFY2(removes ? text.startsWith(u'<') : text.endsWith(u'>'), qPrintable(text));
        removeAll = text.contains(u"全部移除"_s) ? button : removeAll;
    }
    QVERIFY(removeAll);
    page->selectedTable()->clearSelection();
    page->selectedTable()->selectRow(0);
    removeAll->setFocus();
    QTest::mouseClick(removeAll, Qt::LeftButton);
    QCOMPARE(page->selectedTable()->rowCount(), 0);
    page->addOriginalResultAll();
    enter();
    QCOMPARE(run.wizard.currentId(), int(ExportWizard::ReadyPage));
    QCOMPARE(page->selectedTable()->rowCount(), int(exportResultList(0).size()));
    QVERIFY(focusedOn(run.wizard.readyPage()->preview()));
    MessageCatcher catcher;
    enter();
    QCOMPARE(run.wizard.result(), int(QDialog::Accepted));
    QCOMPARE(catcher.takeAll(), QStringList{u"导出成功 / 已成功将计算数据导出到文件：\n"_s + path});
}

void TestExportWizard::wizardFrame_data()
{
    QTest::addColumn<bool>("import");
    QTest::addColumn<QString>("title");
    QTest::newRow("import wizard") << true << u"导入工资表向导"_s;
    QTest::newRow("export wizard") << false << u"导出结果向导"_s;
}

void TestExportWizard::wizardFrame()
{
    QFETCH(bool, import);
    QFETCH(QString, title);
    PTableWidget base, before, after;
    std::unique_ptr<QWizard> wizard;
    if (import)
        wizard = std::make_unique<ImportWizard>(&base, 0);
    else
        wizard = std::make_unique<ExportWizard>(&base, &before, &after, 0);
    QCOMPARE(wizard->windowTitle(), title);
    QCOMPARE(wizard->wizardStyle(), QWizard::ModernStyle);
    QCOMPARE(wizard->buttonText(QWizard::BackButton), u"上一步"_s);
    QCOMPARE(wizard->buttonText(QWizard::NextButton), u"下一步"_s);
    QCOMPARE(wizard->buttonText(QWizard::FinishButton), u"执行"_s);
    QCOMPARE(wizard->buttonText(QWizard::CancelButton), u"取消"_s);
    QCOMPARE(wizard->minimumSize(), QSize(800, 600));
    const QPixmap banner = wizard->pixmap(QWizard::BannerPixmap);
    if (!banner.isNull())
        QCOMPARE(banner.width(), 800);
}

QTEST_MAIN(TestExportWizard)
#include "tst_exportwizard.moc"
