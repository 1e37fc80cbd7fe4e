// The batch apportionment page as a user drives it: the before/after pairs with the tax, net pay
// and gain columns and their totals rows, N = 1, an uneven share, stopping (also on a large sheet,
// within half a second), the "*.bac" history (reopened with every choice, refused when damaged),
// and every figure of generated rows against lumo-cli apportion.
#include "batch/columncatalogue.h"
#include "engine/amount.h"
#include "pages/batch/batchapportioncalcwid.h"
#include "tests/pages/batch/batchtestkit.h"
#include "widgets/historylist.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressDialog>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;
using namespace batchtest;

namespace {

int column(GroupKind kind, int id)
{
    return ColumnCatalogue::instance().resultColumn(TreeApportionResult, kind, id);
}

QStringList historyFiles()
{
    return listHistoryFiles(historyDir(), u"*.bac"_s);
}

void fill(BatchApportionCalcWid &page, const QList<Row> &rows)
{
    fillSource(page.sourceTable(), rows);
    page.importFinished();
}

QString apportion(BatchApportionCalcWid &page, int months)
{
    MessageCatcher catcher;
    page.monthsBox()->setValue(months);
    page.calc();
    if (!catcher.waitForMessage())
        return QString();
    return catcher.takeAll().value(0);
}

const Row kExample{u"1"_s, u"甲"_s, 5800, 0, 6000};

} // namespace

class TestBatchApportionCalcWid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void calcWithoutDataWarns();
    void exampleRow();
    void twoEmployeesMakeEightRows();
    void oneMonthGainsNothing();
    void unevenShare();
    void cancelLeavesTitleRows_data();
    void cancelLeavesTitleRows();
    void reopensEveryChoice();
    void pageClosedWhileSavingKeepsTheEntry();
    void damagedHistoryChangesNothing_data();
    void damagedHistoryChangesNothing();
    void figuresEqualTheCommandLine();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void TestBatchApportionCalcWid::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("HOME", m_home->path().toLocal8Bit());
}

void TestBatchApportionCalcWid::calcWithoutDataWarns()
{
    BatchApportionCalcWid page;
    QCOMPARE(page.monthsBox()->value(), 3);
    QVERIFY(page.netIncreaseCaption()->isHidden());
    MessageCatcher catcher;
    page.calc();
    QCOMPARE(catcher.takeAll(), QStringList{u"分摊前，请先导入员工工资奖金数据。 "_s});
    fill(page, {});
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Empty);
    page.calc();
    QCOMPARE(catcher.takeAll().size(), 1);
    page.exportResult();
    QCOMPARE(catcher.takeAll(), QStringList{u"要导出数据，请先导入并计算工资数据。"_s});
    fill(page, {kExample});
    page.exportResult();
    QCOMPARE(catcher.takeAll(), QStringList{u"导出数据前，请先计算工资数据。"_s});
    QVERIFY(historyFiles().isEmpty());
    // After an import the gain shows; the tax decrease stays hidden.
    QVERIFY(!page.netIncreaseCaption()->isHidden());
    QVERIFY(page.taxDecreaseCaption()->isHidden());
}

void TestBatchApportionCalcWid::exampleRow()
{
    BatchApportionCalcWid page;
    fill(page, {kExample});
    QCOMPARE(apportion(page, 3), u"已完成 1 笔个税分摊计算。"_s);
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Calculated);
    const QTableWidget *result = page.resultTable();
    QCOMPARE(result->rowCount(), 6);
    const int tax = column(GroupSubtotal, ColTax);
    const int net = column(GroupSubtotal, ColNet);
    const int gain = column(GroupSubtotal, ColNetIncrease);
    const int bonus = column(GroupMonthly, ColOtherBonus);
    QCOMPARE(cell(result, 2, tax), u"1,355"_s);
    QCOMPARE(cell(result, 3, tax), u"975"_s);
    QCOMPARE(cell(result, 2, net), u"22,045"_s);
    QCOMPARE(cell(result, 3, net), u"22,425"_s);
    QCOMPARE(cell(result, 2, gain), QString());
    QCOMPARE(cell(result, 3, gain), u"380"_s);
    QCOMPARE(cell(result, 3, column(GroupSubtotal, ColSpreadMonths)), u"3"_s);
    QCOMPARE(cell(result, 2, bonus), u"6,000"_s);
    QCOMPARE(cell(result, 3, bonus), u"2,000"_s);
    QCOMPARE(cell(result, 2, 1), u"甲"_s);
    QCOMPARE(cell(result, 3, 1), QString());
    QCOMPARE(result->item(3, net)->background().color(), QColor(255, 204, 51));
    // The totals rows sum the columns above them.
    QCOMPARE(cell(result, 4, 1), u"分摊前总计"_s);
    QCOMPARE(cell(result, 5, 1), u"分摊后总计"_s);
    QCOMPARE(cell(result, 4, tax), u"1,355"_s);
    QCOMPARE(cell(result, 5, tax), u"975"_s);
    QCOMPARE(cell(result, 4, net), u"22,045"_s);
    QCOMPARE(cell(result, 5, net), u"22,425"_s);
    QCOMPARE(cell(result, 5, gain), u"380"_s);
    QVERIFY(result->item(5, gain)->font().bold());
    // The result line and the history entry: the gain and the tax decrease.
    QCOMPARE(page.netIncreaseValue()->text(), u"380"_s);
    QCOMPARE(page.taxDecreaseValue()->text(), u"380"_s);
    QTRY_VERIFY(page.historyList()->item(0, 0));
    QCOMPARE(page.historyList()->item(0, 1)->text(), u"380"_s);
    QCOMPARE(page.historyList()->item(0, 2)->text(), u"380"_s);
}

void TestBatchApportionCalcWid::twoEmployeesMakeEightRows()
{
    BatchApportionCalcWid page;
    fill(page, {kExample, {u"2"_s, u"乙"_s, 12000, 1000, 30000}});
    QCOMPARE(apportion(page, 3), u"已完成 2 笔个税分摊计算。"_s);
    const QTableWidget *result = page.resultTable();
    QCOMPARE(result->rowCount(), 8);
    QCOMPARE(cell(result, 4, 1), u"乙"_s);
    QCOMPARE(cell(result, 6, 1), u"分摊前总计"_s);
    QCOMPARE(cell(result, 7, 1), u"分摊后总计"_s);
    // Each totals cell is the sum of the two cells above it of its kind.
    const int tax = column(GroupSubtotal, ColTax);
    auto fenOf = [&](int row, int col) {
        return fenFromInput(cell(result, row, col).remove(u',').toDouble());
    };
    QCOMPARE(fenOf(6, tax), fenOf(2, tax) + fenOf(4, tax));
    QCOMPARE(fenOf(7, tax), fenOf(3, tax) + fenOf(5, tax));
    const int gain = column(GroupSubtotal, ColNetIncrease);
    QCOMPARE(fenOf(7, gain), fenOf(3, gain) + fenOf(5, gain));
    QCOMPARE(page.beforeTable()->rowCount(), 5);
    QCOMPARE(page.afterTable()->rowCount(), 5);
}

void TestBatchApportionCalcWid::oneMonthGainsNothing()
{
    BatchApportionCalcWid page;
    fill(page, generatedRows(20, 4));
    QVERIFY(!apportion(page, 1).isEmpty());
    const QTableWidget *result = page.resultTable();
    for (int i = 0; i < 20; ++i) {
        const int before = 2 + 2 * i, after = before + 1;
        QCOMPARE(cell(result, after, column(GroupSubtotal, ColNetIncrease)), u"0"_s);
        for (int id : {ColTax, ColNet})
            QCOMPARE(cell(result, after, column(GroupSubtotal, id)),
                     cell(result, before, column(GroupSubtotal, id)));
        for (int id : {ColMonthlyGross, ColInsurance, ColOtherBonus, ColTaxable, ColTax, ColNet, ColRate})
            QCOMPARE(cell(result, after, column(GroupMonthly, id)),
                     cell(result, before, column(GroupMonthly, id)));
    }
    QCOMPARE(page.netIncreaseValue()->text(), u"0"_s);
}

void TestBatchApportionCalcWid::unevenShare()
{
    BatchApportionCalcWid page;
    fill(page, {{u"1"_s, u"甲"_s, 5000, 400, 1000}});
    QVERIFY(!apportion(page, 3).isEmpty());
    QCOMPARE(cell(page.resultTable(), 3, column(GroupMonthly, ColOtherBonus)), u"333.33"_s);
    QCOMPARE(cell(page.resultTable(), 2, column(GroupMonthly, ColOtherBonus)), u"1,000"_s);
}

void TestBatchApportionCalcWid::cancelLeavesTitleRows_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("small sheet") << 3000;
    QTest::newRow("large sheet") << 60000;
}

void TestBatchApportionCalcWid::cancelLeavesTitleRows()
{
    QFETCH(int, rows);
    BatchApportionCalcWid page;
    page.show();
    fill(page, generatedRows(rows, 8));
    const QStringList source = allTexts(page.sourceTable());
    // "停止" once the dialog is up; the run must end without a result.
    QElapsedTimer sinceCancel;
    QTimer::singleShot(30, &page, [&] {
        if (auto *dialog = page.findChild<QProgressDialog *>()) {
            sinceCancel.start();
            dialog->cancel();
        }
    });
    MessageCatcher catcher;
    page.calc();
    const qint64 afterCancel = sinceCancel.isValid() ? sinceCancel.elapsed() : -1;
    if (afterCancel < 0)
        QSKIP("the run ended before the stop came");
    QTest::qWait(20);
    QVERIFY(catcher.takeAll().isEmpty());
    QCOMPARE(page.resultTable()->rowCount(), 2);
    QCOMPARE(page.beforeTable()->rowCount(), 2);
    QCOMPARE(page.afterTable()->rowCount(), 2);
    QCOMPARE(allTexts(page.sourceTable()), source);
    QVERIFY(historyFiles().isEmpty());
    QVERIFY(!page.isRunning());
    // A new run over the same data goes through.
    fill(page, generatedRows(5, 8));
    page.calc();
    QVERIFY(catcher.waitForMessage());
    QCOMPARE(catcher.takeAll(), QStringList{u"已完成 5 笔个税分摊计算。"_s});
}

void TestBatchApportionCalcWid::reopensEveryChoice()
{
    QStringList result, before, after, source;
    QString tax, net;
    {
        BatchApportionCalcWid page;
        fill(page, generatedRows(40, 11));
        for (QRadioButton *radio : page.findChildren<QRadioButton *>())
            if (radio->text() == u"4800元(外籍人员)"_s)
                radio->setChecked(true);
        QVERIFY(!apportion(page, 5).isEmpty());
        result = allTexts(page.resultTable());
        before = allTexts(page.beforeTable());
        after = allTexts(page.afterTable());
        source = allTexts(page.sourceTable());
        tax = page.taxDecreaseValue()->text();
        net = page.netIncreaseValue()->text();
    }
    BatchApportionCalcWid page;
    QTRY_VERIFY(page.historyList()->item(0, 0));
    page.openHistory(0, 0);
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Calculated);
    QCOMPARE(page.monthsBox()->value(), 5);
    QVERIFY(!page.localThreshold());
    QCOMPARE(page.taxDecreaseValue()->text(), tax);
    QCOMPARE(page.netIncreaseValue()->text(), net);
    QCOMPARE(allTexts(page.resultTable()), result);
    QCOMPARE(allTexts(page.beforeTable()), before);
    QCOMPARE(allTexts(page.afterTable()), after);
    QCOMPARE(allTexts(page.sourceTable()), source);
    QCOMPARE(historyFiles().size(), 1);
}

void TestBatchApportionCalcWid::pageClosedWhileSavingKeepsTheEntry()
{
    QStringList result, after;
    {
        BatchApportionCalcWid page;
        fill(page, generatedRows(3000, 17));
        QVERIFY(!apportion(page, 4).isEmpty());
        result = allTexts(page.resultTable());
        after = allTexts(page.afterTable());
        // The page goes at once, whether or not its record is on disk yet.
    }
    QCOMPARE(historyFiles().size(), 1);
    BatchApportionCalcWid page;
    page.load(historyFiles().value(0));
    QCOMPARE(page.dataState(), BatchPageBase::DataState::Calculated);
    QCOMPARE(page.monthsBox()->value(), 4);
    QCOMPARE(allTexts(page.resultTable()), result);
    QCOMPARE(allTexts(page.afterTable()), after);
}

void TestBatchApportionCalcWid::damagedHistoryChangesNothing_data()
{
    QTest::addColumn<int>("damage");
    QTest::newRow("cut in half") << 0;
    QTest::newRow("last bytes missing") << 1;
    QTest::newRow("a byte too many") << 2;
    QTest::newRow("months out of range") << 3;
    QTest::newRow("empty file") << 4;
}

void TestBatchApportionCalcWid::damagedHistoryChangesNothing()
{
    QFETCH(int, damage);
    QString path;
    {
        BatchApportionCalcWid page;
        fill(page, {kExample, kExample});
        QVERIFY(!apportion(page, 3).isEmpty());
        // Written on a worker: there once that is done.
        QTRY_COMPARE(historyFiles().size(), 1);
        path = historyFiles().value(0);
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    saveSeed(u"bac_record"_s, bytes);
    QDataStream probe(bytes);
    probe.setVersion(kHistoryStreamVersion);
    QString time;
    double a, b;
    bool flag;
    probe >> time >> a >> b >> flag;
    const qint64 monthsAt = probe.device()->pos();
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
    case 3: {
        QByteArray raw;
        QDataStream s(&raw, QIODevice::WriteOnly);
        s << qint32(0);
        bytes.replace(monthsAt, 4, raw);
        break;
    }
    case 4:
        bytes.clear();
        break;
    }
    saveSeed(u"bac_damaged_"_s + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'), bytes);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();

    BatchApportionCalcWid page;
    fill(page, {kExample});
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
    QCOMPARE(page.resultTable()->rowCount(), 2);
}

void TestBatchApportionCalcWid::figuresEqualTheCommandLine()
{
    const int rows = 2000;
    const QList<Row> input = generatedRows(rows, 2028);
    BatchApportionCalcWid page;
    fill(page, input);
    QCOMPARE(apportion(page, 3), u"已完成 2000 笔个税分摊计算。"_s);

    QList<QJsonObject> requests;
    for (const Row &row : input)
        requests << QJsonObject{{u"months"_s, 3},
                                {u"gross"_s, row.gross},
                                {u"insurance"_s, row.insurance},
                                {u"bonus"_s, row.bonus}};
    const QList<QJsonObject> answers = askCli({u"apportion"_s, u"--jsonl"_s}, requests);
    QCOMPARE(answers.size(), rows);
    const QTableWidget *result = page.resultTable();
    qint64 gain = 0;
    for (int i = 0; i < rows; ++i) {
        const QJsonObject &o = answers[i];
        const int b = 2 + 2 * i, a = b + 1;
        QCOMPARE(cell(result, b, column(GroupSubtotal, ColTax)), fen(o, "taxBefore"));
        QCOMPARE(cell(result, b, column(GroupSubtotal, ColNet)), fen(o, "netBefore"));
        QCOMPARE(cell(result, a, column(GroupSubtotal, ColTax)), fen(o, "taxAfter"));
        QCOMPARE(cell(result, a, column(GroupSubtotal, ColNet)), fen(o, "netAfter"));
        QCOMPARE(cell(result, a, column(GroupSubtotal, ColNetIncrease)), fen(o, "netIncrease"));
        QCOMPARE(cell(result, a, column(GroupMonthly, ColOtherBonus)), fen(o, "share"));
        gain += qint64(o.value(u"netIncrease"_s).toDouble());
        for (const auto &[row, key] : {std::pair{b, "bonusMonth"}, std::pair{a, "after"}}) {
            const QJsonObject month = o.value(QLatin1String(key)).toObject();
            const QJsonObject item = month.value(u"monthly"_s).toObject();
            if (item.isEmpty()) {
                QCOMPARE(cell(result, row, column(GroupMonthly, ColTax)), QString());
                continue;
            }
            QCOMPARE(cell(result, row, column(GroupMonthly, ColTaxable)), fen(item, "amount"));
            QCOMPARE(cell(result, row, column(GroupMonthly, ColTax)), fen(item, "tax"));
            QCOMPARE(cell(result, row, column(GroupMonthly, ColNet)), fen(item, "afterTax"));
            QCOMPARE(cell(result, row, column(GroupMonthly, ColRate)),
                     item.value(u"rate"_s).isNull() ? QString()
                                                    : QString::number(item.value(u"rate"_s).toInt()) + u'%');
        }
    }
    QCOMPARE(cell(result, result->rowCount() - 1, column(GroupSubtotal, ColNetIncrease)), formatAmount(gain));
    QCOMPARE(page.netIncreaseValue()->text(), formatAmount(gain));
}

QTEST_MAIN(TestBatchApportionCalcWid)
#include "tst_batchapportioncalcwid.moc"
