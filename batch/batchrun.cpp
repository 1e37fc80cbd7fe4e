#include "batch/batchrun.h"

#include "batch/batchcalc.h"
#include "engine/ratetable.h"
#include "engine/taxengine.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <thread>

std::vector<RunSlice> runSlices(qsizetype count, int threads)
{
    std::vector<RunSlice> slices;
    if (count <= 0)
        return slices;
    if (threads <= 0)
        threads = std::max(1, QThread::idealThreadCount());
    const qsizetype n = std::min<qsizetype>(threads, count);
    const qsizetype chunk = count / n;
    const qsizetype extra = count % n;
    qsizetype first = 0;
    for (qsizetype k = 0; k < n; ++k) {
        const qsizetype size = chunk + (k < extra ? 1 : 0);
        slices.push_back({first, first + size});
        first += size;
    }
    return slices;
}

namespace {

// Records worked between two looks at the cancel flag.
constexpr qsizetype kStep = 16;

// Works the slice in steps, counting the records done.
void workSlice(RunSlice slice, const std::function<void(qsizetype, qsizetype)> &work,
               const RunControl &control, std::atomic<qsizetype> &done, const std::function<void()> &between)
{
    for (qsizetype i = slice.first; i < slice.last && !control.cancelled(); i += kStep) {
        const qsizetype end = std::min(slice.last, i + kStep);
        work(i, end);
        done.fetch_add(end - i, std::memory_order_relaxed);
        if (between)
            between();
    }
}

} // namespace

void runInParallel(qsizetype count, const std::function<void(qsizetype, qsizetype)> &work, int threads,
                   const RunControl &control)
{
    const std::vector<RunSlice> slices = runSlices(count, threads);
    if (slices.empty())
        return;
    std::atomic<qsizetype> done = 0;
    std::atomic<size_t> finished = 0;
    std::vector<std::thread> others;
    others.reserve(slices.size() - 1);
    for (size_t k = 1; k < slices.size(); ++k) {
        others.emplace_back([&, slice = slices[k]] {
            workSlice(slice, work, control, done, {});
            finished.fetch_add(1, std::memory_order_release);
        });
    }
    // The first report as soon as the first records are done, then every 30 ms at most.
    QElapsedTimer clock;
    auto report = [&] {
        if (!clock.isValid() || clock.elapsed() >= 30) {
            control.progress(done.load(std::memory_order_relaxed), count);
            clock.start();
        }
    };
    workSlice(slices.front(), work, control, done,
              control.progress ? std::function<void()>(report) : nullptr);
    // The other slices may still be under way: report while waiting for them.
    while (control.progress && finished.load(std::memory_order_acquire) < others.size()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        report();
    }
    for (std::thread &t : others)
        t.join();
    if (control.progress && !control.cancelled())
        control.progress(count, count);
}

void runOnEveryCore(qsizetype count, Amount threshold,
                    const std::function<void(const TaxEngine &, qsizetype, qsizetype)> &work, int threads,
                    const RunControl &control)
{
    if (count <= 0)
        return;
    // The rate table is shared read-only by the engines; it must exist before they start.
    ensureRateTable();
    // An engine is a threshold and nothing else: one for each run of records costs nothing and is
    // never shared between threads.
    runInParallel(
        count,
        [&](qsizetype first, qsizetype last) {
            const TaxEngine engine(static_cast<qint32>(threshold));
            work(engine, first, last);
        },
        threads, control);
}

std::vector<Salary> runCalcRecords(const std::vector<CalcRecordInput> &inputs, Amount threshold, int threads,
                                   bool processTexts, const RunControl &control)
{
    std::vector<Salary> records(inputs.size());
    runOnEveryCore(
        qsizetype(inputs.size()), threshold,
        [&](const TaxEngine &engine, qsizetype first, qsizetype last) {
            for (qsizetype i = first; i < last; ++i) {
                const CalcRecordInput &in = inputs[size_t(i)];
                Salary &record = records[size_t(i)];
                setCalcInputs(record, in.monthlyGross, in.insurance, in.bonus, in.annuity);
                if (processTexts)
                    engine.calculate(record);
                else
                    engine.calculateFigures(record);
            }
        },
        threads, control);
    return records;
}

RunTotals calcRunTotals(const std::vector<Salary> &records)
{
    RunTotals t;
    for (const Salary &s : records) {
        t.taxBefore += s.taxTotal;
        t.netBefore += s.netTotal;
    }
    t.taxAfter = t.taxBefore;
    t.netAfter = t.netBefore;
    return t;
}

PlanRun runPlanRecords(const std::vector<CalcRecordInput> &inputs, Amount threshold, PlanGoal goal,
                       bool balanced, int months, int threads, bool processTexts, const RunControl &control)
{
    PlanRun run;
    run.records.resize(inputs.size());
    run.results.resize(inputs.size());
    const int m = planRecordMonths(balanced, months);
    const QString label = planMethodLabel(goal, balanced, months);
    runOnEveryCore(
        qsizetype(inputs.size()), threshold,
        [&](const TaxEngine &engine, qsizetype first, qsizetype last) {
            for (qsizetype i = first; i < last; ++i) {
                const CalcRecordInput &in = inputs[size_t(i)];
                Salary &record = run.records[size_t(i)];
                setPlanInputs(record, in.monthlyGross, in.insurance, in.bonus, m);
                run.results[size_t(i)] =
                    planBatchRecord(engine, record, goal, balanced, m, label, processTexts);
            }
        },
        threads, control);
    if (control.cancelled())
        return run; // records left undone have no result to add up
    for (size_t i = 0; i < inputs.size(); ++i) {
        const Salary &before = run.records[i];
        const PlanResult &after = *run.results[i];
        run.totals.taxBefore += before.taxTotal;
        run.totals.netBefore += before.netTotal;
        run.totals.taxAfter += after.taxTotal;
        run.totals.netAfter += after.netTotal;
        run.totals.taxDecrease += after.taxDecrease;
        run.totals.costDecrease += after.costDecrease;
        run.totals.netIncrease += after.netIncrease;
    }
    return run;
}

ApportionRun runApportionRecords(const std::vector<CalcRecordInput> &inputs, Amount threshold, int months,
                                 int threads, bool processTexts, const RunControl &control)
{
    ApportionRun run;
    run.rows.resize(inputs.size());
    runOnEveryCore(
        qsizetype(inputs.size()), threshold,
        [&](const TaxEngine &engine, qsizetype first, qsizetype last) {
            for (qsizetype i = first; i < last; ++i) {
                const CalcRecordInput &in = inputs[size_t(i)];
                run.rows[size_t(i)] =
                    apportionBatchRow(engine, in.monthlyGross, in.insurance, in.bonus, months, processTexts);
            }
        },
        threads, control);
    if (control.cancelled())
        return run;
    for (const ApportionedRow &row : run.rows) {
        run.totals.taxBefore += row.result.taxBefore;
        run.totals.netBefore += row.result.netBefore;
        run.totals.taxAfter += row.result.taxAfter;
        run.totals.netAfter += row.result.netAfter;
        run.totals.taxDecrease += row.result.taxDecrease;
        run.totals.netIncrease += row.result.netIncrease;
    }
    return run;
}
