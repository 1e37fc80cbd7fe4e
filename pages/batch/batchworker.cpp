#include "pages/batch/batchworker.h"

#include "engine/salary.h"
#include "engine/taxengine.h"

#include <QTimer>

BatchWorker::BatchWorker(Amount threshold, QObject *parent) : QThread(parent), m_threshold(threshold)
{
    // Reports cross threads as queued calls, which carry the record pointer.
    qRegisterMetaType<Salary *>();
}

BatchWorker::~BatchWorker()
{
    finishNow();
}

void BatchWorker::finishNow()
{
    // Owners stop a worker before they delete it; this is the last guard, still cooperative.
    requestInterruption();
    quit();
    wait();
}

void BatchWorker::run()
{
    // The thread object itself lives on the user-interface thread; the timer and the engine live
    // here, and the timer's context is the timer, so every batch runs on this thread.
    connect(this, &BatchWorker::stop, this, &BatchWorker::toStop, Qt::QueuedConnection);
    m_next = 0;
    m_engine = std::make_unique<TaxEngine>(qint32(m_threshold));
    QTimer timer;
    timer.setSingleShot(true);
    m_timer = &timer;
    connect(&timer, &QTimer::timeout, &timer, [this] { startCalculate(); });
    timer.start(5);
    if (!isInterruptionRequested())
        exec();
    m_timer = nullptr;
    m_engine.reset();
}

void BatchWorker::startCalculate()
{
    if (!m_engine || !m_timer)
        return;
    for (int i = 0; i < kBatchSize; ++i) {
        if (m_next >= m_records.size() || isInterruptionRequested()) {
            m_timer->stop();
            exit(0);
            return;
        }
        Salary *record = m_records[m_next];
        ++m_next;
        work(*m_engine, record);
    }
    m_timer->start(1);
}

void BatchWorker::toStop()
{
    // Runs on the user-interface thread (the thread object's own). The flag stops a batch under
    // way and makes the next tick end the loop, even when the loop had not started yet.
    requestInterruption();
    quit();
}
