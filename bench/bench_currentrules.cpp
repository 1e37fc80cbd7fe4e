// The rules in force since 2019 on one thread: a year of cumulative withholding with a bonus
// compared both ways, and the cheapest split of a year's pay. Reports only.
#include "engine/currentrules.h"

#include <QElapsedTimer>
#include <cstdio>
#include <functional>

using namespace CurrentRules;

namespace {

void measure(const char *name, const std::function<Amount(int)> &op)
{
    QElapsedTimer timer;
    timer.start();
    qint64 calls = 0;
    Amount checksum = 0;
    while (timer.elapsed() < 1500) {
        for (int i = 0; i < 100; ++i)
            checksum += op(static_cast<int>(calls) + i);
        calls += 100;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%-34s %10.0f ops/s  %8.2f us/op  (checksum %lld)\n", name, calls / seconds,
                seconds / calls * 1e6, static_cast<long long>(checksum));
}

YearInput yearOf(int i)
{
    YearInput in;
    for (int m = 0; m < 12; ++m)
        in.gross << 600000 + (i % 997) * 3100 + m * 1700;
    in.insurance = 80000;
    in.deductions = 200000;
    in.bonus = 1500000 + (i % 991) * 25013;
    in.year = 2026;
    return in;
}

} // namespace

int main()
{
    measure("year, bonus best of both", [](int i) { return calculateYear(yearOf(i)).annualTax; });
    measure("year with process text", [](int i) { return calculateYear(yearOf(i), true).annualTax; });
    measure("best split (plan --rules 2019)", [](int i) {
        SplitInput in;
        in.annual = 8000000 + Amount(i % 1009) * 99991;
        in.insurance = 1200000;
        in.deductions = 2400000;
        return bestSplit(in).taxTotal;
    });
    return 0;
}
