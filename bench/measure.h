// The timing loop every engine benchmark uses: run `op` for about 1.5 s in batches, print the
// rate, the time per call and a checksum of the results (so the work cannot be optimised away).
#pragma once

#include "engine/amount.h"

#include <QElapsedTimer>
#include <cstdio>
#include <functional>

inline void measure(const char *name, const std::function<Amount(int)> &op)
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
