#include "optimizer/OptimizationConditions.h"

#include <algorithm>
#include <cmath>

namespace quav {

bool sameCondition(const DisplacementCondition& a, const DisplacementCondition& b) {
    const bool sameLimit = a.limit == b.limit || std::isnan(a.limit) || std::isnan(b.limit);
    return a.directionFlags == b.directionFlags && a.objectId == b.objectId &&
           a.loadId == b.loadId && sameLimit;
}

bool OptimizationConditions::addDisplacementCondition(const DisplacementCondition& c) {
    const bool exists =
        std::any_of(displacementConditions.begin(), displacementConditions.end(),
                    [&](const DisplacementCondition& e) { return sameCondition(e, c); });
    if (exists)
        return false;
    displacementConditions.push_back(c);
    return true;
}

bool OptimizationConditions::removeDisplacementCondition(int index) {
    if (index < 0 || index >= static_cast<int>(displacementConditions.size()))
        return false;
    displacementConditions.erase(displacementConditions.begin() + index);
    return true;
}

} // namespace quav
