// The pacing every batch worker shares: a thread with its own TaxEngine that works through its
// share of the page's records in batches of 20 on its own event loop (first batch after 5 ms, then
// 1 ms between batches), so the loop regains control between batches. A subclass says what one
// record's work is and reports it. Workers share no writable data; the page reads the records
// only after every worker has finished.
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

class BatchWorker : public QThread
{
    Q_OBJECT
public:
    // Records worked per timer tick.
    static constexpr int kBatchSize = 20;

    BatchWorker(Amount threshold, QObject *parent = nullptr);
    ~BatchWorker() override;

    // The rows this worker takes (not owned); set before start().
    void setRecords(const QList<Salary *> &records) { m_records = records; }

signals:
    void stop();

public slots:
    void toStop();
    void startCalculate();

protected:
    void run() override;
    // One record's work, on the worker's thread, with the worker's engine.
    virtual void work(const TaxEngine &engine, Salary *record) = 0;
    // Subclasses call this first in their destructor, so no record is worked on with their
    // members gone.
    void finishNow();

private:
    QList<Salary *> m_records;
    std::unique_ptr<TaxEngine> m_engine; // made in run(), on the worker's thread
    int m_next = 0;
    QTimer *m_timer = nullptr; // lives on the worker's thread while run() runs
    Amount m_threshold;
};
