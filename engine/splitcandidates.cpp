#include "engine/splitcandidates.h"

#include <algorithm>

namespace CurrentRules {

std::vector<SplitCandidate> splitCandidates(const SplitInput &in, const SplitResult &best)
{
    const Amount pay = std::max<Amount>(in.annual, 0);
    const Amount top = in.maxBonus >= 0 ? std::min(pay, in.maxBonus) : pay;
    std::vector<Amount> bonuses{0, best.bonus};
    for (const Bracket &row : monthlyTable()) {
        if (row.upperBound > 0 && 12 * row.upperBound <= top)
            bonuses.push_back(12 * row.upperBound);
    }
    std::sort(bonuses.begin(), bonuses.end());
    bonuses.erase(std::unique(bonuses.begin(), bonuses.end()), bonuses.end());

    std::vector<SplitCandidate> out;
    out.reserve(bonuses.size());
    for (Amount bonus : bonuses) {
        SplitCandidate c;
        c.bonus = bonus;
        c.wages = pay - bonus;
        c.taxTotal = splitTax(in, bonus);
        c.bonusTax = separateBonusTax(bonus);
        c.wageTax = c.taxTotal - c.bonusTax;
        c.netTotal = pay - in.insurance - c.taxTotal;
        c.aboveBest = c.taxTotal - best.taxTotal;
        c.isBest = bonus == best.bonus;
        c.inBlindZone = bonusBlindZoneOf(bonus) != nullptr;
        out.push_back(c);
    }
    return out;
}

} // namespace CurrentRules
