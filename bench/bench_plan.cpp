// Planning and inverse operations per second on one thread: the heaviest plan (balanced, keep
// the net, 12 months), bonus-only planning, and the three inverse operations. Reports only.
#include "engine/taxengine.h"

#include "bench/measure.h"

namespace {

Amount planOnce(int i, PlanGoal goal, bool balanced, int months)
{
    Salary s;
    s.setMonthly(600000 + (i % 997) * 3100, 80000, months);
    s.setBonus(1500000 + (i % 991) * 25013);
    PlanResults results;
    TaxEngine(kThresholdLocal).plan(s, results, goal, balanced, months);
    return results.empty() ? 0 : results.front()->taxTotal;
}

} // namespace

int main()
{
    ensureRateTable();
    measure("plan balanced goal 1 N=12", [](int i) { return planOnce(i, LowerCost, true, 12); });
    measure("plan balanced goal 0 N=12", [](int i) { return planOnce(i, RaiseNet, true, 12); });
    measure("plan bonus only goal 0", [](int i) { return planOnce(i, RaiseNet, false, 1); });
    measure("plan bonus only goal 1", [](int i) { return planOnce(i, LowerCost, false, 1); });
    const TaxEngine engine(kThresholdLocal);
    measure("planFromNetAnnual", [&](int i) {
        PlanResults r;
        engine.planFromNetAnnual(10000000 + (i % 1000) * 37013, 0, r);
        return r.front()->taxTotal;
    });
    measure("planFromGrossAnnual", [&](int i) {
        PlanResults r;
        engine.planFromGrossAnnual(12000000 + (i % 1000) * 41011, 0, r);
        return r.front()->taxTotal;
    });
    measure("grossFromNetMonthAndBonus", [&](int i) {
        PlanResults r;
        engine.grossFromNetMonthAndBonus(300000 + (i % 1000) * 1301, 1000000 + (i % 777) * 9001, 0, r);
        return r.front()->taxTotal;
    });
    return 0;
}
