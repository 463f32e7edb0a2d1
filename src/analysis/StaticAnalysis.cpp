#include "analysis/StaticAnalysis.h"

#include "analysis/PointMotion.h"
#include "analysis/SystemAssembly.h"

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
    const int n = static_cast<int>(model.staticLoads.size());
    Matrix result(n, 6);
    const Matrix global = Matrix::identity(3);
    for (int i = 0; i < n; ++i) {
        const StaticLoad& load = model.staticLoads[static_cast<std::size_t>(i)];
        Matrix k = systemStiffness(model, load.position, global, false);
        // The motion of the body at the load's position: translations of that point,
        // rotations of the body.
        const Matrix u = k.solve(loadVector(load));
        const Matrix g = pointTransfer(u, load.position, model.centreOfGravity);
        for (int j = 0; j < 6; ++j)
            result(i, j) = g[j];
    }
    return result;
}

} // namespace quav
