#include "analysis/StaticAnalysis.h"

#include "analysis/AnalysisKernels.h"
#include "math/LuFactors.h"

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

Matrix staticAnalysis(const AnalysisModel& model) {
    return staticAnalysis(model, detail::SpringSet(model));
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
    for (int i = 0; i < n; ++i) {
        const StaticLoad& load = model.staticLoads[static_cast<std::size_t>(i)];
        double k[36];
        springs.assemble(blocks.data(), load.position.data(), detail::kGlobalFrame, k);
        // The motion of the body at the load's position: translations of that point,
        // rotations of the body.
        const Matrix f = loadVector(load);
        int perm[6];
        double u[6];
        detail::luFactorise(k, 6, perm);
        detail::luSubstitute(k, 6, perm, f.data(), u);
        detail::pointTransfer(u, load.position.data(), model.centreOfGravity.data(), &result(i, 0));
    }
    return result;
}

} // namespace quav
