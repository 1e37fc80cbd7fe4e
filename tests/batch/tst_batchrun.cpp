// Batch runs on every core: the slices cover every record exactly once, and whatever the number
// of threads, every record comes out as the same calculation done alone, in input order.
#include "batch/batchrun.h"
#include "batch/yearplan.h"
#include "engine/taxengine.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <random>

class TestBatchRun : public QObject
{
    Q_OBJECT

private slots:
    void slices_data();
    void slices();
    void calcMatchesOneByOne_data();
    void calcMatchesOneByOne();
    void planMatchesOneByOne_data();
    void planMatchesOneByOne();
    void apportionMatchesOneByOne();
    void planTextAsThePageBuildsIt_data();
    void planTextAsThePageBuildsIt();
    void sameFiguresWithoutTexts_data();
    void sameFiguresWithoutTexts();
    void nothingToRun();
    void controlReportsAndCancels_data();
    void controlReportsAndCancels();
};

namespace {

std::vector<CalcRecordInput> sampleInputs(int count)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<qint64> wage(0, 8'000'000), insurance(0, 300'000), bonus(0, 20'000'000),
        annuity(0, 200'000);
    std::vector<CalcRecordInput> inputs;
    for (int i = 0; i < count; ++i)
        inputs.push_back({wage(random), insurance(random), bonus(random), i % 3 ? annuity(random) : 0});
    return inputs;
}

// Every figure of a calculated salary, its items' brackets included.
QList<qint64> figures(const Salary &s)
{
    QList<qint64> out = {s.annualGross, s.annualMonthlyTax, s.annualMonthlyAfterTax,
                         s.grossTotal,  s.taxableTotal,     s.taxTotal,
                         s.netTotal};
    for (const TaxItem *item : {s.monthly.get(), s.bonus.get(), s.annuity.get()}) {
        if (!item) {
            out << -1;
            continue;
        }
        out << item->amount << item->tax << item->afterTax << (item->bracket ? item->bracket->rate : -1);
    }
    return out;
}

} // namespace

void TestBatchRun::slices_data()
{
    QTest::addColumn<qint64>("count");
    QTest::addColumn<int>("threads");
    QTest::addColumn<QList<qint64>>("sizes");
    QTest::newRow("even split") << qint64(10) << 2 << QList<qint64>{5, 5};
    QTest::newRow("remainder to the first slices") << qint64(11) << 3 << QList<qint64>{4, 4, 3};
    QTest::newRow("fewer records than threads") << qint64(2) << 8 << QList<qint64>{1, 1};
    QTest::newRow("one record") << qint64(1) << 4 << QList<qint64>{1};
    QTest::newRow("no records") << qint64(0) << 4 << QList<qint64>{};
    QTest::newRow("negative count") << qint64(-3) << 4 << QList<qint64>{};
}

void TestBatchRun::slices()
{
    QFETCH(qint64, count);
    QFETCH(int, threads);
    QFETCH(QList<qint64>, sizes);
    const std::vector<RunSlice> slices = runSlices(count, threads);
    QCOMPARE(qsizetype(slices.size()), sizes.size());
    qsizetype next = 0;
    for (size_t k = 0; k < slices.size(); ++k) {
        QCOMPARE(slices[k].first, next);
        QCOMPARE(slices[k].last - slices[k].first, sizes[qsizetype(k)]);
        next = slices[k].last;
    }
    if (!slices.empty())
        QCOMPARE(next, count);
    // Without a thread count the machine's cores decide, still covering every record.
    const std::vector<RunSlice> automatic = runSlices(1000);
    QVERIFY(!automatic.empty());
    QCOMPARE(automatic.back().last, qsizetype(1000));
}

void TestBatchRun::calcMatchesOneByOne_data()
{
    QTest::addColumn<int>("threads");
    QTest::addColumn<int>("threshold");
    QTest::newRow("one thread") << 1 << int(kThresholdLocal);
    QTest::newRow("three threads, foreign staff") << 3 << int(kThresholdForeign);
    QTest::newRow("more threads than cores") << 16 << int(kThresholdLocal);
}

void TestBatchRun::calcMatchesOneByOne()
{
    QFETCH(int, threads);
    QFETCH(int, threshold);
    const std::vector<CalcRecordInput> inputs = sampleInputs(257);
    const std::vector<Salary> records = runCalcRecords(inputs, threshold, threads);
    QCOMPARE(records.size(), inputs.size());
    const TaxEngine engine(threshold);
    for (size_t i = 0; i < inputs.size(); ++i) {
        Salary alone;
        setCalcInputs(alone, inputs[i].monthlyGross, inputs[i].insurance, inputs[i].bonus, inputs[i].annuity);
        engine.calculate(alone);
        QCOMPARE(records[i].taxTotal, alone.taxTotal);
        QCOMPARE(records[i].netTotal, alone.netTotal);
        QCOMPARE(records[i].processText, alone.processText);
    }
    const RunTotals totals = calcRunTotals(records);
    Amount tax = 0;
    for (const Salary &s : records)
        tax += s.taxTotal;
    QCOMPARE(totals.taxAfter, tax);
    QCOMPARE(totals.taxBefore, tax);
}

void TestBatchRun::planMatchesOneByOne_data()
{
    QTest::addColumn<int>("goal");
    QTest::addColumn<bool>("balanced");
    QTest::addColumn<int>("months");
    QTest::newRow("raise net, bonus only") << int(RaiseNet) << false << 6;
    QTest::newRow("lower cost, balanced over 12") << int(LowerCost) << true << 12;
}

void TestBatchRun::planMatchesOneByOne()
{
    QFETCH(int, goal);
    QFETCH(bool, balanced);
    QFETCH(int, months);
    const std::vector<CalcRecordInput> inputs = sampleInputs(61);
    const PlanRun run = runPlanRecords(inputs, kThresholdLocal, PlanGoal(goal), balanced, months, 4);
    QCOMPARE(run.results.size(), inputs.size());
    const TaxEngine engine(kThresholdLocal);
    const int m = planRecordMonths(balanced, months);
    const QString label = planMethodLabel(PlanGoal(goal), balanced, months);
    Amount netIncrease = 0, costDecrease = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        Salary record;
        setPlanInputs(record, inputs[i].monthlyGross, inputs[i].insurance, inputs[i].bonus, m);
        const std::unique_ptr<PlanResult> alone =
            planBatchRecord(engine, record, PlanGoal(goal), balanced, m, label);
        QCOMPARE(run.records[i].taxTotal, record.taxTotal);
        QCOMPARE(run.results[i]->taxTotal, alone->taxTotal);
        QCOMPARE(run.results[i]->netIncrease, alone->netIncrease);
        QCOMPARE(run.results[i]->costDecrease, alone->costDecrease);
        QCOMPARE(run.results[i]->processText, alone->processText);
        netIncrease += alone->netIncrease;
        costDecrease += alone->costDecrease;
    }
    QCOMPARE(run.totals.netIncrease, netIncrease);
    QCOMPARE(run.totals.costDecrease, costDecrease);
}

void TestBatchRun::apportionMatchesOneByOne()
{
    const std::vector<CalcRecordInput> inputs = sampleInputs(40);
    const ApportionRun run = runApportionRecords(inputs, kThresholdLocal, 4, 3);
    QCOMPARE(run.rows.size(), inputs.size());
    const TaxEngine engine(kThresholdLocal);
    Amount taxDecrease = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const ApportionedRow alone =
            apportionBatchRow(engine, inputs[i].monthlyGross, inputs[i].insurance, inputs[i].bonus, 4);
        QCOMPARE(run.rows[i].result.taxAfter, alone.result.taxAfter);
        QCOMPARE(run.rows[i].result.netIncrease, alone.result.netIncrease);
        taxDecrease += alone.result.taxDecrease;
    }
    QCOMPARE(run.totals.taxDecrease, taxDecrease);
    QCOMPARE(run.totals.costDecrease, Amount(0));
}

void TestBatchRun::planTextAsThePageBuildsIt_data()
{
    QTest::addColumn<int>("goal");
    QTest::addColumn<bool>("balanced");
    QTest::addColumn<int>("months");
    QTest::newRow("raise net, bonus only") << int(RaiseNet) << false << 1;
    QTest::newRow("lower cost, bonus only") << int(LowerCost) << false << 1;
    QTest::newRow("raise net, balanced over 12") << int(RaiseNet) << true << 12;
    QTest::newRow("lower cost, balanced over 3") << int(LowerCost) << true << 3;
}

// The batch builds the text of the shown result only; it must read exactly as the planning page's
// text built from every tied result.
void TestBatchRun::planTextAsThePageBuildsIt()
{
    QFETCH(int, goal);
    QFETCH(bool, balanced);
    QFETCH(int, months);
    const TaxEngine engine(kThresholdLocal);
    const QString label = planMethodLabel(PlanGoal(goal), balanced, months);
    int planned = 0;
    for (const CalcRecordInput &in : sampleInputs(80)) {
        Salary forPage, forBatch;
        setPlanInputs(forPage, in.monthlyGross, in.insurance, in.bonus, months);
        setPlanInputs(forBatch, in.monthlyGross, in.insurance, in.bonus, months);
        PlanResults results;
        engine.plan(forPage, results, PlanGoal(goal), balanced, months);
        planned += results.empty() ? 0 : 1;
        const std::unique_ptr<PlanResult> batch =
            planBatchRecord(engine, forBatch, PlanGoal(goal), balanced, months, label);
        QCOMPARE(batch->processText, planPageProcessText(label, forPage, results));
        QCOMPARE(forBatch.processText, forPage.processText);
    }
    QVERIFY(planned > 0); // some rows must have had something to plan
}

void TestBatchRun::sameFiguresWithoutTexts_data()
{
    QTest::addColumn<int>("threshold");
    QTest::newRow("threshold 3500") << int(kThresholdLocal);
    QTest::newRow("threshold 4800") << 480000;
}

// Leaving the process texts out changes no figure, and leaves no text behind.
void TestBatchRun::sameFiguresWithoutTexts()
{
    QFETCH(int, threshold);
    const std::vector<CalcRecordInput> inputs = sampleInputs(45);
    const std::vector<Salary> with = runCalcRecords(inputs, threshold, 2, true);
    const std::vector<Salary> without = runCalcRecords(inputs, threshold, 2, false);
    for (size_t i = 0; i < inputs.size(); ++i) {
        QCOMPARE(figures(without[i]), figures(with[i]));
        QVERIFY(!with[i].processText.isEmpty());
        QVERIFY(without[i].processText.isEmpty());
    }
    const PlanRun planWith = runPlanRecords(inputs, threshold, LowerCost, true, 12, 2, true);
    const PlanRun planWithout = runPlanRecords(inputs, threshold, LowerCost, true, 12, 2, false);
    for (size_t i = 0; i < inputs.size(); ++i) {
        QCOMPARE(figures(planWithout.records[i]), figures(planWith.records[i]));
        QCOMPARE(figures(*planWithout.results[i]), figures(*planWith.results[i]));
        QCOMPARE(planWithout.results[i]->costDecrease, planWith.results[i]->costDecrease);
        QCOMPARE(planWithout.results[i]->netIncrease, planWith.results[i]->netIncrease);
        QVERIFY(!planWith.results[i]->processText.isEmpty());
        QVERIFY(planWithout.results[i]->processText.isEmpty());
        QVERIFY(planWithout.records[i].processText.isEmpty());
    }
    QCOMPARE(planWithout.totals.taxAfter, planWith.totals.taxAfter);
    const ApportionRun spreadWith = runApportionRecords(inputs, threshold, 5, 2, true);
    const ApportionRun spreadWithout = runApportionRecords(inputs, threshold, 5, 2, false);
    for (size_t i = 0; i < inputs.size(); ++i) {
        const Apportionment &a = spreadWith.rows[i].result, &b = spreadWithout.rows[i].result;
        QCOMPARE(figures(b.bonusMonth), figures(a.bonusMonth));
        QCOMPARE(figures(b.otherMonths), figures(a.otherMonths));
        QCOMPARE(figures(b.after), figures(a.after));
        QCOMPARE(b.share, a.share);
        QVERIFY(b.after.processText.isEmpty());
    }
    QCOMPARE(spreadWithout.totals.netIncrease, spreadWith.totals.netIncrease);
}

void TestBatchRun::nothingToRun()
{
    QVERIFY(runCalcRecords({}, kThresholdLocal).empty());
    QVERIFY(runPlanRecords({}, kThresholdLocal, RaiseNet, false, 6).results.empty());
    QVERIFY(runApportionRecords({}, kThresholdLocal, 3).rows.empty());
    int calls = 0;
    runOnEveryCore(0, kThresholdLocal, [&](const TaxEngine &, qsizetype, qsizetype) { ++calls; });
    QCOMPARE(calls, 0);
}

// A run reports its progress on the calling thread, ending at the count; a cancel flag set from
// the start or from a progress report ends the run early, for every runner.
void TestBatchRun::controlReportsAndCancels_data()
{
    QTest::addColumn<int>("runner");   // 0 calc, 1 plan, 2 apportion, 3 the current rules' year plan
    QTest::addColumn<int>("cancelAt"); // -1 never, 0 before the start, else at the first report
    for (int runner : {0, 1, 2, 3}) {
        const char *name = runner == 0   ? "calc"
                           : runner == 1 ? "plan"
                           : runner == 2 ? "apportion"
                                         : "year plan";
        QTest::addRow("%s runs to the end", name) << runner << -1;
        QTest::addRow("%s cancelled before it starts", name) << runner << 0;
        QTest::addRow("%s cancelled while it runs", name) << runner << 1;
    }
}

void TestBatchRun::controlReportsAndCancels()
{
    QFETCH(int, runner);
    QFETCH(int, cancelAt);
    const std::vector<CalcRecordInput> inputs = sampleInputs(runner == 1 ? 3000 : 20000);
    const auto count = qsizetype(inputs.size());
    std::vector<YearPlanInput> years;
    for (const CalcRecordInput &in : inputs) {
        YearPlanInput year;
        year.annual = 12 * in.monthlyGross + in.bonus;
        year.insurance = 12 * in.insurance;
        year.plannedBonus = in.bonus;
        years.push_back(year);
    }
    std::atomic<bool> cancel = cancelAt == 0;
    qsizetype last = -1;
    bool otherThread = false;
    const Qt::HANDLE caller = QThread::currentThreadId();
    RunControl control{&cancel, [&](qsizetype done, qsizetype total) {
                           otherThread |= QThread::currentThreadId() != caller;
                           QCOMPARE_LE(done, total);
                           last = done;
                           if (cancelAt > 0)
                               cancel = true;
                       }};
    const auto run = [&] {
        if (runner == 0)
            runCalcRecords(inputs, 500000, 4, false, control);
        else if (runner == 1)
            runPlanRecords(inputs, 500000, LowerCost, true, 12, 4, false, control);
        else if (runner == 2)
            runApportionRecords(inputs, 500000, 3, 4, false, control);
        else
            runYearPlans(years, 4, control);
    };
    run();
    QVERIFY(!otherThread);
    if (cancelAt < 0)
        QCOMPARE(last, count);
    else
        QVERIFY(last < count); // stopped after the first report, without a closing one
}

QTEST_GUILESS_MAIN(TestBatchRun)
#include "tst_batchrun.moc"
