#pragma once

#include "analysis/Robustness.h"

#include <array>
#include <vector>

namespace quav {

/// A limit on the static displacement of one object under one static load.
struct DisplacementCondition {
    /// x, y, z, Local_x, Local_y, Local_z, absolute displacement; 0 or 1 each.
    std::array<int, 7> directionFlags{};
    int objectId = 0;   ///< a spring element, an observation point or the mass element
    int loadId = 0;     ///< a static load
    double limit = 0.0; ///< [m]
};

/// Two conditions are the same entry when every field matches; a limit that
/// is not a number matches any limit, so a NaN entry is never added twice.
bool sameCondition(const DisplacementCondition& a, const DisplacementCondition& b);

/// The acceptance conditions of the optimiser (最適化条件). Degrees of freedom
/// are indexed x, y, z, Rx, Ry, Rz; every group is off by default.
struct OptimizationConditions {
    std::array<int, 6> modeConditionEnabled{};
    std::array<double, 6> modeContributionPct{}; ///< [%]
    std::array<double, 6> modeMaxFrequency{};    ///< [Hz]
    int minFrequencyEnabled = 0;
    int maxFrequencyEnabled = 0;
    double minFrequency = 0.0; ///< [Hz]
    double maxFrequency = 0.0; ///< [Hz]
    int springRatioEnabled = 0;
    double springRatio = 5.0;              ///< required Kxx / Kyy and Kxx / Kzz
    double springRatioTolerancePct = 10.0; ///< allowed excess over `springRatio` [%]
    int meanCouplingEnabled = 0;
    double meanCouplingMax = 0.0; ///< [%]
    std::vector<DisplacementCondition> displacementConditions;
    /// Every load case of the model converges and passes its margins (kept in
    /// the model file's extension block, as the format-303 block has no place).
    int loadCasesPass = 0;

    /// Every field back to its default, the displacement list emptied.
    void reset() { *this = OptimizationConditions{}; }
    /// The lowest- and highest-frequency conditions as a window.
    FrequencyWindow frequencyWindow() const {
        return {minFrequencyEnabled != 0, minFrequency, maxFrequencyEnabled != 0, maxFrequency};
    }
    /// Appends `c` unless the same entry exists; true when appended.
    bool addDisplacementCondition(const DisplacementCondition& c);
    /// Removes the entry at `index`; false (and no change) when out of range.
    bool removeDisplacementCondition(int index);
};

} // namespace quav
