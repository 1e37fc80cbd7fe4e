// The batch planning page as a user drives it: the options panel and the method sentence, the
// before/after tables with their totals rows, "全员筹划" and "筹划对照", the three totals, stopping,
// the "*.bsc" history (reopened with every choice, refused when damaged), and every figure of
// generated rows against lumo-cli plan.
#include "batch/columncatalogue.h"
#include "engine/amount.h"
#include "pages/batch/batchsavecalcwid.h"
#include "tests/pages/batch/batchtestkit.h"
#include "widgets/historylist.h"

#include <QJsonArray>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;
using namespace batchtest;

namespace {

int column(GroupKind kind, int id)
{
    return ColumnCatalogue::instance().resultColumn(TreePlanResult, kind, id);
}

QStringList historyFiles()
{
    return listHistoryFiles(historyDir(), u"*.bsc"_s);
}

void fill(BatchSaveCalcWid &page, const QList<Row> &rows)
{
    fillSource(page.sourceTable(), rows);
    page.importFinished();
}

// Runs a planning to its completion message; the message text, or empty when none came.
QString plan(BatchSaveCalcWid &page, int goal, int method, int months)
{
    MessageCatcher catcher;
    page.setOptions(goal, method, months);
    page.start();
    if (!catcher.waitForMessage())
        return QString();
    return catcher.takeAll().value(0);
}

// Nobody gains: below the threshold, no bonus.
const Row kPoor{u"1"_s, u"甲"_s, 3000, 0, 0};
// A bonus just above a step: moving it out of the blind zone helps.
const Row kBlindZone{u"2"_s, u"乙"_s, 8000, 0, 18001};

} // namespace

class TestBatchSaveCalcWid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void calcWithoutDataWarns();
    void calcOpensTheOptions();
    void methodLabel_data();
    void methodLabel();
    void nobodyImproves();
    void secondEmployeeEffective();
    void totalsLabelsAndHistoryFigures();
    void stopLeavesNoEntryAndStartsAfresh();
    void stopWhileFillingLeavesTitleRows();
    void pageClosedWhileSavingKeepsTheEntry();
    void reopensEveryChoice();
    void damagedHistoryChangesNothing_data();
    void damagedHistoryChangesNothing();
    void figuresEqualTheCommandLine_data();
    void figuresEqualTheCommandLine();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void TestBatchSaveCalcWid::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", m_home->path().toLocal8Bit());
}

void TestBatchSaveCalcWid::calcWithoutDataWarns()
{
    BatchSaveCalcWid page;
    // Nothing planned yet: no method sentence, no totals.
    QVERIFY(page.methodLabel()->isHidden());
    QVERIFY(page.netIncreaseLabel()->isHidden());
    MessageCatcher catcher;
    page.calc();
    QCOMPARE(catcher.takeAll(), QStringList{u"计算前，请先导入员工工资数据。 "_s});
    QVERIFY(!page.optionsPanel()->isVisible());
    fill(page, {});
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Empty);
    page.calc();
    QCOMPARE(catcher.takeAll().size(), 1);
    page.exportResult();
    QCOMPARE(catcher.takeAll(), QStringList{u"要导出数据，请先导入并计算工资数据。"_s});
    fill(page, {kPoor});
    QVERIFY(!page.methodLabel()->isHidden());
    QVERIFY(!page.netIncreaseLabel()->isHidden());
    QCOMPARE(page.netIncreaseLabel()->text(), QString());
    page.exportResult();
    QCOMPARE(catcher.takeAll(), QStringList{u"导出数据前，请先计算工资数据。"_s});
    QVERIFY(historyFiles().isEmpty());
}

void TestBatchSaveCalcWid::calcOpensTheOptions()
{
    BatchSaveCalcWid page;
    page.show();
    fill(page, {kPoor});
    // The defaults: the first goal, the first method, N = 6.
    QCOMPARE(page.goal(), 0);
    QCOMPARE(page.method(), 0);
    QCOMPARE(page.months(), 6);
    page.calc();
    QVERIFY(page.optionsPanel()->isVisible());
    QCOMPARE(page.optionsPanel()->windowModality(), Qt::ApplicationModal);
    page.close();
    QVERIFY(!page.optionsPanel()->isVisible());
    page.calc();
    MessageCatcher catcher;
    page.start();
    QVERIFY(!page.optionsPanel()->isVisible());
    QVERIFY(catcher.waitForMessage());
}

void TestBatchSaveCalcWid::methodLabel_data()
{
    QTest::addColumn<int>("goal");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("months");
    QTest::addColumn<QString>("text");
    QTest::newRow("goal 0, bonus only")
        << 0 << 0 << 6 << u"调整年终奖金，增加员工税后收入（单位不多开支）。"_s;
    QTest::newRow("goal 0, balanced 12")
        << 0 << 1 << 12 << u"年终奖金与 12 个月月收入平衡发放，增加员工税后收入（单位不多开支）。"_s;
    QTest::newRow("goal 1, bonus only")
        << 1 << 0 << 3 << u"调整年终奖金，减少单位开支（员工税后收入不变）。"_s;
    QTest::newRow("goal 1, balanced 3")
        << 1 << 1 << 3 << u"年终奖金与 3 个月月收入平衡发放，减少单位开支（员工税后收入不变）。"_s;
}

void TestBatchSaveCalcWid::methodLabel()
{
    QFETCH(int, goal);
    QFETCH(int, method);
    QFETCH(int, months);
    QFETCH(QString, text);
    BatchSaveCalcWid page;
    fill(page, {kBlindZone});
    QCOMPARE(plan(page, goal, method, months), u"已完成 1 笔个税筹划计算。"_s);
    QCOMPARE(page.methodLabel()->text(), text);
    // The after row's process text starts with the method, and the months are those of the method.
    const QString process = cell(page.afterTable(), 2, column(GroupRemark, ColProcess));
    QVERIFY(process.startsWith(u"筹划方法："_s + text + u'\n'));
    QCOMPARE(page.afterTable()->item(2, column(GroupRemark, ColProcess))->toolTip(), process);
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Calculated);
}

void TestBatchSaveCalcWid::nobodyImproves()
{
    BatchSaveCalcWid page;
    fill(page, {kPoor, kPoor});
    QCOMPARE(plan(page, 0, 1, 6), u"已完成 2 笔个税筹划计算。"_s);
    const QTableWidget *effective = page.effectiveTable();
    QCOMPARE(effective->rowCount(), 4);
    QCOMPARE(cell(effective, 2, 1), u"筹划(有效)前总计"_s);
    QCOMPARE(cell(effective, 3, 1), u"筹划(有效)后总计"_s);
    for (int id : {ColGross, ColTax, ColNet}) {
        QCOMPARE(cell(effective, 2, column(GroupSubtotal, id)), u"0"_s);
        QCOMPARE(cell(effective, 3, column(GroupSubtotal, id)), u"0"_s);
    }
    QCOMPARE(cell(effective, 3, column(GroupSubtotal, ColNetIncrease)), u"0"_s);
    for (QLabel *label : {page.taxDecreaseLabel(), page.costDecreaseLabel(), page.netIncreaseLabel()})
        QCOMPARE(label->text(), u"0"_s);
    // Everyone still has an after row: the same amounts and the note that the pay is well split.
    const QTableWidget *all = page.allTable();
    QCOMPARE(all->rowCount(), 2 + 4 + 2);
    QCOMPARE(cell(all, 3, column(GroupSubtotal, ColNet)), cell(all, 2, column(GroupSubtotal, ColNet)));
    QVERIFY(cell(all, 3, column(GroupRemark, ColProcess)).contains(u"恭喜您"_s));
}

void TestBatchSaveCalcWid::secondEmployeeEffective()
{
    BatchSaveCalcWid page;
    fill(page, {kPoor, kBlindZone});
    QCOMPARE(plan(page, 0, 0, 6), u"已完成 2 笔个税筹划计算。"_s);
    const QTableWidget *all = page.allTable();
    const QTableWidget *effective = page.effectiveTable();
    QCOMPARE(all->rowCount(), 2 + 4 + 2);
    QCOMPARE(effective->rowCount(), 2 + 2 + 2);
    QCOMPARE(page.beforeTable()->rowCount(), 2 + 2 + 2);
    // Code and name once per pair; the after row is tinted.
    QCOMPARE(cell(all, 2, 1), u"甲"_s);
    QCOMPARE(cell(all, 3, 1), QString());
    QCOMPARE(cell(all, 4, 1), u"乙"_s);
    QCOMPARE(cell(effective, 2, 1), u"乙"_s);
    QCOMPARE(cell(effective, 2, column(GroupBonus, ColTaxable)), u"18,001"_s);
    QCOMPARE(cell(effective, 3, column(GroupBonus, ColTaxable)),
             cell(all, 5, column(GroupBonus, ColTaxable)));
    QCOMPARE(all->item(5, column(GroupSubtotal, ColNet))->background().color(), QColor(255, 204, 51));
    QVERIFY(all->item(5, column(GroupRemark, ColProcess))->background().style() == Qt::NoBrush);
    QCOMPARE(cell(all, 6, 1), u"筹划前总计"_s);
    QCOMPARE(cell(all, 7, 1), u"筹划后总计"_s);
    QVERIFY(all->item(6, column(GroupSubtotal, ColGross))->font().bold());
    // The effective totals are the second employee's figures alone.
    for (int id : {ColGross, ColTax, ColNet})
        QCOMPARE(cell(effective, 4, column(GroupSubtotal, id)),
                 cell(effective, 2, column(GroupSubtotal, id)));
    QCOMPARE(cell(effective, 5, column(GroupSubtotal, ColNet)),
             cell(effective, 3, column(GroupSubtotal, ColNet)));
    // Before rows have no differences; the after totals carry them.
    QCOMPARE(cell(all, 4, column(GroupSubtotal, ColNetIncrease)), QString());
    QCOMPARE(cell(all, 7, column(GroupSubtotal, ColNetIncrease)), page.netIncreaseLabel()->text());
    QVERIFY(page.netIncreaseLabel()->text() != u"0"_s);
}

void TestBatchSaveCalcWid::totalsLabelsAndHistoryFigures()
{
    BatchSaveCalcWid page;
    fill(page, {kBlindZone, kBlindZone, kPoor});
    QCOMPARE(plan(page, 1, 0, 6), u"已完成 3 笔个税筹划计算。"_s);
    const QString cost = cell(page.afterTable(), 2, column(GroupSubtotal, ColCostDecrease));
    QVERIFY(cost != u"0"_s);
    QTRY_VERIFY(page.historyList()->item(0, 0));
    QCOMPARE(historyFiles().size(), 1);
    QCOMPARE(page.historyList()->item(0, 1)->text(), historyFigureText(page.netIncreaseSum()));
    QCOMPARE(page.historyList()->item(0, 2)->text(), historyFigureText(page.costDecreaseSum()));
    QCOMPARE(page.costDecreaseLabel()->text(),
             formatAmount(2 * fenFromInput(QString(cost).remove(u',').toDouble())));
}

void TestBatchSaveCalcWid::stopLeavesNoEntryAndStartsAfresh()
{
    BatchSaveCalcWid page;
    fill(page, generatedRows(3000, 5));
    page.setOptions(0, 1, 12);
    page.start();
    QVERIFY(page.isCalculating());
    page.stopCalc();
    QVERIFY(!page.isCalculating());
    QTest::qWait(50);
    QVERIFY(historyFiles().isEmpty());
    fill(page, {kPoor, kBlindZone});
    QCOMPARE(plan(page, 0, 0, 6), u"已完成 2 笔个税筹划计算。"_s);
    QCOMPARE(page.allTable()->rowCount(), 8);
    // The record is written on a worker: it is there once that is done.
    QTRY_COMPARE(historyFiles().size(), 1);
}

void TestBatchSaveCalcWid::stopWhileFillingLeavesTitleRows()
{
    BatchSaveCalcWid page;
    page.show();
    fill(page, generatedRows(6000, 11));
    page.setOptions(0, 1, 12);
    // "停止" is pressed once the dialog says the tables are being filled: the workers are done.
    bool pressed = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, &page, [&] {
        for (auto *dialog : page.findChildren<QProgressDialog *>()) {
            if (pressed || !dialog->isVisible() || dialog->labelText() != u"筹划已完成，正在显示..."_s)
                continue;
            for (auto *button : dialog->findChildren<QPushButton *>()) {
                if (button->text() == u"停止"_s) {
                    pressed = true;
                    button->click();
                }
            }
        }
    });
    watcher.start(1);
    {
        MessageCatcher catcher;
        page.start();
        QTRY_VERIFY_WITH_TIMEOUT(!page.isCalculating(), 120000);
        watcher.stop();
        QVERIFY(pressed);
        QVERIFY(catcher.takeAll().isEmpty());
    }
    for (PTableWidget *table :
         {page.allTable(), page.effectiveTable(), page.beforeTable(), page.afterTable()})
        QCOMPARE(table->rowCount(), 2);
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Imported);
    QTest::qWait(50);
    QVERIFY(historyFiles().isEmpty());
    // The page plans afresh afterwards.
    fill(page, {kPoor, kBlindZone});
    QCOMPARE(plan(page, 0, 0, 6), u"已完成 2 笔个税筹划计算。"_s);
    QCOMPARE(page.allTable()->rowCount(), 8);
}

void TestBatchSaveCalcWid::pageClosedWhileSavingKeepsTheEntry()
{
    QStringList before, after;
    {
        BatchSaveCalcWid page;
        fill(page, generatedRows(3000, 13));
        QVERIFY(!plan(page, 0, 1, 12).isEmpty());
        before = allTexts(page.beforeTable());
        after = allTexts(page.afterTable());
        // The page goes at once, whether or not its record is on disk yet.
    }
    QCOMPARE(historyFiles().size(), 1);
    BatchSaveCalcWid page;
    page.load(historyFiles().value(0));
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Calculated);
    QCOMPARE(allTexts(page.beforeTable()), before);
    QCOMPARE(allTexts(page.afterTable()), after);
}

void TestBatchSaveCalcWid::reopensEveryChoice()
{
    QStringList all, effective, before, after, source;
    QString method, tax, cost, net;
    {
        BatchSaveCalcWid page;
        fill(page, generatedRows(30, 9) + QList<Row>{kBlindZone});
        QRadioButton *foreign = nullptr;
        for (QRadioButton *radio : page.findChildren<QRadioButton *>())
            if (radio->text() == u"4800元(外籍人员)"_s)
                foreign = radio;
        QVERIFY(foreign);
        foreign->setChecked(true);
        QVERIFY(!plan(page, 1, 1, 4).isEmpty());
        all = allTexts(page.allTable());
        effective = allTexts(page.effectiveTable());
        before = allTexts(page.beforeTable());
        after = allTexts(page.afterTable());
        source = allTexts(page.sourceTable());
        method = page.methodLabel()->text();
        tax = page.taxDecreaseLabel()->text();
        cost = page.costDecreaseLabel()->text();
        net = page.netIncreaseLabel()->text();
    }
    // A new page, as after a restart: the history list shows the entry; opening it restores all.
    BatchSaveCalcWid page;
    QTRY_VERIFY(page.historyList()->item(0, 0));
    QCOMPARE(page.goal(), 0);
    page.openHistory(0, 0);
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Calculated);
    QCOMPARE(page.goal(), 1);
    QCOMPARE(page.method(), 1);
    QCOMPARE(page.months(), 4);
    QVERIFY(!page.localThreshold());
    QCOMPARE(page.methodLabel()->text(), method);
    QCOMPARE(page.taxDecreaseLabel()->text(), tax);
    QCOMPARE(page.costDecreaseLabel()->text(), cost);
    QCOMPARE(page.netIncreaseLabel()->text(), net);
    QCOMPARE(allTexts(page.allTable()), all);
    QCOMPARE(allTexts(page.effectiveTable()), effective);
    QCOMPARE(allTexts(page.beforeTable()), before);
    QCOMPARE(allTexts(page.afterTable()), after);
    QCOMPARE(allTexts(page.sourceTable()), source);
    // Opening it twice changes nothing and writes nothing.
    page.openHistory(0, 0);
    QCOMPARE(allTexts(page.allTable()), all);
    QCOMPARE(historyFiles().size(), 1);
}

void TestBatchSaveCalcWid::damagedHistoryChangesNothing_data()
{
    QTest::addColumn<int>("damage");
    QTest::newRow("cut in half") << 0;
    QTest::newRow("last bytes missing") << 1;
    QTest::newRow("a byte too many") << 2;
    QTest::newRow("months out of range") << 3;
    QTest::newRow("effective row out of order") << 4;
    QTest::newRow("effective count too large") << 5;
    QTest::newRow("empty file") << 6;
}

void TestBatchSaveCalcWid::damagedHistoryChangesNothing()
{
    QFETCH(int, damage);
    QString path;
    {
        BatchSaveCalcWid page;
        fill(page, {kBlindZone, kPoor, kBlindZone});
        QVERIFY(!plan(page, 0, 0, 6).isEmpty());
        // Written on a worker: there once that is done.
        QTRY_COMPARE(historyFiles().size(), 1);
        path = historyFiles().value(0);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    saveSeed(u"bsc_record"_s, bytes);
    // The head and the fixed fields: time, two doubles, three flags, N.
    QDataStream probe(bytes);
    probe.setVersion(kHistoryStreamVersion);
    QString time;
    double a, b;
    bool f1, f2, f3;
    probe >> time >> a >> b >> f1 >> f2 >> f3;
    const qint64 monthsAt = probe.device()->pos();
    // The tail: the effective rows (two of them, rows 2 and 4).
    const qint64 tailAt = bytes.size() - 3 * 4;
    auto putInt = [&](qint64 at, qint32 value) {
        QByteArray raw;
        QDataStream s(&raw, QIODevice::WriteOnly);
        s << value;
        bytes.replace(at, 4, raw);
    };
    switch (damage) {
    case 0:
        bytes.truncate(bytes.size() / 2);
        break;
    case 1:
        bytes.chop(3);
        break;
    case 2:
        bytes.append('\0');
        break;
    case 3:
        putInt(monthsAt, 13);
        break;
    case 4:
        putInt(tailAt + 4, 4);
        putInt(tailAt + 8, 2);
        break;
    case 5:
        putInt(tailAt, 1'000'000);
        break;
    case 6:
        bytes.clear();
        break;
    }
    saveSeed(u"bsc_damaged_"_s + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'), bytes);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();

    BatchSaveCalcWid page;
    fill(page, {kPoor});
    const QStringList source = allTexts(page.sourceTable());
    MessageCatcher catcher;
    page.load(path);
    QVERIFY(catcher.takeAll().isEmpty());
    // Opened from the list, an entry whose head still reads says why nothing happens.
    page.searchHistory();
    if (!historyPathAt(page.historyList(), 0).isEmpty()) {
        page.openHistory(0, 0);
        QCOMPARE(catcher.takeAll(), QStringList{kUnreadableHistoryText});
    }
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Imported);
    QCOMPARE(allTexts(page.sourceTable()), source);
    QCOMPARE(page.allTable()->rowCount(), 2);
    QCOMPARE(page.months(), 6);
}

void TestBatchSaveCalcWid::figuresEqualTheCommandLine_data()
{
    QTest::addColumn<int>("goal");
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("months");
    QTest::newRow("raise net, balanced over 12") << 0 << 1 << 12;
    QTest::newRow("lower cost, bonus only") << 1 << 0 << 6;
}

void TestBatchSaveCalcWid::figuresEqualTheCommandLine()
{
    QFETCH(int, goal);
    QFETCH(int, method);
    QFETCH(int, months);
    const int rows = 2000;
    const QList<Row> input = generatedRows(rows, 2027 + goal);
    BatchSaveCalcWid page;
    fill(page, input);
    QCOMPARE(plan(page, goal, method, months), u"已完成 2000 笔个税筹划计算。"_s);

    QList<QJsonObject> requests;
    for (const Row &row : input)
        requests << QJsonObject{{u"goal"_s, QString::number(goal)},
                                {u"method"_s, method == 0 ? u"bonus"_s : u"balanced"_s},
                                {u"months"_s, months},
                                {u"gross"_s, row.gross},
                                {u"insurance"_s, row.insurance},
                                {u"bonus"_s, row.bonus}};
    const QList<QJsonObject> answers = askCli({u"plan"_s, u"--jsonl"_s}, requests);
    QCOMPARE(answers.size(), rows);

    const QTableWidget *before = page.beforeTable();
    const QTableWidget *after = page.afterTable();
    int effective = 0;
    for (int i = 0; i < rows; ++i) {
        const QJsonObject &o = answers[i];
        const QJsonObject in = o.value(u"input"_s).toObject();
        const QJsonArray results = o.value(u"results"_s).toArray();
        const QJsonObject out = results.isEmpty() ? in : results.first().toObject();
        const int r = i + 2;
        auto compareSalary = [&](const QTableWidget *table, const QJsonObject &s) {
            QCOMPARE(cell(table, r, column(GroupSubtotal, ColGross)), fen(s, "grossTotal"));
            QCOMPARE(cell(table, r, column(GroupSubtotal, ColTax)), fen(s, "taxTotal"));
            QCOMPARE(cell(table, r, column(GroupSubtotal, ColNet)), fen(s, "netTotal"));
            for (const auto &[kind, key] :
                 {std::pair{GroupMonthly, "monthly"}, std::pair{GroupBonus, "bonus"}}) {
                const QJsonObject item = s.value(QLatin1String(key)).toObject();
                if (item.isEmpty()) {
                    QCOMPARE(cell(table, r, column(kind, ColTax)), QString());
                    continue;
                }
                QCOMPARE(cell(table, r, column(kind, ColTaxable)), fen(item, "amount"));
                QCOMPARE(cell(table, r, column(kind, ColTax)), fen(item, "tax"));
                QCOMPARE(cell(table, r, column(kind, ColNet)), fen(item, "afterTax"));
                QCOMPARE(cell(table, r, column(kind, ColRate)),
                         item.value(u"rate"_s).isNull()
                             ? QString()
                             : QString::number(item.value(u"rate"_s).toInt()) + u'%');
            }
            if (!s.value(u"monthly"_s).toObject().isEmpty()) {
                QCOMPARE(cell(table, r, column(GroupMonthly, ColGross)), fen(s, "monthlyGross"));
                QCOMPARE(cell(table, r, column(GroupMonthly, ColInsurance)), fen(s, "insurance"));
            }
        };
        compareSalary(before, in);
        compareSalary(after, out);
        QCOMPARE(cell(before, r, column(GroupRemark, ColProcess)), in.value(u"processText"_s).toString());
        QCOMPARE(cell(after, r, column(GroupRemark, ColProcess)), o.value(u"processText"_s).toString());
        const QString netIncrease = results.isEmpty() ? u"0"_s : fen(out, "netIncrease");
        const QString costDecrease = results.isEmpty() ? u"0"_s : fen(out, "costDecrease");
        QCOMPARE(cell(after, r, column(GroupSubtotal, ColNetIncrease)), netIncrease);
        QCOMPARE(cell(after, r, column(GroupSubtotal, ColCostDecrease)), costDecrease);
        if (!results.isEmpty() &&
            (out.value(u"netIncrease"_s).toDouble() > 0 || out.value(u"costDecrease"_s).toDouble() > 0))
            ++effective;
    }
    QCOMPARE(page.effectiveTable()->rowCount(), 2 + 2 * effective + 2);
    QVERIFY(effective > 0);
    QVERIFY(effective < rows);
}

QTEST_MAIN(TestBatchSaveCalcWid)
#include "tst_batchsavecalcwid.moc"
