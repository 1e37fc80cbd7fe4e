// One worker of a batch planning: plans each of its records with the chosen goal, method and
// months, keeps the result the page shows (batch/batchplan.h) and reports the input record with
// saveCalculated. The page takes the results once every worker has finished. Pacing and
// cooperative stopping: BatchWorker.
#pragma once

#include "engine/taxengine.h"
#include "pages/batch/batchworker.h"

#include <QString>

class SaveTaxThread : public BatchWorker
{
    Q_OBJECT
public:
    // goal 0 raises the net pay, 1 lowers the employer's cost; method 0 moves the bonus only, 1
    // balances it with `months` months of wage.
    SaveTaxThread(Amount threshold, int goal, int method, int months, QObject *parent = nullptr);
    ~SaveTaxThread() override;

    // One result per record, in record order; read only after the worker has finished.
    PlanResults &results() { return m_results; }

signals:
    void saveCalculated(Salary *record, bool done);

protected:
    void work(const TaxEngine &engine, Salary *record) override;

private:
    PlanGoal m_goal;
    bool m_balanced;
    int m_months;
    QString m_methodLabel;
    PlanResults m_results;
};
