// The rules in force since 2019 on one thread: a year of cumulative withholding with a bonus
// compared both ways, the cheapest split of a year's pay and the smallest pay that nets a given
// amount. Reports only.
#include "engine/currentrules.h"

#include "bench/measure.h"

using namespace CurrentRules;

namespace {

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
    measure("both bonus methods compared", [](int i) { return compareBonusMethods(yearOf(i)).difference; });
    measure("annual inverse, ordinary pay", [](int i) {
        SplitInput in;
        in.insurance = 1200000;
        in.deductions = 2400000;
        return annualForNet(in, 6000000 + Amount(i % 1009) * 99991).split.annual;
    });
    measure("annual inverse, top rows", [](int i) {
        SplitInput in;
        in.insurance = 1200000;
        return annualForNet(in, 100000000 + Amount(i % 1009) * 99999991).split.annual;
    });
    return 0;
}
