#include "analysis/FrequencyStepCurve.h"

#include "analysis/PointMotion.h"

#include <cmath>

namespace quav {

namespace {

// Without results the curve still spans the sweep settings, but never more
// points than a sweep could hold.
constexpr double kMaxCurvePoints = 10'000'000;

} // namespace

std::vector<CurvePoint> frequencyStepCurve(const AnalysisModel& model, int loadIndex,
                                           const CurveTarget& target, int dof) {
    std::vector<CurvePoint> curve;
    std::size_t steps = model.frequencyStepResults.size();
    if (steps == 0) {
        const double n = model.sweepStepCountExact();
        steps =
            (std::isfinite(n) && n > 0 && n <= kMaxCurvePoints) ? static_cast<std::size_t>(n) : 0;
    }
    curve.reserve(steps);
    double f = model.frequencyStart;
    for (std::size_t i = 0; i < steps; ++i, f += model.frequencyStep) {
        double value = 0.0;
        if (i < model.frequencyStepResults.size()) {
            const Matrix& table = model.frequencyStepResults[i];
            if (loadIndex >= 0 && loadIndex < table.rows() && table.cols() >= 6 && dof >= 0 &&
                dof < 6) {
                Matrix u(6, 1);
                for (int j = 0; j < 6; ++j)
                    u[j] = table(loadIndex, j);
                Matrix p = pointTransfer(u, model.centreOfGravity, target.position);
                if (target.local && target.spring)
                    p = springLocalDisplacement(*target.spring, Matrix::vector({p[0], p[1], p[2]}));
                value = dof < p.rows() ? std::fabs(p[dof]) : 0.0;
            }
        }
        curve.push_back({f, value});
    }
    return curve;
}

} // namespace quav
