// Planning and inverse operations per second on one thread: the heaviest plan (balanced, keep
// the net, 12 months), bonus-only planning, and the three inverse operations. Reports only.
#include "engine/taxengine.h"

#include <QElapsedTimer>
#include <cstdio>
#include <functional>

namespace {

void measure(const char *name, const std::function<Amount(int)> &op)
{
    QElapsedTimer timer;
    timer.start();
    qint64 calls = 0;
    Amount checksum = 0;
    while (timer.elapsed() < 1500) {
        for (int i = 0; i < 200; ++i)
            checksum += op(static_cast<int>(calls) + i);
        calls += 200;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%-34s %10.0f ops/s  %8.2f us/op  (checksum %lld)\n", name, calls / seconds,
                seconds / calls * 1e6, static_cast<long long>(checksum));
}

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
