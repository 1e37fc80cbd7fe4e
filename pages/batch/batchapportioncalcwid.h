// Function 5, "奖金批量分摊": every employee's non-annual bonus spread evenly over N months, the
// tax and net pay before and after side by side. "分摊" reads every row's amounts through the
// core's amount-cell rule, has the core's runner apportion the rows on every core off the
// window's thread, and fills the hidden before and after tables and the merged "全员分摊" table
// with its two totals rows, all under a progress dialog that repaints and answers "停止" several
// times a second. Every finished run goes to the "*.bac" history, which reopens it.
//
// The page computes nothing itself: figures come from the TaxEngine, their texts from batch/.
#pragma once

#include "pages/batch/batchpagebase.h"

class QLabel;
class QSpinBox;

class BatchApportionCalcWid : public BatchPageBase
{
    Q_OBJECT
public:
    explicit BatchApportionCalcWid(QWidget *parent = nullptr);
    ~BatchApportionCalcWid() override;

    static QString extension() { return QStringLiteral("bac"); }

    PTableWidget *resultTable() const { return m_resultTable; }
    PTableWidget *beforeTable() const { return m_beforeTable; }
    PTableWidget *afterTable() const { return m_afterTable; }
    QSpinBox *monthsBox() const { return m_months; }
    QLabel *taxDecreaseValue() const { return m_taxDecreaseValue; }
    QLabel *netIncreaseValue() const { return m_netIncreaseValue; }
    QLabel *taxDecreaseCaption() const { return m_taxDecreaseCaption; }
    QLabel *netIncreaseCaption() const { return m_netIncreaseCaption; }
    double netIncreaseSum() const { return m_netIncreaseSum; }
    double taxDecreaseSum() const { return m_taxDecreaseSum; }
    bool isRunning() const { return m_running; }

    // What follows an import, whatever its outcome: the source tab shows, the page knows whether
    // there is data to apportion, and old results go.
    void importFinished() override;

public slots:
    void calc();
    void start();
    void save();

private:
    bool loadRecord(const QString &fileName) override;
    std::pair<PTableWidget *, PTableWidget *> exportedTables() const override;
    void reset();
    // Builds "全员分摊" from the before and after tables, keeping the progress dialog painted from
    // `progressFrom` on. During a run it answers "停止" (then it returns false); when reopening an
    // entry the dialog has no button.
    bool mergeTables(bool duringRun, int progressFrom);
    // Whether the user stopped the run; repaints the progress dialog at the throttled rate.
    bool stopRequested(int value);

    PTableWidget *m_resultTable;
    PTableWidget *m_beforeTable;
    PTableWidget *m_afterTable;
    QSpinBox *m_months;
    QLabel *m_taxDecreaseCaption;
    QLabel *m_taxDecreaseValue;
    QLabel *m_netIncreaseCaption;
    QLabel *m_netIncreaseValue;
    bool m_running = false;
    double m_netIncreaseSum = 0;
    double m_taxDecreaseSum = 0;
};
