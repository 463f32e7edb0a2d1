#pragma once

#include "analysis/EigenAnalysis.h"
#include "model/AnalysisModel.h"

#include <cstddef>
#include <vector>

namespace quav {

/// What the variants of one model have in common while bindings leave the inertia
/// and a spring's angles as they are: the principal inertia axes, and each spring's
/// orientation in global and in principal axes. Found once from the model; any
/// number of threads may read it. A variant calculated with it gets exactly the
/// results it would get without.
class VariantBasis {
public:
    explicit VariantBasis(const AnalysisModel& model);

    /// The principal axes when `variant`'s inertia is the model's (bitwise, as
    /// bindings leave it); otherwise null.
    const PrincipalAxes* principalFor(const AnalysisModel& variant) const;

    /// The principal frame T = P^T, row-major: what the modal system is assembled in.
    const double* frame() const { return frame_; }

    /// A spring's orientation (row-major 3 x 3), globally and in the principal
    /// frame (T times it).
    struct SpringAxes {
        double global[9];
        double principal[9];
    };

    /// Those of spring `index` when `spring` has the angles of the model's spring at
    /// that index; otherwise null.
    const SpringAxes* springAxes(std::size_t index, const SpringElement& spring) const;

private:
    struct Spring {
        double angles[2]; ///< the two angles the orientation is made of
        SpringAxes axes;
    };

    Matrix inertia_;
    PrincipalAxes principal_;
    double frame_[9] = {};
    std::vector<Spring> springs_;
};

} // namespace quav
