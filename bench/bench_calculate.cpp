// How many single calculations (with the process text, as the pages make them) one thread does per
// second. Reports only.
#include "engine/taxengine.h"

#include <QElapsedTimer>
#include <cstdio>

int main()
{
    ensureRateTable();
    const TaxEngine engine(kThresholdLocal);
    // A spread of wages, bonuses and annuities so every branch and row is exercised.
    constexpr int kCases = 1000;
    Salary salaries[kCases];
    for (int i = 0; i < kCases; ++i) {
        salaries[i].setMonthly(200000 + i * 1733, 50000 + i * 17, 1);
        salaries[i].setBonus(i % 3 == 0 ? 0 : 1000000 + i * 9871);
        salaries[i].setAnnuity(i % 5 == 0 ? 30000 + i * 11 : 0);
    }
    for (bool withText : {true, false}) {
        QElapsedTimer timer;
        timer.start();
        qint64 calls = 0;
        Amount checksum = 0;
        while (timer.elapsed() < 2000) {
            for (Salary &s : salaries) {
                if (withText) {
                    engine.calculate(s);
                } else {
                    engine.calcMonthly(s.monthly.get());
                    engine.calcBonus(s.bonus.get(), s.monthly.get());
                    engine.calcAnnuity(s.annuity.get(), s.bonus.get(), s.monthly.get());
                    engine.calcTotals(s);
                }
                checksum += s.taxTotal;
            }
            calls += kCases;
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        std::printf("calculate %-18s %12.0f calls/s  %8.3f us/call  (checksum %lld)\n",
                    withText ? "with process text" : "figures only", calls / seconds, seconds / calls * 1e6,
                    static_cast<long long>(checksum));
    }
    return 0;
}
