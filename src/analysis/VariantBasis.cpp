#include "analysis/VariantBasis.h"

#include "analysis/AnalysisKernels.h"

#include <cstring>

namespace quav {

namespace {

bool sameBits(const double* a, const double* b, std::size_t n) {
    return std::memcmp(a, b, sizeof(double) * n) == 0;
}

} // namespace

VariantBasis::VariantBasis(const AnalysisModel& model)
    : inertia_(model.inertia), principal_(principalInertiaAxes(model.inertia)) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            frame_[r * 3 + c] = principal_.axes(c, r);
    springs_.resize(model.springs.size());
    for (std::size_t i = 0; i < springs_.size(); ++i) {
        Spring& s = springs_[i];
        const SpringElement& spring = model.springs[i];
        s.angles[0] = spring.angles[1];
        s.angles[1] = spring.angles[2];
        detail::springOrientation(spring, s.axes.global);
        detail::product3(frame_, s.axes.global, s.axes.principal);
    }
}

const PrincipalAxes* VariantBasis::principalFor(const AnalysisModel& variant) const {
    const bool same = variant.inertia.rows() == inertia_.rows() &&
                      variant.inertia.cols() == inertia_.cols() &&
                      sameBits(variant.inertia.data(), inertia_.data(),
                               static_cast<std::size_t>(inertia_.size()));
    return same ? &principal_ : nullptr;
}

const VariantBasis::SpringAxes* VariantBasis::springAxes(std::size_t index,
                                                         const SpringElement& spring) const {
    if (index >= springs_.size())
        return nullptr;
    const Spring& s = springs_[index];
    const double angles[2] = {spring.angles[1], spring.angles[2]};
    return sameBits(angles, s.angles, 2) ? &s.axes : nullptr;
}

} // namespace quav
