// Function 1, "批量个税计算": a whole salary sheet taxed at once. The sheet lies in the source
// table (imported, or filled by a caller); "计算" reads every row's amounts through the core's
// amount-cell rule, hands the records to up to 30 CalcTaxThread workers, and fills the result
// table with the core's result texts and a totals row once every worker is done. Every finished
// calculation goes to the "*.bc" history, which reopens both tables exactly as they were.
//
// The page computes nothing itself: figures come from the TaxEngine, their texts from batch/.
#pragma once

#include "pages/batch/batchpagebase.h"

#include <QList>
#include <QString>

class CalcTaxThread;
class Salary;

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
    bool isCalculating() const { return !m_threads.isEmpty(); }

    // What follows an import, whatever its outcome: the source tab shows, the page knows whether
    // there is data to calculate, and old results go.
    void importFinished() override;

public slots:
    void calc();
    void stopCalc();
    void taxCalculated(Salary *record, bool done);
    void threadFinished();
    void save();

private:
    // Restores a stored entry; false, with nothing changed, when the record cannot be read.
    bool loadRecord(const QString &fileName) override;
    std::pair<PTableWidget *, PTableWidget *> exportedTables() const override;
    void fillResultTable();
    void discardCalculation();

    PTableWidget *m_resultTable;
    QList<CalcTaxThread *> m_threads;
    QList<Salary *> m_records;
    int m_finishedCount = 0;
    int m_finishedWorkers = 0;
    double m_taxSum = 0;
    double m_netSum = 0;
};
