// Running a batch of records on every core: the records are cut into one contiguous slice per
// thread, each thread calculates its slice with a TaxEngine of its own, and the results stay in
// the order of the input. No record is touched by two threads and nothing else is shared, except
// the rate table, which is built before the first thread starts. QtCore only.
#pragma once

#include "batch/batchapportion.h"
#include "batch/batchplan.h"
#include "engine/amount.h"
#include "engine/salary.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class TaxEngine;

// The slices [first, last) of `count` records for `threads` threads (0: as many as the machine
// has cores): equal slices, the remainder spread over the first ones, never an empty slice, never
// more slices than records.
struct RunSlice
{
    qsizetype first = 0;
    qsizetype last = 0;
    bool operator==(const RunSlice &) const = default;
};
std::vector<RunSlice> runSlices(qsizetype count, int threads = 0);

// What the caller of a run has to say while it goes. `cancel`, when given and set (from any
// thread), ends the run within a few records per thread; the results then hold only the records
// done and the caller throws them away. `progress`, when given, is called on the calling thread a
// few dozen times a second at most with the records done so far and the count.
struct RunControl
{
    const std::atomic<bool> *cancel = nullptr;
    std::function<void(qsizetype done, qsizetype count)> progress;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }

    // For a job counted in percent: reports `percent` done; false when the job is to stop.
    bool reached(int percent) const
    {
        if (progress)
            progress(percent, 100);
        return !cancelled();
    }

    // The same cancel flag for one step of a longer job whose progress is counted in percent: the
    // step's records done are reported as `from` to `to` of 100.
    RunControl step(int from, int to) const
    {
        RunControl part{cancel, nullptr};
        if (progress)
            part.progress = [whole = progress, from, to](qsizetype done, qsizetype count) {
                whole(from + int(done * (to - from) / std::max<qsizetype>(count, 1)), 100);
            };
        return part;
    }
};

// Calls work(first, last) over every record of `count`, split into one slice per thread, and
// returns when every slice is done (or cancelled). One slice runs on the calling thread. `work` is
// called on short runs of a slice's records, so a cancel takes effect within one run per thread,
// and must only write to the records it is given.
void runInParallel(qsizetype count, const std::function<void(qsizetype, qsizetype)> &work, int threads = 0,
                   const RunControl &control = {});

// The same with a TaxEngine for `threshold` (the rules of 2011) handed to `work`; no engine is
// used by two threads.
void runOnEveryCore(qsizetype count, Amount threshold,
                    const std::function<void(const TaxEngine &, qsizetype, qsizetype)> &work, int threads = 0,
                    const RunControl &control = {});

// The inputs of one batch tax calculation record (setCalcInputs), in fen.
struct CalcRecordInput
{
    Amount monthlyGross = 0;
    Amount insurance = 0;
    Amount bonus = 0;
    Amount annuity = 0;
};

// Every record calculated, results in input order. Without `processTexts` the records get no
// process text, for runs that never show it.
std::vector<Salary> runCalcRecords(const std::vector<CalcRecordInput> &inputs, Amount threshold,
                                   int threads = 0, bool processTexts = true, const RunControl &control = {});

// The sums a batch summary reports: tax and net pay before and after (equal for a plain
// calculation), the employer cost change and the three differences of planning.
struct RunTotals
{
    Amount taxBefore = 0, netBefore = 0, taxAfter = 0, netAfter = 0;
    Amount taxDecrease = 0, costDecrease = 0, netIncrease = 0;
};
RunTotals calcRunTotals(const std::vector<Salary> &records);

// The runs below take a RunControl; a cancelled run's totals are not meaningful.

// Batch planning: each record (monthly wage for the method's months, bonus) is planned as the
// planning page plans it; records[i] is the calculated input, results[i] what the page shows.
// Without `processTexts` neither gets a process or planning text.
struct PlanRun
{
    std::vector<Salary> records;
    std::vector<std::unique_ptr<PlanResult>> results;
    RunTotals totals;
};
PlanRun runPlanRecords(const std::vector<CalcRecordInput> &inputs, Amount threshold, PlanGoal goal,
                       bool balanced, int months, int threads = 0, bool processTexts = true,
                       const RunControl &control = {});

// Batch apportionment of each record's (non-annual) bonus over `months` months; without
// `processTexts` the months get no process text (a result row never shows one).
struct ApportionRun
{
    std::vector<ApportionedRow> rows;
    RunTotals totals;
};
ApportionRun runApportionRecords(const std::vector<CalcRecordInput> &inputs, Amount threshold, int months,
                                 int threads = 0, bool processTexts = true, const RunControl &control = {});
