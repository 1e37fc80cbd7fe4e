// The progressive rate table shared by every calculation.
//
// Seven rows, built once for the whole process and never changed, so that worker threads may read
// it without locks. Tax items point at rows of this table; rows are compared by identity, and the
// planning engine walks up and down the table through nextBracket and previousBracket.
#pragma once

#include "engine/amount.h"

#include <span>

struct TaxBracket
{
    qint32 lowerBound;     // fen; the row applies to amounts strictly above it
    qint32 rate;           // whole percent
    qint32 quickDeduction; // 速算扣除数, fen
};

// Builds the table if it does not exist yet. Safe to call from any thread, any number of times.
void ensureRateTable();

// The seven rows in ascending order of lower bound. Builds the table on first use.
std::span<const TaxBracket> rateTable();

// The highest row whose lower bound is strictly below v; nullptr ("no bracket") when v <= 0.
const TaxBracket *lookupBracket(Amount v);

// The row after `row`: row 0 for no bracket, nullptr after the last row.
const TaxBracket *nextBracket(const TaxBracket *row);

// The row before `row`: nullptr for no bracket and for row 0.
const TaxBracket *previousBracket(const TaxBracket *row);

// Index 0–6 of a row, or -1 for no bracket.
int bracketIndex(const TaxBracket *row);

// The rate as a fraction (20 % → 0.2); 0 for no bracket.
double rateOf(const TaxBracket *row);

// Tax of a taxable amount in a row: roundHalfUp(rate × v) − quick deduction. Not clamped.
Amount bracketTax(const TaxBracket *row, Amount v);
