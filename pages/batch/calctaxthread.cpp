#include "pages/batch/calctaxthread.h"

#include "engine/salary.h"
#include "engine/taxengine.h"

CalcTaxThread::CalcTaxThread(Amount threshold, QObject *parent) : BatchWorker(threshold, parent) {}

CalcTaxThread::~CalcTaxThread()
{
    finishNow();
}

void CalcTaxThread::work(const TaxEngine &engine, Salary *record)
{
    engine.calculate(*record);
    emit taxCalculated(record, true);
}
