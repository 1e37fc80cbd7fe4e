// One worker of a batch tax calculation: calculates each of its records completely (process text
// included) and reports it with taxCalculated. Pacing and cooperative stopping: BatchWorker.
#pragma once

#include "pages/batch/batchworker.h"

class CalcTaxThread : public BatchWorker
{
    Q_OBJECT
public:
    CalcTaxThread(Amount threshold, QObject *parent = nullptr);
    ~CalcTaxThread() override;

signals:
    void taxCalculated(Salary *record, bool done);

protected:
    void work(const TaxEngine &engine, Salary *record) override;
};
