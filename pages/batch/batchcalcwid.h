// Function 1, "批量个税计算": a whole salary sheet taxed at once. The sheet lies in the source
// table (imported, or filled by a caller); "计算" reads every row's amounts through the core's
// amount-cell rule, has the core's runner calculate the records on every core off the window's
// thread, and fills the result table with the core's result texts and a totals row once it is
// done. "停止" ends the run at any point before the record is saved and leaves the page as it was
// after the import. Every finished calculation goes to the "*.bc" history, which reopens both
// tables exactly as they were.
//
// The page computes nothing itself: figures come from the TaxEngine, their texts from batch/.
#pragma once

#include "pages/batch/batchpagebase.h"

#include "engine/salary.h"

#include <QString>

#include <vector>

class BatchCalcWid : public BatchPageBase
{
    Q_OBJECT
public:
    explicit BatchCalcWid(QWidget *parent = nullptr);
    ~BatchCalcWid() override;

    static QString extension() { return QStringLiteral("bc"); }

    PTableWidget *resultTable() const { return m_resultTable; }
    double taxSum() const { return m_taxSum; }
    double netSum() const { return m_netSum; }
    // From 计算 until the results are shown (reading the amounts, the run, filling the table).
    bool isCalculating() const { return m_calculating; }

    // What follows an import, whatever its outcome: the source tab shows, the page knows whether
    // there is data to calculate, and old results go.
    void importFinished() override;

public slots:
    void calc();
    void stopCalc();
    void save();

private:
    // Restores a stored entry; false, with nothing changed, when the record cannot be read.
    bool loadRecord(const QString &fileName) override;
    std::pair<PTableWidget *, PTableWidget *> exportedTables() const override;
    // The run has ended: the results go into the table (false when stopped on the way).
    void runFinished(bool completed);
    bool fillResultTable();
    // Whether "停止" came while work on the window's thread lets the window handle its events.
    bool stopRequested(int value);
    // Ends a run under way or stopped: no results, no record, the page ready to calculate again.
    void discardCalculation();

    PTableWidget *m_resultTable;
    std::vector<Salary> m_records; // written by the run, read once it has ended
    bool m_calculating = false;
    // Work on the window's thread that handles events on the way (reading the amounts, filling
    // the table) is on the stack: "停止" then only sets m_stopRequested, which the work looks at.
    bool m_busy = false;
    bool m_stopRequested = false;
    double m_taxSum = 0;
    double m_netSum = 0;
};
