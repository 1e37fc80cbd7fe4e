#include "engine/ratetable.h"

#include <array>

namespace {

using Table = std::array<TaxBracket, 7>;

const Table &table()
{
    // A function-local static is built exactly once, even when threads race to it.
    static const Table rows{{
        {0, 3, 0},
        {150000, 10, 10500},
        {450000, 20, 55500},
        {900000, 25, 100500},
        {3500000, 30, 275500},
        {5500000, 35, 550500},
        {8000000, 45, 1350500},
    }};
    return rows;
}

} // namespace

void ensureRateTable()
{
    (void)table();
}

std::span<const TaxBracket> rateTable()
{
    return table();
}

const TaxBracket *lookupBracket(Amount v)
{
    const Table &rows = table();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (it->lowerBound < v)
            return &*it;
    }
    return nullptr;
}

int bracketIndex(const TaxBracket *row)
{
    if (!row)
        return -1;
    const Table &rows = table();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (&rows[i] == row)
            return static_cast<int>(i);
    }
    return -1;
}

const TaxBracket *nextBracket(const TaxBracket *row)
{
    const Table &rows = table();
    if (!row)
        return &rows.front();
    const int i = bracketIndex(row);
    return (i >= 0 && i + 1 < static_cast<int>(rows.size())) ? &rows[i + 1] : nullptr;
}

const TaxBracket *previousBracket(const TaxBracket *row)
{
    const int i = bracketIndex(row);
    return i >= 1 ? &table()[i - 1] : nullptr;
}

double rateOf(const TaxBracket *row)
{
    return row ? row->rate / 100.0 : 0.0;
}

Amount bracketTax(const TaxBracket *row, Amount v)
{
    if (!row)
        return 0;
    return roundHalfUp(rateOf(row) * static_cast<double>(v)) - row->quickDeduction;
}
