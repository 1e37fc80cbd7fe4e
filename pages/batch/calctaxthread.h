// One worker of a batch tax calculation: a thread with its own TaxEngine that calculates its share
// of the page's records in batches of 20 on its own event loop, reporting each record as it is
// done. It shares no writable data with other workers; the page reads the records only after
// every worker has finished.
//
// Stopping is cooperative: the page calls requestInterruption(), quit() and wait(); the worker
// checks for interruption before every record, so it ends within one record's time.
#pragma once

#include "engine/amount.h"

#include <QList>
#include <QThread>

#include <memory>

class QTimer;
class Salary;
class TaxEngine;

class CalcTaxThread : public QThread
{
    Q_OBJECT
public:
    // Records calculated per timer tick; the loop regains control between batches.
    static constexpr int kBatchSize = 20;

    CalcTaxThread(Amount threshold, QObject *parent = nullptr);
    ~CalcTaxThread() override;

    // The rows this worker calculates (not owned); set before start().
    void setRecords(const QList<Salary *> &records) { m_records = records; }

signals:
    void taxCalculated(Salary *record, bool done);
    void stop();

public slots:
    void toStop();
    void startCalculate();

protected:
    void run() override;

private:
    QList<Salary *> m_records;
    std::unique_ptr<TaxEngine> m_engine; // made in run(), on the worker's thread
    int m_next = 0;
    QTimer *m_timer = nullptr; // lives on the worker's thread while run() runs
    Amount m_threshold;
};
