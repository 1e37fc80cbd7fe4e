// The batch planning and apportionment core: a record's planning result, effectiveness, the before
// and after texts, the totals rows, and the texts of an apportioned row with its totals.
#include "batch/batchapportion.h"
#include "batch/batchplan.h"
#include "batch/columncatalogue.h"
#include "engine/taxengine.h"

#include <QTest>

#include <map>

using namespace Qt::StringLiterals;

namespace {

using Texts = std::map<int, QString>;

Texts byColumn(const std::vector<ResultText> &texts)
{
    Texts out;
    for (const ResultText &t : texts) {
        // Every column is written once.
        if (out.count(t.column))
            qFatal("column %d written twice", t.column);
        out[t.column] = t.text;
    }
    return out;
}

int planColumn(GroupKind kind, int id)
{
    return ColumnCatalogue::instance().resultColumn(TreePlanResult, kind, id);
}

int apportionColumn(GroupKind kind, int id)
{
    return ColumnCatalogue::instance().resultColumn(TreeApportionResult, kind, id);
}

struct Planned
{
    Salary record;
    std::unique_ptr<PlanResult> result;
};

Planned plan(Amount gross, Amount insurance, Amount bonus, PlanGoal goal, bool balanced, int n)
{
    Planned p;
    const int months = planRecordMonths(balanced, n);
    setPlanInputs(p.record, gross, insurance, bonus, months);
    const TaxEngine engine{qint32(kThresholdLocal)};
    p.result = planBatchRecord(engine, p.record, goal, balanced, months, planMethodLabel(goal, balanced, n));
    return p;
}

} // namespace

class TestBatchPlan : public QObject
{
    Q_OBJECT

private slots:
    void recordMonths_data();
    void recordMonths();
    void blindZoneBonusIsMoved();
    void wellSplitPayKeepsTheRecord();
    void effective_data();
    void effective();
    void beforeAndAfterTexts();
    void totals();
    void totalsWithoutEffectiveEmployees();
    void planCompletionMessage_data();
    void planCompletionMessage();

    void exampleRow();
    void singleMonthGainsNothing();
    void unevenShare();
    void emptyRowHasNoMonthCells();
    void apportionTotals();
    void apportionMessage();
};

void TestBatchPlan::recordMonths_data()
{
    QTest::addColumn<bool>("balanced");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("months");
    QTest::newRow("bonus only ignores N") << false << 6 << 1;
    QTest::newRow("balanced 3") << true << 3 << 3;
    QTest::newRow("balanced 12") << true << 12 << 12;
    QTest::newRow("balanced 0 is raised to 1") << true << 0 << 1;
    QTest::newRow("balanced 40 is lowered to 12") << true << 40 << 12;
}

void TestBatchPlan::recordMonths()
{
    QFETCH(bool, balanced);
    QFETCH(int, n);
    QFETCH(int, months);
    QCOMPARE(planRecordMonths(balanced, n), months);
}

void TestBatchPlan::blindZoneBonusIsMoved()
{
    // A bonus of 18,001 lies just above the 18,000 step: lowering it raises the net pay.
    const Planned p = plan(800000, 0, 1800100, RaiseNet, false, 6);
    QVERIFY(p.result);
    QVERIFY(p.result->netIncrease > 0);
    QVERIFY(isEffectivePlan(*p.result));
    QVERIFY(
        p.result->processText.startsWith(u"筹划方法：调整年终奖金，增加员工税后收入（单位不多开支）。\n"_s));
    // The record itself was calculated on the way: its texts are the before row.
    QCOMPARE(p.record.bonus->amount, 1800100);
    QVERIFY(p.record.taxTotal > p.result->taxTotal);
}

void TestBatchPlan::wellSplitPayKeepsTheRecord()
{
    // Below the threshold there is no tax to save.
    const Planned p = plan(300000, 0, 0, LowerCost, true, 3);
    QCOMPARE(p.result->netIncrease, 0);
    QCOMPARE(p.result->costDecrease, 0);
    QCOMPARE(p.result->taxDecrease, 0);
    QCOMPARE(p.result->grossTotal, p.record.grossTotal);
    QCOMPARE(p.result->netTotal, p.record.netTotal);
    QVERIFY(!isEffectivePlan(*p.result));
    QVERIFY(p.result->processText.startsWith(
        u"筹划方法：年终奖金与 3 个月月收入平衡发放，减少单位开支（员工税后收入不变）。"_s));
    QVERIFY(p.result->processText.contains(u"恭喜您，在选定节税筹划策略下，原有薪资已经是合理发放了。"_s));
    QVERIFY(p.result->processText.contains(p.record.processText));
}

void TestBatchPlan::effective_data()
{
    QTest::addColumn<qint64>("taxDecrease");
    QTest::addColumn<qint64>("costDecrease");
    QTest::addColumn<qint64>("netIncrease");
    QTest::addColumn<bool>("effective");
    QTest::newRow("nothing") << 0LL << 0LL << 0LL << false;
    QTest::newRow("tax alone does not count") << 500LL << 0LL << 0LL << false;
    QTest::newRow("cost") << 0LL << 1LL << 0LL << true;
    QTest::newRow("net") << 0LL << 0LL << 1LL << true;
    QTest::newRow("net up, cost up") << 0LL << -100LL << 300LL << true;
    QTest::newRow("both down") << 0LL << -1LL << -1LL << false;
}

void TestBatchPlan::effective()
{
    QFETCH(qint64, taxDecrease);
    QFETCH(qint64, costDecrease);
    QFETCH(qint64, netIncrease);
    QFETCH(bool, effective);
    PlanResult r;
    r.taxDecrease = taxDecrease;
    r.costDecrease = costDecrease;
    r.netIncrease = netIncrease;
    QCOMPARE(isEffectivePlan(r), effective);
}

void TestBatchPlan::beforeAndAfterTexts()
{
    const Planned p = plan(800000, 50000, 1800100, RaiseNet, false, 6);
    const Texts before = byColumn(planBeforeTexts(p.record));
    const Texts after = byColumn(planAfterTexts(*p.result));
    QCOMPARE(before.at(planColumn(GroupSubtotal, ColGross)), formatAmount(p.record.grossTotal));
    QCOMPARE(before.at(planColumn(GroupSubtotal, ColTax)), formatAmount(p.record.taxTotal));
    QCOMPARE(before.at(planColumn(GroupMonthly, ColInsurance)), u"500"_s);
    QCOMPARE(before.at(planColumn(GroupBonus, ColTaxable)), u"18,001"_s);
    QCOMPARE(before.at(planColumn(GroupBonus, ColRate)), u"10%"_s);
    QCOMPARE(before.at(planColumn(GroupRemark, ColProcess)), p.record.processText);
    // Before rows leave the two difference columns empty; after rows fill them.
    QVERIFY(!before.count(planColumn(GroupSubtotal, ColNetIncrease)));
    QVERIFY(!before.count(planColumn(GroupSubtotal, ColCostDecrease)));
    QCOMPARE(after.at(planColumn(GroupSubtotal, ColNetIncrease)), formatAmount(p.result->netIncrease));
    QCOMPARE(after.at(planColumn(GroupSubtotal, ColCostDecrease)), formatAmount(p.result->costDecrease));
    QCOMPARE(after.at(planColumn(GroupSubtotal, ColNet)), formatAmount(p.result->netTotal));
    QCOMPARE(after.at(planColumn(GroupBonus, ColTaxable)), formatAmount(p.result->bonus->amount));
    QCOMPARE(after.at(planColumn(GroupRemark, ColProcess)), p.result->processText);
    // Code and name are the caller's.
    QVERIFY(!before.count(0) && !before.count(1) && !after.count(0) && !after.count(1));
}

void TestBatchPlan::totals()
{
    // The second employee gains, the first does not.
    const Planned first = plan(300000, 0, 0, RaiseNet, false, 6);
    const Planned second = plan(800000, 0, 1800100, RaiseNet, false, 6);
    PlanResultTotals totals;
    totals.add(first.record, *first.result);
    totals.add(second.record, *second.result);
    QCOMPARE(totals.effectiveCount(), 1);
    QCOMPARE(totals.netIncrease(), second.result->netIncrease);
    QCOMPARE(totals.costDecrease(), first.result->costDecrease + second.result->costDecrease);
    QCOMPARE(totals.taxDecrease(), first.result->taxDecrease + second.result->taxDecrease);

    const int gross = planColumn(GroupSubtotal, ColGross);
    const int bonusTax = planColumn(GroupBonus, ColTax);
    const int netIncrease = planColumn(GroupSubtotal, ColNetIncrease);
    const Texts beforeAll = byColumn(totals.beforeTexts(false));
    const Texts beforeEffective = byColumn(totals.beforeTexts(true));
    const Texts afterAll = byColumn(totals.afterTexts(false));
    const Texts afterEffective = byColumn(totals.afterTexts(true));
    QCOMPARE(beforeAll.at(gross), formatAmount(first.record.grossTotal + second.record.grossTotal));
    QCOMPARE(beforeEffective.at(gross), formatAmount(second.record.grossTotal));
    QCOMPARE(beforeEffective.at(bonusTax), formatAmount(second.record.bonus->tax));
    QCOMPARE(afterEffective.at(gross), formatAmount(second.result->grossTotal));
    // Both after totals rows carry the differences of every result; before rows have none.
    QCOMPARE(afterAll.at(netIncrease), formatAmount(totals.netIncrease()));
    QCOMPARE(afterEffective.at(netIncrease), formatAmount(totals.netIncrease()));
    QVERIFY(!beforeAll.count(netIncrease));
    // No rates or quick deductions in totals rows.
    QVERIFY(!afterAll.count(planColumn(GroupMonthly, ColRate)));
    QVERIFY(!afterAll.count(planColumn(GroupBonus, ColQuickDeduction)));
    QCOMPARE(int(beforeAll.size()), 11);
    QCOMPARE(int(afterAll.size()), 13);
}

void TestBatchPlan::totalsWithoutEffectiveEmployees()
{
    const Planned p = plan(300000, 0, 0, RaiseNet, true, 6);
    PlanResultTotals totals;
    totals.add(p.record, *p.result);
    QCOMPARE(totals.effectiveCount(), 0);
    for (const ResultText &t : totals.beforeTexts(true))
        QCOMPARE(t.text, u"0"_s);
    for (const ResultText &t : totals.afterTexts(true))
        QCOMPARE(t.text, u"0"_s);
}

void TestBatchPlan::planCompletionMessage_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << 3 << 0 << u"已完成 3 笔个税筹划计算。"_s;
    QTest::newRow("with unreadable cells")
        << 100000 << 2 << u"已完成 100000 笔个税筹划计算。其中 2 个金额单元格无法识别，已按 0 计算。"_s;
}

void TestBatchPlan::planCompletionMessage()
{
    QFETCH(int, count);
    QFETCH(int, unreadable);
    QFETCH(QString, text);
    QCOMPARE(::planCompletionMessage(count, unreadable), text);
}

void TestBatchPlan::exampleRow()
{
    // Wage 5,800, no insurance, a 6,000 bonus over 3 months at the 3,500 threshold.
    const TaxEngine engine{qint32(kThresholdLocal)};
    const ApportionedRow row = apportionBatchRow(engine, 580000, 0, 600000, 3);
    const Texts before = byColumn(apportionBeforeTexts(row));
    const Texts after = byColumn(apportionAfterTexts(row));
    QCOMPARE(before.at(apportionColumn(GroupSubtotal, ColTax)), u"1,355"_s);
    QCOMPARE(after.at(apportionColumn(GroupSubtotal, ColTax)), u"975"_s);
    QCOMPARE(before.at(apportionColumn(GroupSubtotal, ColNet)), u"22,045"_s);
    QCOMPARE(after.at(apportionColumn(GroupSubtotal, ColNet)), u"22,425"_s);
    QCOMPARE(after.at(apportionColumn(GroupSubtotal, ColNetIncrease)), u"380"_s);
    QCOMPARE(after.at(apportionColumn(GroupSubtotal, ColSpreadMonths)), u"3"_s);
    QCOMPARE(before.at(apportionColumn(GroupMonthly, ColOtherBonus)), u"6,000"_s);
    QCOMPARE(after.at(apportionColumn(GroupMonthly, ColOtherBonus)), u"2,000"_s);
    QCOMPARE(before.at(apportionColumn(GroupMonthly, ColMonthlyGross)), u"5,800"_s);
    QCOMPARE(after.at(apportionColumn(GroupMonthly, ColMonthlyGross)), u"5,800"_s);
    // The bonus month taxes 11,800 − 3,500 = 8,300 at 20%; each spread month 7,800 − 3,500 at 10%.
    QCOMPARE(before.at(apportionColumn(GroupMonthly, ColTaxable)), u"11,800"_s);
    QCOMPARE(before.at(apportionColumn(GroupMonthly, ColRate)), u"20%"_s);
    QCOMPARE(after.at(apportionColumn(GroupMonthly, ColTaxable)), u"7,800"_s);
    QCOMPARE(after.at(apportionColumn(GroupMonthly, ColTax)), u"325"_s);
    QCOMPARE(after.at(apportionColumn(GroupMonthly, ColRate)), u"10%"_s);
    // Before rows have neither months nor gain.
    QVERIFY(!before.count(apportionColumn(GroupSubtotal, ColSpreadMonths)));
    QVERIFY(!before.count(apportionColumn(GroupSubtotal, ColNetIncrease)));
}

void TestBatchPlan::singleMonthGainsNothing()
{
    const TaxEngine engine{qint32(kThresholdLocal)};
    const ApportionedRow row = apportionBatchRow(engine, 580000, 30000, 600000, 1);
    const Texts before = byColumn(apportionBeforeTexts(row));
    const Texts after = byColumn(apportionAfterTexts(row));
    QCOMPARE(after.at(apportionColumn(GroupSubtotal, ColNetIncrease)), u"0"_s);
    for (int id : {ColTax, ColNet})
        QCOMPARE(after.at(apportionColumn(GroupSubtotal, id)), before.at(apportionColumn(GroupSubtotal, id)));
    for (int id : {ColMonthlyGross, ColInsurance, ColOtherBonus, ColTaxable, ColTax, ColNet, ColRate})
        QCOMPARE(after.at(apportionColumn(GroupMonthly, id)), before.at(apportionColumn(GroupMonthly, id)));
}

void TestBatchPlan::unevenShare()
{
    // 1,000 over 3 months: a share of 333.33 and the fen left over in the bonus's month; the tax
    // column is the tax of all the months, not gross minus net.
    const TaxEngine engine{qint32(kThresholdLocal)};
    const ApportionedRow row = apportionBatchRow(engine, 500000, 40000, 100000, 3);
    const Texts after = byColumn(apportionAfterTexts(row));
    QCOMPARE(after.at(apportionColumn(GroupMonthly, ColOtherBonus)), u"333.33"_s);
    QCOMPARE(row.result.remainder, Amount(1));
    QCOMPARE(after.at(apportionColumn(GroupSubtotal, ColTax)),
             formatAmount(row.result.after.taxTotal + row.result.afterBonusMonth.taxTotal));
    const Texts before = byColumn(apportionBeforeTexts(row));
    QCOMPARE(before.at(apportionColumn(GroupSubtotal, ColTax)),
             formatAmount(row.result.bonusMonth.taxTotal + row.result.otherMonths.taxTotal));
    QVERIFY(row.result.taxBefore <
            row.result.bonusMonth.grossTotal + row.result.otherMonths.grossTotal - row.result.netBefore);
}

void TestBatchPlan::emptyRowHasNoMonthCells()
{
    const TaxEngine engine{qint32(kThresholdLocal)};
    const ApportionedRow row = apportionBatchRow(engine, 0, 0, 0, 3);
    const Texts before = byColumn(apportionBeforeTexts(row));
    QVERIFY(!before.count(apportionColumn(GroupMonthly, ColTaxable)));
    QVERIFY(!before.count(apportionColumn(GroupMonthly, ColRate)));
    QCOMPARE(before.at(apportionColumn(GroupSubtotal, ColTax)), u"0"_s);
    QCOMPARE(before.at(apportionColumn(GroupMonthly, ColOtherBonus)), u"0"_s);
}

void TestBatchPlan::apportionTotals()
{
    const TaxEngine engine{qint32(kThresholdLocal)};
    const ApportionedRow a = apportionBatchRow(engine, 580000, 0, 600000, 3);
    const ApportionedRow b = apportionBatchRow(engine, 1200000, 100000, 3000000, 3);
    ApportionTotals totals;
    totals.add(a);
    totals.add(b);
    const int tax = apportionColumn(GroupSubtotal, ColTax);
    const int net = apportionColumn(GroupSubtotal, ColNet);
    const int gain = apportionColumn(GroupSubtotal, ColNetIncrease);
    const Texts before = byColumn(totals.beforeTexts());
    const Texts after = byColumn(totals.afterTexts());
    // Each totals row sums the columns above it, and only those.
    QCOMPARE(before.at(tax), formatAmount(a.result.taxBefore + b.result.taxBefore));
    QCOMPARE(before.at(net), formatAmount(a.result.netBefore + b.result.netBefore));
    QCOMPARE(int(before.size()), 2);
    QCOMPARE(after.at(tax), formatAmount(a.result.taxAfter + b.result.taxAfter));
    QCOMPARE(after.at(net), formatAmount(a.result.netAfter + b.result.netAfter));
    QCOMPARE(after.at(gain), formatAmount(a.result.netIncrease + b.result.netIncrease));
    QCOMPARE(int(after.size()), 3);
    QCOMPARE(totals.netIncrease(), a.result.netIncrease + b.result.netIncrease);
    QCOMPARE(totals.taxDecrease(), a.result.taxDecrease + b.result.taxDecrease);
}

void TestBatchPlan::apportionMessage()
{
    QCOMPARE(apportionCompletionMessage(2, 0), u"已完成 2 笔个税分摊计算。"_s);
    QCOMPARE(apportionCompletionMessage(2, 1),
             u"已完成 2 笔个税分摊计算。其中 1 个金额单元格无法识别，已按 0 计算。"_s);
}

QTEST_GUILESS_MAIN(TestBatchPlan)
#include "tst_batchplan.moc"
