// The splits of a year's pay that the planning page lists beside the best one: everything as
// wages, a separately taxed bonus at each row bound of the monthly table (12 × bound: 36,000,
// 144,000 … 960,000 yuan) the pay reaches, and the best split itself, so the user sees what the
// best split was compared with. QtCore only.
#pragma once

#include "engine/currentrules.h"

#include <vector>

namespace CurrentRules {

struct SplitCandidate
{
    Amount bonus = 0;
    Amount wages = 0;
    Amount wageTax = 0;  // the wages by the annual table after the year's deductions
    Amount bonusTax = 0; // the bonus taxed separately
    Amount taxTotal = 0;
    Amount netTotal = 0;  // pay − 三险一金 − taxTotal
    Amount aboveBest = 0; // taxTotal − the best split's
    bool isBest = false;  // the split bestSplit chose
    bool inBlindZone = false;
};

// Sorted by bonus, each bonus once. `best` must be bestSplit(in).
std::vector<SplitCandidate> splitCandidates(const SplitInput &in, const SplitResult &best);

} // namespace CurrentRules
