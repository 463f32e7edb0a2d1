#pragma once

#include <string>

namespace quav {

/// A named range of values that the optimiser walks (設計パラメータ).
struct DesignParameter {
    int id = 0;
    std::string name;
    double maxValue = 0.0;
    double minValue = 0.0;
    double increment = 0.0;
    /// The value of the combination in hand: `minValue` - `increment` between
    /// runs, `minValue` after an add or edit, or the value a model file holds.
    double currentValue = 0.0;
};

/// Ties one variable of a spring element or spring characteristic to a
/// parameter: during a run the variable takes parameter value x `multiplier`.
struct ParameterBinding {
    int objectId = 0;
    /// 1-3: coordinate x, y, z of a spring or Kxx, Kyy, Kzz of a characteristic;
    /// 4-6: a spring's angle about x, y, z [deg]. Other codes write nothing.
    int target = 0;
    int parameterId = 0; ///< 0 = none
    double multiplier = 1.0;
};

} // namespace quav
