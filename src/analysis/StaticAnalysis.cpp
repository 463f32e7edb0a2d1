#include "analysis/StaticAnalysis.h"

#include "analysis/AnalysisKernels.h"
#include "math/LuFactors.h"

#include <algorithm>

namespace quav {

Matrix loadVector(const StaticLoad& load) {
    Matrix f = Matrix::column(6);
    const int offset = load.type == Translational ? 0 : load.type == Moment ? 3 : -1;
    if (offset < 0)
        return f;
    for (int i = 0; i < 3; ++i)
        f[offset + i] = load.value * load.direction[i];
    return f;
}

Matrix staticAnalysis(const AnalysisModel& model, const VariantBasis* basis) {
    return staticAnalysis(model, detail::SpringSet(model, basis));
}

Matrix staticAnalysis(const AnalysisModel& model, const detail::SpringSet& springs) {
    const int n = static_cast<int>(model.staticLoads.size());
    Matrix result(n, 6);
    if (n == 0)
        return result;
    // The springs' static rates in global axes are the same for every load; only the
    // point the system is taken about changes.
    detail::SpringBlocks blocks(springs);
    springs.springMatrices(detail::kGlobalFrame, false, false, blocks.data());
    // The factors of the system about the last load's position: loads at the same
    // point (the centre of gravity, often) share them.
    double k[36];
    int perm[6];
    const double* factorised = nullptr;
    for (int i = 0; i < n; ++i) {
        const StaticLoad& load = model.staticLoads[static_cast<std::size_t>(i)];
        const double* at = load.position.data();
        if (!factorised || !std::equal(at, at + 3, factorised)) {
            springs.assemble(blocks.data(), at, detail::kGlobalFrame, k);
            detail::luFactorise(k, 6, perm);
            factorised = at;
        }
        // The motion of the body at the load's position: translations of that point,
        // rotations of the body. A next load at the same point is solved alongside.
        const Matrix f = loadVector(load);
        double u[6];
        const StaticLoad* next =
            i + 1 < n ? &model.staticLoads[static_cast<std::size_t>(i) + 1] : nullptr;
        if (next && std::equal(at, at + 3, next->position.data())) {
            const Matrix g = loadVector(*next);
            double v[6];
            detail::luSubstitute2(k, 6, perm, f.data(), g.data(), u, v);
            detail::pointTransfer(v, at, model.centreOfGravity.data(), &result(i + 1, 0));
        } else {
            detail::luSubstitute(k, 6, perm, f.data(), u);
            next = nullptr;
        }
        detail::pointTransfer(u, at, model.centreOfGravity.data(), &result(i, 0));
        if (next)
            ++i;
    }
    return result;
}

} // namespace quav
