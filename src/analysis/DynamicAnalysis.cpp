#include "analysis/DynamicAnalysis.h"

#include "analysis/Constants.h"
#include "analysis/PointMotion.h"
#include "analysis/StaticAnalysis.h"
#include "analysis/SystemAssembly.h"

#include <cmath>

namespace quav {

namespace {

/// Responses of all dynamic loads; `ownFrequencies` selects each load's frequency,
/// otherwise `common` is used for every load.
Matrix evaluate(const AnalysisModel& model, bool ownFrequencies, double common) {
    const int n = static_cast<int>(model.dynamicLoads.size());
    Matrix result(n, 12);
    if (n == 0)
        return result;
    const Matrix global = Matrix::identity(3);
    const Matrix& cog = model.centreOfGravity;
    // The stiffness and damping about the CoG are the same for every load; building
    // them once gives the very same numbers.
    const Matrix kg = systemStiffness(model, cog, global, true);
    const Matrix cs = systemDamping(model, cog, global);
    Matrix e(12, 6); // [I6; 0]: picks the left half of the inverse
    for (int i = 0; i < 6; ++i)
        e(i, i) = 1.0;

    for (int l = 0; l < n; ++l) {
        const DynamicLoad& load = model.dynamicLoads[static_cast<std::size_t>(l)];
        // The load's generalised force about the CoG: the force that gives the CoG the
        // motion the load gives it when applied at its own position.
        Matrix kp = systemStiffness(model, load.position, global, true);
        const Matrix up = kp.solve(loadVector(load));
        const Matrix ug = pointTransfer(up, load.position, cog);
        const Matrix fg = kg * ug;

        const double f = ownFrequencies ? load.frequency : common;
        const double omega = f * kTwoPi;
        const Matrix s = dynamicStiffness(kg, f, model.mass, model.inertia);
        const Matrix h = omega * cs;
        // (S + iH) x = Fg as the real system [[S, -H], [H, S]] [xr; xi] = [Fg; 0].
        Matrix g(12, 12);
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 6; ++j) {
                g(i, j) = s(i, j);
                g(i + 6, j + 6) = s(i, j);
                g(i, j + 6) = -h(i, j);
                g(i + 6, j) = h(i, j);
            }
        }
        const Matrix z = g.inverse() * e;
        Matrix zr(6, 6), zi(6, 6);
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 6; ++j) {
                zr(i, j) = z(i, j);
                zi(i, j) = z(i + 6, j);
            }
        }
        const Matrix xr = zr * fg;
        const Matrix xi = zi * fg;
        for (int j = 0; j < 6; ++j) {
            const long double sq =
                static_cast<long double>(xi[j]) * xi[j] + static_cast<long double>(xr[j]) * xr[j];
            result(l, j) = static_cast<double>(std::sqrt(sq));
            result(l, j + 6) = std::atan2(xi[j], xr[j]);
        }
    }
    return result;
}

} // namespace

Matrix responseAtOwnFrequencies(const AnalysisModel& model) {
    return evaluate(model, true, 0.0);
}

Matrix responseAtCommonFrequency(const AnalysisModel& model, double frequency) {
    return evaluate(model, false, frequency);
}

Matrix responseAtFrequency(const AnalysisModel& model, double frequency) {
    return frequency == 0.0 ? responseAtOwnFrequencies(model)
                            : responseAtCommonFrequency(model, frequency);
}

} // namespace quav
