#include "pages/batch/savetaxthread.h"

#include "batch/batchplan.h"

SaveTaxThread::SaveTaxThread(Amount threshold, int goal, int method, int months, QObject *parent)
    : BatchWorker(threshold, parent), m_goal(goal == 0 ? RaiseNet : LowerCost), m_balanced(method != 0),
      m_months(planRecordMonths(method != 0, months)),
      m_methodLabel(planMethodLabel(m_goal, m_balanced, m_months))
{}

SaveTaxThread::~SaveTaxThread()
{
    finishNow();
}

void SaveTaxThread::work(const TaxEngine &engine, Salary *record)
{
    m_results.push_back(planBatchRecord(engine, *record, m_goal, m_balanced, m_months, m_methodLabel));
    emit saveCalculated(record, true);
}
