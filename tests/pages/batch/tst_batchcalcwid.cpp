// The batch tax calculation page as a user drives it: a filled source table calculated with
// progress, results and totals, the completion message, stopping and starting again, unreadable
// amount cells, and the "*.bc" history (saved, listed, reopened, refused when damaged). The result
// table of generated rows is checked figure by figure against lumo-cli.
#include "batch/columncatalogue.h"
#include "engine/amount.h"
#include "excel/cellkind.h"
#include "pages/batch/batchcalcwid.h"
#include "tests/childrun.h"
#include "tests/testkit.h"
#include "widgets/historylist.h"
#include "widgets/ptablewidget.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using testkit::MessageCatcher;

struct Row
{
    QString code, name;
    double gross = 0, insurance = 0, bonus = 0, annuity = 0;
};

using testkit::numberItem;

// Puts rows into the source table as an import would: texts for code and name, number cells for
// amounts (an amount of 0 leaves the cell empty).
void fillSource(BatchCalcWid &page, const QList<Row> &rows)
{
    PTableWidget *table = page.sourceTable();
    table->setRowCount(2 + int(rows.size()));
    for (int i = 0; i < rows.size(); ++i) {
        const Row &row = rows[i];
        table->setItem(i + 2, 0, new QTableWidgetItem(row.code, TextCell));
        table->setItem(i + 2, 1, new QTableWidgetItem(row.name, TextCell));
        const double amounts[] = {row.gross, row.insurance, row.bonus, row.annuity};
        for (int c = 0; c < 4; ++c) {
            if (amounts[c] != 0)
                table->setItem(i + 2, c + 2, numberItem(amounts[c]));
        }
    }
    page.importFinished();
}

QList<Row> generatedRows(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<Row> rows;
    for (int i = 0; i < count; ++i) {
        Row row;
        row.code = QString::number(1000 + i);
        row.name = u"员工%1"_s.arg(i);
        auto yuan = [&](int maxYuan) { return random.bounded(maxYuan * 100 + 1) / 100.0; };
        row.gross = i % 17 == 3 ? 0 : yuan(120000);
        row.insurance = i % 17 == 3 ? 0 : yuan(3000);
        row.bonus = i % 3 == 0 ? 0 : yuan(600000);
        row.annuity = i % 4 == 0 ? yuan(5000) : 0;
        rows << row;
    }
    return rows;
}

QString cell(const QTableWidget *table, int row, int column)
{
    return testkit::cellText(table, row, column);
}

int column(GroupKind kind, int id)
{
    return ColumnCatalogue::instance().resultColumn(TreeCalcResult, kind, id);
}

QStringList allTexts(const QTableWidget *table)
{
    QStringList texts;
    for (int r = 0; r < table->rowCount(); ++r)
        for (int c = 0; c < table->columnCount(); ++c)
            texts << cell(table, r, c) + u'|' +
                         QString::number(table->item(r, c) ? table->item(r, c)->type() : -1);
    return texts;
}

QStringList historyFiles()
{
    return listHistoryFiles(historyDir(), u"*.bc"_s);
}

using testkit::saveSeed;

} // namespace

class TestBatchCalcWid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void calcWithoutDataWarns();
    void calculatesWithTotalsAndHistory_data();
    void calculatesWithTotalsAndHistory();
    void emptyWageRow();
    void unreadableCells();
    void stopMidRunThenCalcAgain();
    void foreignThresholdThroughHistory();
    void reopensAfterRestart();
    void damagedHistoryChangesNothing_data();
    void damagedHistoryChangesNothing();
    void figuresEqualTheCommandLine();
    void rowsEnteredByHandAreCalculatedAndKept_data();
    void rowsEnteredByHandAreCalculatedAndKept();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void TestBatchCalcWid::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", m_home->path().toLocal8Bit());
}

void TestBatchCalcWid::calcWithoutDataWarns()
{
    BatchCalcWid page;
    MessageCatcher catcher;
    page.calc();
    QCOMPARE(catcher.takeAll(), QStringList{u"计算前，请先导入员工工资数据。 "_s});
    // Only the title rows: still nothing to calculate.
    fillSource(page, {});
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Empty);
    page.calc();
    QCOMPARE(catcher.takeAll().size(), 1);
    page.exportResult();
    QCOMPARE(catcher.takeAll(), QStringList{u"要导出数据，请先导入并计算工资数据。"_s});
    QVERIFY(historyFiles().isEmpty());
}

void TestBatchCalcWid::calculatesWithTotalsAndHistory_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("one row, one worker") << 1;
    QTest::newRow("five rows, two workers") << 5;
    QTest::newRow("hundred rows, thirty workers") << 100;
    QTest::newRow("a multiple of the batch size per worker") << 60 * 20;
}

void TestBatchCalcWid::calculatesWithTotalsAndHistory()
{
    QFETCH(int, rows);
    BatchCalcWid page;
    const QList<Row> input = generatedRows(rows, 7);
    fillSource(page, input);
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Imported);
    MessageCatcher catcher;
    page.calc();
    QVERIFY(catcher.waitForMessage());
    QCOMPARE(catcher.takeAll(), QStringList{u"已完成 %1 笔个税计算。"_s.arg(rows)});
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Calculated);
    QVERIFY(!page.isCalculating());

    const QTableWidget *result = page.resultTable();
    QCOMPARE(result->rowCount(), rows + 3);
    QCOMPARE(cell(result, 2, 0), input[0].code);
    QCOMPARE(cell(result, rows + 1, 1), input.last().name);
    const int last = rows + 2;
    QCOMPARE(cell(result, last, 1), u"总计"_s);
    QVERIFY(result->item(last, 1)->font().bold());
    // The totals row is the sum of the rows above it.
    for (int c :
         {column(GroupSubtotal, ColGross), column(GroupSubtotal, ColTax), column(GroupMonthly, ColTax),
          column(GroupBonus, ColNet), column(GroupAnnuity, ColTaxable)}) {
        Amount sum = 0;
        for (int r = 2; r < last; ++r) {
            Amount fen = 0;
            if (!cell(result, r, c).isEmpty())
                QVERIFY(parseYuan(cell(result, r, c).remove(u','), &fen));
            sum += fen;
        }
        QCOMPARE(cell(result, last, c), formatAmount(sum));
    }
    QCOMPARE(cell(result, last, column(GroupMonthly, ColRate)), QString());
    Amount tax = 0;
    QVERIFY(parseYuan(cell(result, last, column(GroupSubtotal, ColTax)).remove(u','), &tax));
    QCOMPARE(qRound64(page.taxSum() * 100), tax);

    // One history entry, listed at the top with the two sums once it is written (on a worker).
    QTRY_VERIFY(page.historyList()->item(0, 1));
    QCOMPARE(historyFiles().size(), 1);
    QCOMPARE(page.historyList()->item(0, 1)->text(), formatAmount(tax));
}

void TestBatchCalcWid::emptyWageRow()
{
    BatchCalcWid page;
    fillSource(page, {{u"1"_s, u"甲"_s, 0, 0, 5000, 0}, {u"2"_s, u"乙"_s, 8000, 500, 0, 0}});
    MessageCatcher catcher;
    page.calc();
    QVERIFY(catcher.waitForMessage());
    const QTableWidget *result = page.resultTable();
    for (int id : {ColGross, ColInsurance, ColTaxable, ColTax, ColNet, ColRate, ColQuickDeduction})
        QCOMPARE(cell(result, 2, column(GroupMonthly, id)), QString());
    QCOMPARE(cell(result, 2, column(GroupBonus, ColTaxable)), u"5,000"_s);
    // The row without a wage adds nothing to the monthly sums.
    QCOMPARE(cell(result, 4, column(GroupMonthly, ColGross)), u"8,000"_s);
    QCOMPARE(cell(result, 4, column(GroupMonthly, ColInsurance)), u"500"_s);
}

void TestBatchCalcWid::unreadableCells()
{
    BatchCalcWid page;
    PTableWidget *source = page.sourceTable();
    source->setRowCount(2 + 5);
    const QList<std::pair<QTableWidgetItem *, bool>> cells = {
        {numberItem(1234.5), false},                            // a number cell shown with separators
        {new QTableWidgetItem(u"1,234.50"_s, TextCell), false}, // a text cell with separators
        {new QTableWidgetItem(u"abc"_s, TextCell), true},
        {new QTableWidgetItem(u"-5"_s, TextCell), true},
        {new QTableWidgetItem(u"1e30"_s, TextCell), true},
    };
    for (int i = 0; i < cells.size(); ++i) {
        source->setItem(2 + i, 1, new QTableWidgetItem(u"员工"_s));
        if (i == 0)
            cells[i].first->setText(u"1,234.50"_s);
        source->setItem(2 + i, 2, cells[i].first);
    }
    page.importFinished();
    MessageCatcher catcher;
    page.calc();
    QVERIFY(catcher.waitForMessage());
    QCOMPARE(catcher.takeAll(),
             QStringList{u"已完成 5 笔个税计算。其中 3 个金额单元格无法识别，已按 0 计算。"_s});
    QCOMPARE(page.unreadableCells(), 3);
    const QTableWidget *result = page.resultTable();
    for (int i = 0; i < cells.size(); ++i) {
        const QTableWidgetItem *item = source->item(2 + i, 2);
        QCOMPARE(!item->toolTip().isEmpty(), cells[i].second);
        QCOMPARE(item->background().style() != Qt::NoBrush, cells[i].second);
        QCOMPARE(cell(result, 2 + i, column(GroupMonthly, ColGross)),
                 cells[i].second ? QString() : u"1,234.5"_s);
    }
    // The mark goes once the cell is mended.
    source->item(4, 2)->setText(u"100"_s);
    page.calc();
    QVERIFY(catcher.waitForMessage());
    QCOMPARE(page.unreadableCells(), 2);
    QVERIFY(source->item(4, 2)->toolTip().isEmpty());
}

void TestBatchCalcWid::stopMidRunThenCalcAgain()
{
    BatchCalcWid page;
    const int rows = 20000;
    fillSource(page, generatedRows(rows, 11));
    MessageCatcher catcher;
    page.calc();
    QVERIFY(page.isCalculating());
    QTest::qWait(20);
    page.stopCalc();
    QVERIFY(!page.isCalculating());
    // Nothing the stopped run would have reported arrives later.
    QTest::qWait(100);
    QVERIFY(catcher.takeAll().isEmpty());
    QVERIFY(historyFiles().isEmpty());
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Imported);

    page.calc();
    QVERIFY(catcher.waitForMessage());
    QCOMPARE(catcher.takeAll(), QStringList{u"已完成 %1 笔个税计算。"_s.arg(rows)});
    QTRY_COMPARE(historyFiles().size(), 1);
    QCOMPARE(page.resultTable()->rowCount(), rows + 3);
}

void TestBatchCalcWid::foreignThresholdThroughHistory()
{
    QStringList saved;
    {
        BatchCalcWid page;
        for (QRadioButton *radio : page.findChildren<QRadioButton *>()) {
            if (radio->text() == u"4800元(外籍人员)"_s)
                radio->setChecked(true);
        }
        fillSource(page, {{u"7"_s, u"丙"_s, 6000, 0, 0, 0}});
        MessageCatcher catcher;
        page.calc();
        QVERIFY(catcher.waitForMessage());
        // 6,000 − 4,800 = 1,200 at 3 %.
        QCOMPARE(cell(page.resultTable(), 2, column(GroupMonthly, ColTax)), u"36"_s);
        saved = allTexts(page.resultTable());
    }
    BatchCalcWid page;
    QTRY_COMPARE(page.historyList()->rowCount() > 0 && page.historyList()->item(0, 0), true);
    page.openHistory(0, 0);
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Calculated);
    for (QRadioButton *radio : page.findChildren<QRadioButton *>()) {
        if (radio->text() == u"4800元(外籍人员)"_s)
            QVERIFY(radio->isChecked());
    }
    QCOMPARE(allTexts(page.resultTable()), saved);
}

void TestBatchCalcWid::reopensAfterRestart()
{
    QStringList source, result, tips;
    double tax = 0, net = 0;
    {
        BatchCalcWid page;
        fillSource(page, generatedRows(300, 5));
        page.sourceTable()->item(3, 2)->setText(u"abc"_s);
        page.sourceTable()->item(3, 2)->setData(kCellNumberRole, QVariant());
        MessageCatcher catcher;
        page.calc();
        QVERIFY(catcher.waitForMessage());
        source = allTexts(page.sourceTable());
        result = allTexts(page.resultTable());
        tips << page.sourceTable()->item(3, 2)->toolTip()
             << page.resultTable()->item(2, column(GroupRemark, ColProcess))->toolTip();
        tax = page.taxSum();
        net = page.netSum();
    }
    BatchCalcWid page;
    QTRY_VERIFY(page.historyList()->item(0, 0));
    page.openHistory(0, 1);
    QCOMPARE(allTexts(page.sourceTable()), source);
    QCOMPARE(allTexts(page.resultTable()), result);
    QCOMPARE(page.sourceTable()->item(3, 2)->toolTip(), tips[0]);
    QCOMPARE(page.resultTable()->item(2, column(GroupRemark, ColProcess))->toolTip(), tips[1]);
    QVERIFY(page.sourceTable()->item(3, 2)->background().style() != Qt::NoBrush);
    QVERIFY(page.resultTable()->item(page.resultTable()->rowCount() - 1, 1)->font().bold());
    QCOMPARE(page.sourceTable()->item(2, 2)->data(kCellNumberRole).isValid(), true);
    QCOMPARE(page.taxSum(), tax);
    QCOMPARE(page.netSum(), net);
    QCOMPARE(page.sourceTable()->horizontalHeaderItem(0)->text(), u"A"_s);
}

void TestBatchCalcWid::damagedHistoryChangesNothing_data()
{
    QTest::addColumn<int>("damage");
    QTest::newRow("cut in half") << 0;
    QTest::newRow("cut before the result table") << 1;
    QTest::newRow("one byte flipped in the packed cells") << 2;
    QTest::newRow("table claims two billion rows") << 3;
    QTest::newRow("random bytes") << 4;
    QTest::newRow("empty file") << 5;
    QTest::newRow("extension claims a million items") << 6;
    QTest::newRow("a byte too many") << 7;
}

void TestBatchCalcWid::damagedHistoryChangesNothing()
{
    QFETCH(int, damage);
    QString path;
    {
        BatchCalcWid page;
        fillSource(page, generatedRows(40, 3));
        MessageCatcher catcher;
        page.calc();
        QVERIFY(catcher.waitForMessage());
        // Written on a worker: there once that is done.
        QTRY_COMPARE(historyFiles().size(), 1);
        path = historyFiles().value(0);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    saveSeed(u"bc_record"_s, bytes);
    // The head: time text, two doubles, the threshold flag, then the extension group.
    QDataStream probe(bytes);
    probe.setVersion(kHistoryStreamVersion);
    QString time, groupTitle;
    double a, b;
    bool flag;
    qint32 start, count;
    probe >> time >> a >> b >> flag >> groupTitle >> start;
    const qint64 countAt = probe.device()->pos();
    probe >> count;
    const qint64 sourceAt = probe.device()->pos();
    switch (damage) {
    case 0:
        bytes.truncate(bytes.size() / 2);
        break;
    case 1:
        bytes.truncate(bytes.size() - 30);
        break;
    case 2:
        bytes[bytes.size() - 40] = char(bytes[bytes.size() - 40] ^ 0x5a);
        break;
    case 3:
        bytes[sourceAt] = char(0x7f);
        break;
    case 4: {
        QRandomGenerator random(9);
        for (qsizetype i = sourceAt; i < bytes.size(); ++i)
            bytes[i] = char(random.bounded(256));
        break;
    }
    case 5:
        bytes.clear();
        break;
    case 6:
        bytes[countAt + 1] = char(0x10);
        break;
    case 7:
        bytes.append('x');
        break;
    }
    saveSeed(u"bc_damaged_"_s + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'), bytes);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();

    BatchCalcWid page;
    fillSource(page, {{u"1"_s, u"甲"_s, 9000, 0, 0, 0}});
    const QStringList before = allTexts(page.sourceTable());
    MessageCatcher catcher;
    page.load(path);
    QVERIFY(catcher.takeAll().isEmpty());
    QCOMPARE(allTexts(page.sourceTable()), before);
    // Opened from the list, an entry whose head still reads says why nothing happens.
    page.searchHistory();
    if (!historyPathAt(page.historyList(), 0).isEmpty()) {
        page.openHistory(0, 0);
        QCOMPARE(catcher.takeAll(), QStringList{u"该计算记录无法读取，文件可能已损坏。"_s});
    }
    QCOMPARE(allTexts(page.sourceTable()), before);
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Imported);
    QCOMPARE(page.extensionGroup().itemCount(), 0);
}

void TestBatchCalcWid::figuresEqualTheCommandLine()
{
    const int rows = 2000;
    const QList<Row> input = generatedRows(rows, 2026);
    BatchCalcWid page;
    fillSource(page, input);
    MessageCatcher catcher;
    page.calc();
    QVERIFY(catcher.waitForMessage());

    QByteArray lines;
    for (const Row &row : input) {
        QJsonObject o{{u"gross"_s, row.gross},
                      {u"insurance"_s, row.insurance},
                      {u"bonus"_s, row.bonus},
                      {u"annuity"_s, row.annuity}};
        lines += QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    }
    const childrun::Result cli =
        childrun::run(QStringLiteral(LUMO_CLI_PATH), {u"calc"_s, u"--jsonl"_s}, lines);
    QVERIFY(cli.exitCode >= 0);
    const QList<QByteArray> answers = cli.out.split('\n');
    QVERIFY(answers.size() >= rows);

    const QTableWidget *result = page.resultTable();
    auto fen = [](const QJsonObject &o, const char *key) {
        return formatAmount(qint64(o.value(QLatin1String(key)).toDouble()));
    };
    for (int i = 0; i < rows; ++i) {
        const QJsonObject o = QJsonDocument::fromJson(answers[i]).object();
        const int r = i + 2;
        QCOMPARE(cell(result, r, column(GroupSubtotal, ColGross)), fen(o, "grossTotal"));
        QCOMPARE(cell(result, r, column(GroupSubtotal, ColTax)), fen(o, "taxTotal"));
        QCOMPARE(cell(result, r, column(GroupSubtotal, ColNet)), fen(o, "netTotal"));
        QCOMPARE(cell(result, r, column(GroupRemark, ColProcess)), o.value(u"processText"_s).toString());
        const std::pair<GroupKind, const char *> items[] = {
            {GroupMonthly, "monthly"}, {GroupBonus, "bonus"}, {GroupAnnuity, "annuity"}};
        for (const auto &[kind, key] : items) {
            const QJsonObject item = o.value(QLatin1String(key)).toObject();
            if (item.isEmpty()) {
                QCOMPARE(cell(result, r, column(kind, ColTax)), QString());
                continue;
            }
            QCOMPARE(cell(result, r, column(kind, ColTaxable)), fen(item, "amount"));
            QCOMPARE(cell(result, r, column(kind, ColTax)), fen(item, "tax"));
            QCOMPARE(cell(result, r, column(kind, ColNet)), fen(item, "afterTax"));
            if (item.value(u"rate"_s).isNull()) {
                // Below the threshold: no row of the table, so no rate and no quick deduction.
                QCOMPARE(cell(result, r, column(kind, ColRate)), QString());
                QCOMPARE(cell(result, r, column(kind, ColQuickDeduction)), QString());
            } else {
                QCOMPARE(cell(result, r, column(kind, ColRate)),
                         QString::number(item.value(u"rate"_s).toInt()) + u'%');
                QCOMPARE(cell(result, r, column(kind, ColQuickDeduction)), fen(item, "quickDeduction"));
            }
        }
        if (!o.value(u"monthly"_s).toObject().isEmpty()) {
            QCOMPARE(cell(result, r, column(GroupMonthly, ColGross)), fen(o, "monthlyGross"));
            QCOMPARE(cell(result, r, column(GroupMonthly, ColInsurance)), fen(o, "insurance"));
        }
    }
}

QTEST_MAIN(TestBatchCalcWid)
#include "tst_batchcalcwid.moc"

void TestBatchCalcWid::rowsEnteredByHandAreCalculatedAndKept_data()
{
    QTest::addColumn<bool>("imported"); // a row imported before the clerk types
    QTest::newRow("typed into an empty page") << false;
    QTest::newRow("typed below an imported row") << true;
}

void TestBatchCalcWid::rowsEnteredByHandAreCalculatedAndKept()
{
    QFETCH(bool, imported);
    BatchCalcWid page;
    page.resize(1220, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    if (imported)
        fillSource(page, {{u"E00"_s, u"赵六"_s, 5000, 0, 0, 0}});
    PTableWidget *source = page.sourceTable();
    const int first = imported ? 3 : 2;
    QPushButton *calc = nullptr;
    for (QPushButton *button : page.findChildren<QPushButton *>()) {
        if (button->text() == u"计算"_s)
            calc = button;
    }
    QVERIFY(calc);
    calc->setFocus(); // the clerk comes to the table from elsewhere
    source->setFocus();
    QTRY_COMPARE(source->rowCount(), first + 1); // the blank row for a new employee
    // Typed as a clerk does: F2 opens the cell, Return commits it.
    auto type = [&](int row, int column, const QString &text) {
        source->setCurrentCell(row, column);
        QTest::keyClick(source, Qt::Key_F2);
        auto *editor = qobject_cast<QLineEdit *>(source->indexWidget(source->currentIndex()));
        QVERIFY(editor);
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents(); // the editor hands its text over once back in the loop
    };
    type(first, 0, u"E000012345678"_s);
    type(first, 1, u"张三"_s);
    type(first, 2, u"９０００"_s);
    type(first, 3, u"1,000"_s);
    type(first + 1, 0, u"E02"_s);
    type(first + 1, 1, u"李四"_s);
    type(first + 1, 2, u"12000"_s);
    type(first + 1, 3, u"abc"_s); // unreadable: counted as 0 and said so
    QCOMPARE(source->rowCount(), first + 3);
    QVERIFY(source->item(first + 1, 3));
    QVERIFY(source->item(first + 1, 3)->background().color() == PTableWidget::unreadableColor());
    // The long code is shown whole.
    QVERIFY(source->columnWidth(0) >= source->fontMetrics().horizontalAdvance(u"E000012345678"_s) + 8);

    MessageCatcher catcher;
    calc->click();
    QVERIFY(catcher.waitForMessage());
    const int employees = first;
    QVERIFY(catcher.takeAll().value(0).startsWith(u"已完成 %1 笔个税计算"_s.arg(employees)));
    QCOMPARE(page.unreadableCells(), 1);
    const QTableWidget *result = page.resultTable();
    QCOMPARE(result->rowCount(), first + 3); // the blank row is not an employee
    QCOMPARE(cell(result, first, 0), u"E000012345678"_s);
    QCOMPARE(cell(result, first + 1, 1), u"李四"_s);
    QCOMPARE(cell(result, first, column(GroupMonthly, ColTaxable)), u"8,000"_s); // 9,000 − 1,000
    QCOMPARE(cell(result, first + 2, 1), u"总计"_s);

    // Kept in history like an imported sheet.
    QTRY_VERIFY(page.historyList()->item(0, 0));
    const QStringList typed = allTexts(source).mid(0, (first + 2) * source->columnCount());
    {
        BatchCalcWid other;
        QTRY_VERIFY(other.historyList()->item(0, 0));
        other.openHistory(0, 0);
        QCOMPARE(allTexts(other.sourceTable()).mid(0, typed.size()), typed);
        QCOMPARE(cell(other.resultTable(), first, 0), u"E000012345678"_s);
    }

    // A correction after the run: the old results do not stay as if they were of the new figures.
    page.findChild<QTabWidget *>()->setCurrentWidget(source);
    source->setFocus();
    type(first, 2, u"20000"_s);
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Imported);
    QCOMPARE(page.resultTable()->rowCount(), 2);
    page.exportResult();
    QCOMPARE(catcher.takeAll(), QStringList{u"导出数据前，请先计算工资数据。"_s});
}
